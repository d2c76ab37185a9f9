#pragma once
// The 24-byte external firmware header at ROM address 0x40 (image offsets 0x40 to 0x57).
#include <array>
#include <cstddef>
#include <cstdint>

struct ExFwHeader {
    static constexpr std::uint16_t kRomAddress = 0x40;
    static constexpr std::size_t kSize = 24;

    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t Signature0() const { return bytes[0]; }
    std::uint8_t Signature1() const { return bytes[1]; }
    std::uint32_t RomSize() const { return bytes[6] * 512u; }      // units of 512 bytes
    std::uint32_t RomSizeAlt() const { return bytes[22] * 512u; }  // headers carrying "ED" or "AX"
    // The header bytes as text up to the first zero (never beyond the 24 bytes) contain `two`.
    bool TextContains(const char* two) const;
};
