#include "sdk/uvc/UvcIdentity.h"

namespace lumo::uvc {
namespace {

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

}  // namespace

std::wstring ToUpperW(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return out;
}

std::wstring CutVidPid(std::wstring_view upperDevPath) {
    const auto at = upperDevPath.find(L"VID_");
    if (at == std::wstring_view::npos) return {};
    return std::wstring(upperDevPath.substr(at, 17));
}

std::optional<std::uint16_t> ParseHexAfter(std::wstring_view text, std::wstring_view tag) {
    const auto at = text.find(tag);
    if (at == std::wstring_view::npos) return std::nullopt;
    std::uint32_t value = 0;
    bool any = false;
    for (auto i = at + tag.size(); i < text.size(); ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0) break;
        value = (value << 4) | static_cast<std::uint32_t>(d);  // only the low 16 bits matter
        any = true;
    }
    if (!any) return std::nullopt;
    return static_cast<std::uint16_t>(value & 0xFFFFu);
}

std::optional<VidPid> ParseVidPid(std::wstring_view vidPid) {
    const auto vid = ParseHexAfter(vidPid, L"VID_");
    const auto pid = ParseHexAfter(vidPid, L"PID_");
    if (!vid || !pid) return std::nullopt;
    return VidPid{*vid, *pid};
}

std::optional<std::uint16_t> ParseBcdDevice(std::wstring_view hardwareIdList) {
    const auto end = hardwareIdList.find(L'\0');
    const auto first = ToUpperW(hardwareIdList.substr(0, end));
    return ParseHexAfter(first, L"REV_");
}

}  // namespace lumo::uvc
