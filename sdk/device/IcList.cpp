#include "sdk/device/IcList.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr void put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
constexpr std::uint32_t get32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

IcListRow row(std::uint32_t id, std::uint32_t family, const char* sig, std::uint8_t a1, std::uint8_t m1,
              std::uint8_t v1, std::uint8_t a2, std::uint8_t m2, std::uint8_t v2, const char* partNo) {
    IcListRow r;
    r.dwId = id;
    r.dwFamily = family;
    std::memcpy(r.szSignature.data(), sig, std::min(std::strlen(sig), r.szSignature.size() - 1));
    r.abProbeAddr = {a1, a2};
    r.abProbeMask = {m1, m2};
    r.abProbeValue = {v1, v2};
    std::memcpy(r.szPartNo.data(), partNo, std::min(std::strlen(partNo), r.szPartNo.size() - 1));
    return r;
}

}  // namespace

std::array<std::uint8_t, IcListRow::kSize> IcListRow::toBytes() const {
    std::array<std::uint8_t, kSize> b{};
    put32(&b[0], dwId);
    put32(&b[4], dwFamily);
    std::memcpy(&b[8], szSignature.data(), 4);
    b[12] = abProbeAddr[0];
    b[13] = abProbeAddr[1];
    b[14] = abProbeMask[0];
    b[15] = abProbeMask[1];
    b[16] = abProbeValue[0];
    b[17] = abProbeValue[1];
    std::memcpy(&b[18], szPartNo.data(), 10);
    return b;
}

IcListRow IcListRow::fromBytes(const std::uint8_t* b) {
    IcListRow r;
    r.dwId = get32(&b[0]);
    r.dwFamily = get32(&b[4]);
    std::memcpy(r.szSignature.data(), &b[8], 4);
    r.abProbeAddr = {b[12], b[13]};
    r.abProbeMask = {b[14], b[15]};
    r.abProbeValue = {b[16], b[17]};
    std::memcpy(r.szPartNo.data(), &b[18], 10);
    return r;
}

const std::array<IcListRow, kIcListCount>& IcList() {
    // Search order is row order; ids are not. Probe address bit 7 selects MCU data memory.
    static const std::array<IcListRow, kIcListCount> list = {
        row(0, 0, "N/A", 0, 0, 0, 0, 0, 0, "N/A"),
        row(1, 1, "AX", 0, 0, 0, 0, 0, 0, "QT7310"),
        row(4, 1, "ED", 0xA8, 0x02, 0x00, 0xA8, 0x04, 0x00, "QT7420"),
        row(3, 1, "ED", 0xA8, 0x02, 0x00, 0xA8, 0x04, 0x04, "QT7421"),
        row(2, 1, "ED", 0xA8, 0x02, 0x02, 0xA8, 0x00, 0x00, "QT7312"),
        row(5, 1, "AD", 0, 0, 0, 0, 0, 0, "QR7680"),
        row(6, 2, "CK", 0xA8, 0x04, 0x00, 0xA0, 0x20, 0x20, "QT7211"),
        row(7, 2, "CK", 0xA8, 0x04, 0x00, 0xA0, 0x20, 0x00, "QT7233"),
        row(8, 2, "CK", 0xA8, 0x04, 0x04, 0, 0, 0, "QT7733"),
        row(9, 3, "K2", 0, 0, 0, 0, 0, 0, "QT7211L"),
        row(10, 4, "CA", 0xA0, 0x20, 0x00, 0, 0, 0, "QT7266"),
        row(11, 4, "CA", 0xA0, 0x20, 0x20, 0, 0, 0, "QT7222L"),
        row(12, 5, "CG", 0, 0, 0, 0, 0, 0, "QT7844"),
        row(13, 6, "CE", 0xA0, 0x20, 0x20, 0, 0, 0, "QR7944"),
        row(14, 6, "CE", 0xA0, 0x20, 0x00, 0, 0, 0, "QR7288"),
    };
    return list;
}
