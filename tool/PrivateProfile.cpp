#include "tool/PrivateProfile.h"

#include <cwctype>
#include <fstream>
#include <optional>

#include "platform/TextConv.h"

namespace lumo::tool {
namespace {

std::wstring trim(const std::wstring& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::iswspace(s[b])) ++b;
    while (e > b && std::iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool equalsNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
}

std::optional<std::wstring> lookup(const std::wstring& section, const std::wstring& key, const std::wstring& file) {
    std::ifstream in(lumo::os::toUtf8(file), std::ios::binary);
    if (!in) return std::nullopt;
    std::string raw;
    bool inSection = false;
    bool first = true;
    while (std::getline(in, raw)) {
        if (first && raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
        first = false;
        const std::wstring line = trim(lumo::os::fromUtf8(raw));
        if (line.empty() || line[0] == L';') continue;
        if (line[0] == L'[') {
            const auto close = line.find(L']');
            inSection = close != std::wstring::npos && equalsNoCase(trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const auto eq = line.find(L'=');
        if (eq == std::wstring::npos || !equalsNoCase(trim(line.substr(0, eq)), key)) continue;
        std::wstring value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::size_t size, const std::wstring& file) {
    std::wstring value = lookup(section, key, file).value_or(defaultValue);
    const std::size_t room = size == 0 ? 0 : size - 1;
    if (value.size() > room) value.resize(room);
    return value;
}

std::uint32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key, std::int32_t defaultValue,
                                   const std::wstring& file) {
    const auto value = lookup(section, key, file);
    if (!value) return static_cast<std::uint32_t>(defaultValue);
    std::size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == L'-' || (*value)[i] == L'+')) negative = (*value)[i++] == L'-';
    std::uint32_t n = 0;
    for (; i < value->size() && (*value)[i] >= L'0' && (*value)[i] <= L'9'; ++i)
        n = n * 10u + static_cast<std::uint32_t>((*value)[i] - L'0');
    return negative ? 0u - n : n;
}

}  // namespace lumo::tool
