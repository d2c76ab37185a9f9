#pragma once
// The 12-byte control-version record: command-set prefixes and versions of the camera.
// The first 11 bytes come from the camera; the prefix tests work on the raw bytes as
// zero-terminated text.
#include <array>
#include <cstddef>
#include <cstdint>

struct CtrlVerRecord {
    std::array<std::uint8_t, 12> bytes{};

    static constexpr std::size_t kSize = 12;
    static constexpr std::size_t kWireSize = 11;

    // "XU" from offset 0: the extended command set (OSD, H.264).
    bool HasXu() const;
    // "EM" from offset 4: the direct external-memory protocol.
    bool HasEm() const;
    std::uint16_t wXuVer() const { return static_cast<std::uint16_t>(bytes[2] | (bytes[3] << 8)); }
    std::uint16_t wExMemVer() const { return static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8)); }
};
