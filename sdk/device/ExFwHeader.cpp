#include "sdk/device/ExFwHeader.h"

#include <string_view>

bool ExFwHeader::TextContains(const char* two) const {
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != 0) ++end;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), end);
    return text.find(two) != std::string_view::npos;
}
