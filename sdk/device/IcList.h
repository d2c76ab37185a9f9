#pragma once
// The IC list: the controller chips of the family, in search order, and the 32-byte row
// that CLumoDev::m_Backend holds a copy of.
#include <array>
#include <cstddef>
#include <cstdint>

struct IcListRow {
    std::uint32_t dwId = 0;                     // chip id (logged only)
    std::uint32_t dwFamily = 0;                 // 0 only for the "N/A" row
    std::array<char, 4> szSignature{};          // two characters, zero-padded
    std::array<std::uint8_t, 2> abProbeAddr{};  // 0: no probe; bit 7: MCU data address, else register
    std::array<std::uint8_t, 2> abProbeMask{};
    std::array<std::uint8_t, 2> abProbeValue{};
    std::array<char, 10> szPartNo{};  // zero-terminated

    static constexpr std::size_t kSize = 32;
    // Row layout: id LE @0, family LE @4, signature @8, probe address @12, mask @14,
    // value @16, part number @18, 4 zero bytes @28.
    std::array<std::uint8_t, kSize> toBytes() const;
    static IcListRow fromBytes(const std::uint8_t* bytes32);
};

inline constexpr std::size_t kIcListCount = 15;
// The constant list; row 0 is "N/A".
const std::array<IcListRow, kIcListCount>& IcList();
