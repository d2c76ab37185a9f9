#pragma once
// Text conversions between the wide strings of the code base (wchar_t, UTF-32 on Linux), the
// UTF-8 of file names and files, and the UTF-16 that some camera records carry.
#include <cstdint>
#include <string>
#include <string_view>

namespace lumo::os {

std::string toUtf8(std::wstring_view text);
// Invalid sequences become U+FFFD; never fails.
std::wstring fromUtf8(std::string_view text);
// UTF-16 code units (as read from a device record) to a wide string; lone surrogates become U+FFFD.
std::wstring fromUtf16(std::u16string_view text);

}  // namespace lumo::os
