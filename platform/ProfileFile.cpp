#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/TextConv.h"

namespace lumo::os {
namespace {

constexpr std::size_t kMaxFileBytes = 4u << 20;

// Reads a settings file. Only a regular file: a FIFO or a device named as the settings file
// would block the reader for ever (or never end), so it reads as a missing file.
std::optional<std::string> readFile(const std::wstring& path) {
    const int fd = ::open(toUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), kMaxFileBytes), '\0');
    std::size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // an error or a file that shrank meanwhile: what was read stands
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(got);
    if (data.size() >= 3 && data.compare(0, 3, "\xEF\xBB\xBF") == 0) data.erase(0, 3);
    return data;
}

std::vector<std::wstring> splitLines(const std::string& data) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        std::string_view line(data.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(fromUtf8(line));
        start = end + 1;
    }
    return lines;
}

std::wstring trim(const std::wstring& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::iswspace(static_cast<wint_t>(s[b]))) ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool equalNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
    return true;
}

// "[name]" gives name; any other line gives nothing.
std::optional<std::wstring> sectionName(const std::wstring& line) {
    const std::wstring t = trim(line);
    if (t.size() < 2 || t.front() != L'[') return std::nullopt;
    const auto close = t.find(L']');
    if (close == std::wstring::npos) return std::nullopt;
    return trim(t.substr(1, close - 1));
}

struct KeyLine {
    std::wstring key;
    std::wstring value;
};

std::optional<KeyLine> keyLine(const std::wstring& line) {
    const std::wstring t = trim(line);
    if (t.empty() || t.front() == L';') return std::nullopt;
    const auto eq = t.find(L'=');
    if (eq == std::wstring::npos) return std::nullopt;
    return KeyLine{trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

std::optional<std::wstring> lookup(const std::wstring& section, const std::wstring& key, const std::wstring& path) {
    const auto data = readFile(path);
    if (!data) return std::nullopt;
    bool inSection = false;
    for (const auto& line : splitLines(*data)) {
        if (auto name = sectionName(line)) {
            if (inSection) return std::nullopt;  // the first matching section only
            inSection = equalNoCase(*name, trim(section));
            continue;
        }
        if (!inSection) continue;
        if (auto kv = keyLine(line); kv && equalNoCase(kv->key, trim(key))) {
            std::wstring v = kv->value;
            if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    return std::nullopt;
}

}  // namespace

std::int32_t GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, std::int32_t defaultValue,
                                   const std::wstring& path) {
    const auto value = lookup(section, key, path);
    if (!value || value->empty()) return defaultValue;
    std::size_t i = 0;
    const std::wstring& v = *value;
    while (i < v.size() && std::iswspace(static_cast<wint_t>(v[i]))) ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == L'+' || v[i] == L'-')) negative = v[i++] == L'-';
    std::uint32_t n = 0;  // wraps modulo 2^32 like the Windows reader
    for (; i < v.size() && v[i] >= L'0' && v[i] <= L'9'; ++i) n = n * 10u + static_cast<std::uint32_t>(v[i] - L'0');
    if (negative) n = 0u - n;
    return static_cast<std::int32_t>(n);
}

std::wstring GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& defaultValue, const std::wstring& path,
                                      std::size_t maxChars) {
    if (maxChars == 0) return {};
    std::wstring v = lookup(section, key, path).value_or(trim(defaultValue));
    if (v.size() > maxChars - 1) v.resize(maxChars - 1);
    return v;
}

bool WritePrivateProfileStringW(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                                const std::wstring& path) {
    std::vector<std::wstring> lines;
    if (const auto data = readFile(path)) {
        lines = splitLines(*data);
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
    }
    const std::wstring entry = trim(key) + L"=" + value;
    std::optional<std::size_t> sectionAt, insertAt;
    bool written = false;
    for (std::size_t i = 0; i < lines.size() && !written; ++i) {
        if (auto name = sectionName(lines[i])) {
            if (sectionAt) break;
            if (equalNoCase(*name, trim(section))) sectionAt = insertAt = i;
            continue;
        }
        if (!sectionAt) continue;
        if (!trim(lines[i]).empty()) insertAt = i;
        if (auto kv = keyLine(lines[i]); kv && equalNoCase(kv->key, trim(key))) {
            lines[i] = entry;
            written = true;
        }
    }
    if (!written) {
        if (sectionAt) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*insertAt + 1), entry);
        } else {
            lines.push_back(L"[" + trim(section) + L"]");
            lines.push_back(entry);
        }
    }
    std::string out;
    for (const auto& l : lines) out += toUtf8(l) + "\r\n";
    std::ofstream f(toUtf8(path), std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f);
}

}  // namespace lumo::os
