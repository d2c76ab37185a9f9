#pragma once
// The 76-byte SPI flash descriptor (one row of the flash table). Bytes 0 to 10 are also the
// controller's command-set registers at 0x0A27.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct SpiFlashDesc {
    std::uint8_t bIdFormat = 0;  // bits 0-2 command length, bit 3 controller flag, bits 4-6 id length
    std::uint8_t bChipEraseCmd = 0;
    std::uint8_t bBlockEraseCmd = 0;
    std::uint8_t bSectorEraseCmd = 0;  // 0x00 where the chip has none
    std::uint8_t bReadIdCmd = 0;
    std::array<std::uint8_t, 3> abId{};
    std::array<std::uint8_t, 3> abParam{};
    std::array<char16_t, 32> szName{};  // UTF-16, zero-terminated

    static constexpr std::size_t kSize = 76;
    static constexpr std::size_t kRegSize = 11;  // bytes mirrored in the controller

    std::uint8_t CmdLength() const { return bIdFormat & 0x07; }
    std::uint8_t IdLength() const { return (bIdFormat >> 4) & 0x07; }

    // Layout: the 11 command bytes @0, a zero byte @11, szName as UTF-16LE @12.
    std::array<std::uint8_t, kSize> toBytes() const;
    static SpiFlashDesc fromBytes(const std::uint8_t* bytes76);
    // The controller's copy: bytes 0 to 10.
    std::array<std::uint8_t, kRegSize> regBytes() const;
    void setRegBytes(const std::uint8_t* bytes11);
    // The name as narrow and wide text for trace records.
    std::string NameA() const;
    std::wstring NameW() const;
};
