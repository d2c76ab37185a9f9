#pragma once
// Version resources of our own ELF files: a block in the section ".lumo_version" holding
// pairs of NUL-terminated texts (query path, value) after the magic "LUMOVER1". The reader
// trusts nothing in the file: every offset and size is checked against the file, and a
// truncated or hostile file simply has no value.
#include <string>

namespace lumo::os {

inline constexpr const char* kVersionSection = ".lumo_version";

// query: e.g. "\StringFileInfo\040403b6\ProductVersion". False when the file, the section or
// the value is missing or malformed.
bool VerQueryFileValue(const std::string& path, const std::string& query, std::string& value);

}  // namespace lumo::os
