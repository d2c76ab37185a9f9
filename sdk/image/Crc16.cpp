#include "sdk/image/Crc16.h"

namespace lumo::image {

// Eight steps of the shift register folded into one. With t = (crc >> 8) ^ byte, the bits of
// t shifted through x^16 + x^15 + x^2 + 1 contribute (t << 1) ^ (t << 2), and each set bit
// of t also feeds 0x8003 once, so that term is present exactly when t has odd parity.
std::uint16_t Crc16Update(std::uint16_t crc, const std::uint8_t* data, std::uint32_t length) {
    if (data == nullptr) return crc;
    std::uint32_t reg = crc;
    for (std::uint32_t i = 0; i < length; ++i) {
        std::uint32_t t = ((reg >> 8) ^ data[i]) & 0xFFu;
        std::uint32_t parity = t ^ (t >> 4);
        parity ^= parity >> 2;
        parity ^= parity >> 1;
        parity &= 1u;
        reg = (reg << 8) ^ (t << 1) ^ (t << 2) ^ ((0u - parity) & 0x8003u);
        reg &= 0xFFFFu;
    }
    return static_cast<std::uint16_t>(reg);
}

}  // namespace lumo::image
