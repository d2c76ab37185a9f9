#pragma once
// Reading a private profile (".ini") file the way the tool's settings expect it: sections and
// keys match without regard to letter case, values are trimmed and lose one pair of
// surrounding quotes, integers are decimal with the digits that lead the value, and a missing
// file, section or key gives the caller's default.
#include <cstdint>
#include <string>

namespace lumo::tool {

// The value of key in section, or defaultValue; at most size - 1 characters (size >= 1).
std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::size_t size, const std::wstring& file);
// The value as an unsigned 32-bit integer: an optional sign and the leading decimal digits,
// wrapping modulo 2^32 (a negative value comes back as its two's complement); a value that
// starts with no digit reads as 0.
std::uint32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key, std::int32_t defaultValue,
                                   const std::wstring& file);

}  // namespace lumo::tool
