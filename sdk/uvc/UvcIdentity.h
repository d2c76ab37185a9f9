#pragma once
// Identity texts of a camera: the VID/PID cut from its device path, the release number in
// its hardware ID list, and the case folding every path comparison uses.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumo::uvc {

// ASCII upper-casing; device paths, instance IDs and hardware IDs are ASCII.
std::wstring ToUpperW(std::wstring_view text);

// The up to 17 characters of an upper-cased device path that begin at its first "VID_"
// ("VID_1234&PID_5678"); empty for a path without "VID_".
std::wstring CutVidPid(std::wstring_view upperDevPath);

// Reads the hexadecimal number right after `tag` in `text` (up to the first non-hex
// character), truncated to 16 bits. No value when the tag is missing or no digit follows.
std::optional<std::uint16_t> ParseHexAfter(std::wstring_view text, std::wstring_view tag);

struct VidPid {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
};
// The vendor and product ids of an m_szVidPid text; no value when "VID_" or "PID_" is missing.
std::optional<VidPid> ParseVidPid(std::wstring_view vidPid);

// The release number from the "REV_" field of the first string of a hardware ID list
// (NUL-separated, as CUvcDev::SetupDiGetDevice hands it out). No value without "REV_".
std::optional<std::uint16_t> ParseBcdDevice(std::wstring_view hardwareIdList);

}  // namespace lumo::uvc
