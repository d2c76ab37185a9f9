#include "platform/Guid.h"

#include <cctype>
#include <cstdio>

namespace lumo::os {

std::array<std::uint8_t, 16> Guid::toBytes() const {
    std::array<std::uint8_t, 16> b{};
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(data1 >> (8 * i));
    b[4] = static_cast<std::uint8_t>(data2);
    b[5] = static_cast<std::uint8_t>(data2 >> 8);
    b[6] = static_cast<std::uint8_t>(data3);
    b[7] = static_cast<std::uint8_t>(data3 >> 8);
    for (int i = 0; i < 8; ++i) b[8 + i] = data4[i];
    return b;
}

Guid Guid::fromBytes(const std::uint8_t* b) {
    Guid g;
    g.data1 = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
              (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    g.data2 = static_cast<std::uint16_t>(b[4] | (b[5] << 8));
    g.data3 = static_cast<std::uint16_t>(b[6] | (b[7] << 8));
    for (int i = 0; i < 8; ++i) g.data4[i] = b[8 + i];
    return g;
}

std::string Guid::toString() const {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, data2, data3, data4[0],
                  data4[1], data4[2], data4[3], data4[4], data4[5], data4[6], data4[7]);
    return buf;
}

std::wstring Guid::toWString() const {
    const std::string s = toString();
    return std::wstring(s.begin(), s.end());
}

std::optional<Guid> Guid::parse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    std::uint8_t bytes[16] = {};
    int n = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        const int hi = hex(text[i]), lo = hex(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    // the text form is Data1..Data3 big-endian as written
    Guid g;
    g.data1 =
        (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8) | bytes[3];
    g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
    return g;
}

}  // namespace lumo::os
