#pragma once
// The CRC-16/CMS one bit at a time, straight from its parameters (polynomial 0x8005, initial
// 0xFFFF, no reflection, no final XOR): the reference the table-free routine is held to.
#include <cstddef>
#include <cstdint>

namespace lumo::test {

inline std::uint16_t bitwiseCrc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int b = 0; b < 8; ++b)
            crc =
                (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x8005) : static_cast<std::uint16_t>(crc << 1);
    }
    return crc;
}

}  // namespace lumo::test
