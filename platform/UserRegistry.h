#pragma once
// The per-user registry (the HKEY_CURRENT_USER tree) kept as a REGEDIT4 text file:
//     $XDG_CONFIG_HOME/lumo/registry.reg   ($XDG_CONFIG_HOME defaults to ~/.config)
// for example
//     REGEDIT4
//
//     [HKEY_CURRENT_USER\DEdura]
//     "LOGFILE"=dword:00000001
//     "LEVEL_0"=hex:00,00,00,00
//     "Note"="text"
// Values are handed back as raw bytes with their type: a dword as 4 little-endian bytes, hex:
// and hex(N): as the listed bytes, a string as UTF-16LE with its terminator (as Windows keeps a
// REG_SZ). Key names match without regard to case. A garbled line is skipped; at most 1 MiB
// of the file is read.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumo::os {

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

struct RegValue {
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
};

// Value names are kept upper-cased for case-free lookup.
using RegKey = std::map<std::wstring, RegValue>;

// The file that holds the per-user registry (empty when no home is known).
std::string UserRegistryPath();

// The values of HKEY_CURRENT_USER\<subKey>, or nothing when the key is absent or the file
// cannot be read.
std::optional<RegKey> RegOpenUserKey(const std::wstring& subKey);
// The same, from a given file (used by tests and tools).
std::optional<RegKey> RegOpenUserKeyFrom(const std::string& file, const std::wstring& subKey);

// One value of an opened key; null when absent.
const RegValue* RegQueryValue(const RegKey& key, const std::wstring& name);

}  // namespace lumo::os
