#pragma once
// A 128-bit interface/class identifier with the in-memory layout cameras and drivers use:
// Data1 little-endian, Data2 and Data3 little-endian, then Data4 as eight bytes in order.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumo::os {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend bool operator==(const Guid&, const Guid&) = default;

    // The 16 bytes as they lie in memory (and in USB descriptors).
    std::array<std::uint8_t, 16> toBytes() const;
    static Guid fromBytes(const std::uint8_t* bytes16);

    // "{68BBD0B0-61A4-4B83-90B7-A6215F3C4F70}", upper case, braces included.
    std::string toString() const;
    std::wstring toWString() const;
    // Accepts the text form with or without braces, any letter case.
    static std::optional<Guid> parse(std::string_view text);
};

// Identifiers the library and the device worlds share.
namespace guids {
// vendor extension unit of the camera controller
inline constexpr Guid kVendorXu{0x68BBD0B0, 0x61A4, 0x4B83, {0x90, 0xB7, 0xA6, 0x21, 0x5F, 0x3C, 0x4F, 0x70}};
// H.264 extension unit of the UVC H.264 payload definition
inline constexpr Guid kH264Xu{0xA29E7641, 0xDE04, 0x47E3, {0x8B, 0x2B, 0xF4, 0x34, 0x1A, 0xFF, 0x00, 0x3B}};
// topology node type of a device-specific (extension unit) node
inline constexpr Guid kNodeTypeDevSpecific{
    0x941C7AC0, 0xC559, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};
// video-input device category of the system device enumerator
inline constexpr Guid kVideoInputDeviceCategory{
    0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// system device enumerator class and interface, property bag and capture filter interfaces
inline constexpr Guid kSystemDeviceEnum{0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr Guid kCreateDevEnum{0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr Guid kPropertyBag{0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr Guid kBaseFilter{0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// video-capture device-interface class: device paths and device-change notices
inline constexpr Guid kVideoCaptureInterfaceClass{
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// setup class "Image"
inline constexpr Guid kImageSetupClass{0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
}  // namespace guids

}  // namespace lumo::os
