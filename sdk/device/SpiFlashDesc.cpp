#include "sdk/device/SpiFlashDesc.h"

std::array<std::uint8_t, SpiFlashDesc::kSize> SpiFlashDesc::toBytes() const {
    std::array<std::uint8_t, kSize> b{};
    const auto reg = regBytes();
    for (std::size_t i = 0; i < kRegSize; ++i) b[i] = reg[i];
    for (std::size_t i = 0; i < szName.size(); ++i) {
        b[12 + 2 * i] = static_cast<std::uint8_t>(szName[i]);
        b[13 + 2 * i] = static_cast<std::uint8_t>(szName[i] >> 8);
    }
    return b;
}

SpiFlashDesc SpiFlashDesc::fromBytes(const std::uint8_t* b) {
    SpiFlashDesc d;
    d.setRegBytes(b);
    for (std::size_t i = 0; i < d.szName.size(); ++i)
        d.szName[i] = static_cast<char16_t>(b[12 + 2 * i] | (b[13 + 2 * i] << 8));
    d.szName.back() = 0;  // always terminated
    return d;
}

std::array<std::uint8_t, SpiFlashDesc::kRegSize> SpiFlashDesc::regBytes() const {
    return {bIdFormat, bChipEraseCmd, bBlockEraseCmd, bSectorEraseCmd, bReadIdCmd, abId[0],
            abId[1],   abId[2],       abParam[0],     abParam[1],      abParam[2]};
}

void SpiFlashDesc::setRegBytes(const std::uint8_t* b) {
    bIdFormat = b[0];
    bChipEraseCmd = b[1];
    bBlockEraseCmd = b[2];
    bSectorEraseCmd = b[3];
    bReadIdCmd = b[4];
    abId = {b[5], b[6], b[7]};
    abParam = {b[8], b[9], b[10]};
}

std::string SpiFlashDesc::NameA() const {
    std::string s;
    for (char16_t c : szName) {
        if (c == 0) break;
        s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return s;
}

std::wstring SpiFlashDesc::NameW() const {
    std::wstring s;
    for (char16_t c : szName) {
        if (c == 0) break;
        s.push_back(static_cast<wchar_t>(c));
    }
    return s;
}
