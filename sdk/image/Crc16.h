#pragma once
// CRC-16/CMS: width 16, polynomial 0x8005, initial 0xFFFF, not reflected, no final XOR.
// Check value over "123456789" is 0xAEE7; an empty buffer gives 0xFFFF.
#include <cstdint>

namespace lumo::image {

inline constexpr std::uint16_t kCrc16Init = 0xFFFF;

// Continues a CRC over more bytes (start with kCrc16Init). Table-free: each byte advances
// the register by one folded step of XOR equations. A null data pointer counts as no bytes.
std::uint16_t Crc16Update(std::uint16_t crc, const std::uint8_t* data, std::uint32_t length);

inline std::uint16_t Crc16Calculate(const std::uint8_t* data, std::uint32_t length) {
    return Crc16Update(kCrc16Init, data, length);
}

}  // namespace lumo::image
