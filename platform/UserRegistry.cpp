#include "platform/UserRegistry.h"

#include <cstdlib>
#include <cwctype>
#include <fstream>

#include "platform/TextConv.h"

namespace lumo::os {
namespace {

constexpr std::size_t kMaxFileBytes = 1u << 20;

std::wstring upper(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return s;
}

std::wstring trim(const std::wstring& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::iswspace(static_cast<wint_t>(s[b]))) ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// A quoted text starting at s[i] == '"'; handles \" and \\ escapes. Moves i past the closing quote.
std::optional<std::wstring> quoted(const std::wstring& s, std::size_t& i) {
    if (i >= s.size() || s[i] != L'"') return std::nullopt;
    std::wstring out;
    for (++i; i < s.size(); ++i) {
        if (s[i] == L'\\' && i + 1 < s.size()) {
            out.push_back(s[++i]);
        } else if (s[i] == L'"') {
            ++i;
            return out;
        } else {
            out.push_back(s[i]);
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> hexBytes(const std::wstring& s) {
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (std::iswspace(static_cast<wint_t>(s[i])) || s[i] == L'\\')) ++i;
        if (i >= s.size()) break;
        const int hi = hexDigit(s[i]);
        const int lo = i + 1 < s.size() ? hexDigit(s[i + 1]) : -1;
        if (hi < 0) return std::nullopt;
        if (lo < 0) {  // a single digit
            out.push_back(static_cast<std::uint8_t>(hi));
            ++i;
        } else {
            out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            i += 2;
        }
        while (i < s.size() && std::iswspace(static_cast<wint_t>(s[i]))) ++i;
        if (i < s.size()) {
            if (s[i] != L',') return std::nullopt;
            ++i;
        }
    }
    return out;
}

std::optional<RegValue> parseData(const std::wstring& text) {
    const std::wstring t = trim(text);
    RegValue v;
    if (!t.empty() && t.front() == L'"') {
        std::size_t i = 0;
        auto s = quoted(t, i);
        if (!s) return std::nullopt;
        v.type = REG_SZ;
        for (wchar_t c : *s) {  // UTF-16LE, terminator included
            auto cp = static_cast<std::uint32_t>(c);
            if (cp >= 0x10000) {
                cp -= 0x10000;
                const std::uint32_t units[2] = {0xD800 + (cp >> 10), 0xDC00 + (cp & 0x3FF)};
                for (auto u : units) {
                    v.data.push_back(static_cast<std::uint8_t>(u & 0xFF));
                    v.data.push_back(static_cast<std::uint8_t>(u >> 8));
                }
            } else {
                v.data.push_back(static_cast<std::uint8_t>(cp & 0xFF));
                v.data.push_back(static_cast<std::uint8_t>(cp >> 8));
            }
        }
        v.data.push_back(0);
        v.data.push_back(0);
        return v;
    }
    const std::wstring lower = [&] {
        std::wstring l = t;
        for (auto& c : l) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        return l;
    }();
    if (lower.rfind(L"dword:", 0) == 0) {
        const std::wstring digits = trim(t.substr(6));
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        std::uint32_t n = 0;
        for (wchar_t c : digits) {
            const int d = hexDigit(c);
            if (d < 0) return std::nullopt;
            n = n * 16u + static_cast<std::uint32_t>(d);
        }
        v.type = REG_DWORD;
        for (int k = 0; k < 4; ++k) v.data.push_back(static_cast<std::uint8_t>(n >> (8 * k)));
        return v;
    }
    if (lower.rfind(L"hex:", 0) == 0) {
        auto bytes = hexBytes(t.substr(4));
        if (!bytes) return std::nullopt;
        v.type = REG_BINARY;
        v.data = std::move(*bytes);
        return v;
    }
    if (lower.rfind(L"hex(", 0) == 0) {
        const auto close = lower.find(L"):");
        if (close == std::wstring::npos || close == 4) return std::nullopt;
        std::uint32_t type = 0;
        for (std::size_t i = 4; i < close; ++i) {
            const int d = hexDigit(t[i]);
            if (d < 0 || type > 0x0FFFFFFF) return std::nullopt;
            type = type * 16u + static_cast<std::uint32_t>(d);
        }
        auto bytes = hexBytes(t.substr(close + 2));
        if (!bytes) return std::nullopt;
        v.type = type;
        v.data = std::move(*bytes);
        return v;
    }
    return std::nullopt;
}

}  // namespace

std::string UserRegistryPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    return base + "/lumo/registry.reg";
}

std::optional<RegKey> RegOpenUserKey(const std::wstring& subKey) {
    const std::string path = UserRegistryPath();
    if (path.empty()) return std::nullopt;
    return RegOpenUserKeyFrom(path, subKey);
}

std::optional<RegKey> RegOpenUserKeyFrom(const std::string& file, const std::wstring& subKey) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data(kMaxFileBytes, '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<std::size_t>(in.gcount()));
    if (data.size() >= 3 && data.compare(0, 3, "\xEF\xBB\xBF") == 0) data.erase(0, 3);

    const std::wstring wanted = upper(L"HKEY_CURRENT_USER\\" + trim(subKey));
    std::optional<RegKey> key;
    bool inKey = false;
    std::wstring pending;  // a value line continued with a trailing backslash
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        std::wstring line = trim(fromUtf8(std::string_view(data).substr(start, end - start)));
        start = end + 1;
        if (!pending.empty()) {
            // Appended in place: a value continued over many lines is read in linear time.
            pending += line;
            line = std::move(pending);
            pending.clear();
        }
        if (line.empty() || line.front() == L';') continue;
        if (line.front() == L'[') {
            const auto close = line.rfind(L']');
            if (close == std::wstring::npos) {
                inKey = false;
                continue;
            }
            const std::wstring name = upper(trim(line.substr(1, close - 1)));
            inKey = name == wanted;
            if (inKey && !key) key.emplace();
            continue;
        }
        if (!inKey) continue;
        if (line.back() == L'\\') {
            line.pop_back();
            pending = std::move(line);
            continue;
        }
        std::wstring name;
        std::size_t i = 0;
        if (line.front() == L'@') {
            i = 1;  // the default value
        } else if (auto q = quoted(line, i)) {
            name = *q;
        } else {
            continue;
        }
        while (i < line.size() && std::iswspace(static_cast<wint_t>(line[i]))) ++i;
        if (i >= line.size() || line[i] != L'=') continue;
        if (auto value = parseData(line.substr(i + 1))) (*key)[upper(name)] = std::move(*value);
    }
    return key;
}

const RegValue* RegQueryValue(const RegKey& key, const std::wstring& name) {
    const auto it = key.find(upper(name));
    return it == key.end() ? nullptr : &it->second;
}

}  // namespace lumo::os
