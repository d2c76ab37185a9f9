#include "sdk/device/CtrlVerRecord.h"

#include <string_view>

namespace {
// The record from `from` as zero-terminated text, never beyond its 12 bytes.
std::string_view textFrom(const std::array<std::uint8_t, 12>& b, std::size_t from) {
    std::size_t end = from;
    while (end < b.size() && b[end] != 0) ++end;
    return {reinterpret_cast<const char*>(b.data()) + from, end - from};
}
}  // namespace

bool CtrlVerRecord::HasXu() const {
    return textFrom(bytes, 0).find("XU") != std::string_view::npos;
}
bool CtrlVerRecord::HasEm() const {
    return textFrom(bytes, 4).find("EM") != std::string_view::npos;
}
