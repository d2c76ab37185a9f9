#pragma once
// Small text helpers of the Linux world: UTF-8 from sysfs and V4L2 to wide text and back,
// and whole-file reads of sysfs attributes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumo::os::linuxworld {

std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const std::wstring& text);
std::wstring upperWide(std::wstring text);

// A sysfs attribute as text without the trailing newline, or nothing when unreadable.
std::optional<std::string> readAttribute(const std::string& path);
// A binary attribute (descriptors), at most maxBytes.
std::optional<std::vector<std::uint8_t>> readBinaryAttribute(const std::string& path, std::size_t maxBytes);
// A hexadecimal attribute such as idVendor ("046d"); nothing when absent or not hex.
std::optional<std::uint32_t> readHexAttribute(const std::string& path);

}  // namespace lumo::os::linuxworld
