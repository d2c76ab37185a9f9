#pragma once
// Private profile files ("ini" files) read and written the way Windows does:
//  - sections "[name]" and keys "key=value" match without regard to case; the first match wins;
//  - blanks around keys and values are dropped, and a value wrapped in matching quotes loses them;
//  - lines that start with ';' are comments;
//  - the file is UTF-8 (a byte-order mark is skipped); at most 4 MiB of it is read.
// A missing file, section or key gives the caller's default.
#include <cstdint>
#include <string>

namespace lumo::os {

// Integer value: an optional sign and decimal digits up to the first other character
// ("12abc" is 12, "abc" is 0); blanks before the number are skipped; a key with an empty value
// gives the default; values past 32 bits wrap, as on Windows.
std::int32_t GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, std::int32_t defaultValue,
                                   const std::wstring& path);

// String value cut to at most maxChars - 1 characters (the Windows buffer of maxChars
// characters holds the terminator too). maxChars 0 gives an empty string.
std::wstring GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& defaultValue, const std::wstring& path, std::size_t maxChars);

// Sets (or adds) one key, creating the section or the file as needed. Returns false when the
// file cannot be written.
bool WritePrivateProfileStringW(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                                const std::wstring& path);

}  // namespace lumo::os
