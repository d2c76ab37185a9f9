#include "common/trace/DEdura.h"

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>

#include "common/trace/DEduraInternal.h"
#include "platform/DebugOutput.h"
#include "platform/ExePath.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "platform/TextConv.h"
#include "platform/UserRegistry.h"

namespace {

constexpr std::size_t kStage = 4096;  // each formatting stage; texts are cut at 4095

// Written only at start-up, before other threads of the deliverable exist.
bool g_started = false;
lumo::trace::Switches g_sw;
// A plain array, not a std::string: the library's start-up runs from another file's static
// constructor, before this file's dynamic initialisers may have run.
char g_logPath[4096];

void setPath(const std::string& path) {
    if (path.size() >= sizeof g_logPath) {  // too long to hold: no file output
        g_logPath[0] = '\0';
        return;
    }
    std::memcpy(g_logPath, path.c_str(), path.size() + 1);
}

// Wide strings are narrowed as UTF-8 whatever the process locale, so a name outside ASCII
// never makes a record fail.
locale_t utf8Locale() {
    static locale_t loc = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

int cutLength(int n) {
    if (n < 0) return 0;
    return n > static_cast<int>(kStage - 1) ? static_cast<int>(kStage - 1) : n;
}

void readRegistry() {
    const auto key = lumo::os::RegOpenUserKey(L"DEdura");
    if (!key) return;
    struct Entry {
        const wchar_t* name;
        std::int32_t* target;
    } const entries[] = {
        {L"LOGFILE", &g_sw.file},     {L"VIEW", &g_sw.view},        {L"LEVEL_0", &g_sw.level[0]},
        {L"LEVEL_1", &g_sw.level[1]}, {L"LEVEL_2", &g_sw.level[2]}, {L"LEVEL_3", &g_sw.level[3]},
        {L"LEVEL_X", &g_sw.level[4]},
    };
    for (const auto& e : entries) {
        const auto* v = lumo::os::RegQueryValue(*key, e.name);
        if (v == nullptr || v->data.size() > 4) continue;  // absent or too large: unchanged
        // The switch itself is the 4-byte buffer: a shorter value overwrites its low bytes.
        std::uint32_t u = static_cast<std::uint32_t>(*e.target);
        for (std::size_t i = 0; i < v->data.size(); ++i) {
            u &= ~(0xFFu << (8 * i));
            u |= static_cast<std::uint32_t>(v->data[i]) << (8 * i);
        }
        *e.target = static_cast<std::int32_t>(u);
    }
}

std::string logFileName() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &local) == nullptr) return {};
    wchar_t name[128];
    if (std::wcsftime(name, 128, L"%y.%m.%d-%H%M%S.log", &local) == 0) return {};
    return lumo::os::toUtf8(name);
}

void writeFileForm(const std::string& form) {
    const int fd = ::open(g_logPath, O_RDWR | O_APPEND | O_CLOEXEC);  // only if it exists
    if (fd < 0) return;
    // One write on an append-mode descriptor: the kernel places the whole record at the end,
    // so records of other threads and of the other copy never overlap it.
    ssize_t n;
    do {
        n = ::write(fd, form.data(), form.size());
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n != static_cast<ssize_t>(form.size()))
        lumo::os::MessageBox(0, L"WriteFile Fail", L"xtracing_output_debug_string::operator",
                             lumo::os::MB_OK | lumo::os::MB_ICONSTOP);
}

}  // namespace

namespace lumo::trace {

std::string translateFormat(std::string_view f) {
    std::string out;
    out.reserve(f.size() + 8);
    for (std::size_t i = 0; i < f.size(); ++i) {
        out.push_back(f[i]);
        if (f[i] != '%') continue;
        if (i + 1 < f.size() && f[i + 1] == '%') {
            out.push_back(f[++i]);
            continue;
        }
        std::size_t j = i + 1;  // flags, width, precision
        while (j < f.size() && std::strchr("-+ #0123456789.*'", f[j]) != nullptr) ++j;
        out.append(f.substr(i + 1, j - i - 1));
        if (j + 1 < f.size() && f[j] == 'w' && (f[j + 1] == 's' || f[j + 1] == 'c')) {
            out.push_back('l');
            out.push_back(f[j + 1]);
            i = j + 1;
        } else if (j < f.size() && (f[j] == 'S' || f[j] == 'C')) {
            out.push_back('l');
            out.push_back(f[j] == 'S' ? 's' : 'c');
            i = j;
        } else {
            i = j - 1;
        }
    }
    return out;
}

std::string formatRecord(const wchar_t* sourceFile, int line, const char* format, va_list args) {
    // The name after the last backslash (or slash), narrowed to single bytes.
    const wchar_t* name = sourceFile != nullptr ? sourceFile : L"";
    for (const wchar_t* p = name; *p != L'\0'; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    char narrow[kStage];
    std::size_t k = 0;
    for (; name[k] != L'\0' && k < kStage - 1; ++k)
        narrow[k] = static_cast<unsigned>(name[k]) < 0x100 ? static_cast<char>(name[k]) : '?';
    narrow[k] = '\0';

    // The prefix is formatted on its own and the caller's format is appended to it, so a '%'
    // in a file name can never be taken for a conversion; the text is cut at 4095 as a whole.
    thread_local char text[kStage];
    const int np = cutLength(std::snprintf(text, kStage, "%20s(%04d) : ", narrow, line));
    const std::string fmt = translateFormat(format != nullptr ? format : "") + "\n";

    locale_t loc = utf8Locale();
    locale_t old = loc != static_cast<locale_t>(nullptr) ? ::uselocale(loc) : static_cast<locale_t>(nullptr);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int nm = std::vsnprintf(text + np, kStage - static_cast<std::size_t>(np), fmt.c_str(), args);
#pragma GCC diagnostic pop
    if (old != static_cast<locale_t>(nullptr)) ::uselocale(old);
    const int room = static_cast<int>(kStage) - 1 - np;
    const int total = np + (nm < 0 ? 0 : (nm > room ? room : nm));
    return std::string(text, static_cast<std::size_t>(total));
}

std::string fileForm(std::string_view text) {
    std::string out(text);
    const std::size_t lf = out.find('\n');
    const std::size_t shiftEnd = lf == std::string::npos ? out.size() : lf;
    for (std::size_t i = 0; i < shiftEnd; ++i)
        if (out[i] != ' ') out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) + 0x40u);
    if (!out.empty()) out.back() = '\r';
    out.push_back('\n');
    out.push_back(' ');
    return out;
}

void initializeIn(const std::string& exeDirectory, const std::wstring& iniFileName) {
    reset();
    g_sw.level[0] = g_sw.level[1] = g_sw.level[2] = g_sw.level[3] = g_sw.level[4] = 1;
    if (!iniFileName.empty()) {
        const std::wstring ini = lumo::os::fromUtf8(exeDirectory) + iniFileName;
        g_sw.file = lumo::os::GetPrivateProfileIntW(L"OUTPUT", L"FILE", 0, ini);
        g_sw.view = lumo::os::GetPrivateProfileIntW(L"OUTPUT", L"VIEW", 0, ini);
        static const wchar_t* const kLevels[5] = {L"LEVEL_0", L"LEVEL_1", L"LEVEL_2", L"LEVEL_3", L"LEVEL_X"};
        for (int i = 0; i < 5; ++i) g_sw.level[i] = lumo::os::GetPrivateProfileIntW(L"OUTPUT", kLevels[i], 1, ini);
    }
    readRegistry();
    if (g_sw.file != 0) {
        setPath(exeDirectory + logFileName());
        // Create it when missing, keep it when present; a failure here shows later as dropped records.
        const int fd = g_logPath[0] == '\0' ? -1 : ::open(g_logPath, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
    }
    g_started = true;
}

void reset() {
    g_started = false;
    g_sw = Switches{};
    g_logPath[0] = '\0';
}

Switches switches() {
    return g_sw;
}
std::string logFilePath() {
    return g_logPath;
}
void setLogFilePath(const std::string& path) {
    setPath(path);
}

}  // namespace lumo::trace

void xtracing_initialize(const std::wstring& iniFileName) {
    lumo::trace::initializeIn(lumo::os::GetModuleDirectory(), iniFileName);
}

bool xtracing_enabled(int level) {
    if (g_sw.file == 0 && g_sw.view == 0) return false;
    return static_cast<unsigned>(level) < 5u && g_sw.level[level] != 0;
}

void xtracing_output_debug_string::operator()(const char* format, ...) const {
    if (!xtracing_enabled(m_level)) return;
    va_list args;
    va_start(args, format);
    const std::string text = lumo::trace::formatRecord(m_file, m_line, format, args);
    va_end(args);
    if (g_sw.view != 0) lumo::os::OutputDebugStringA(text.c_str());
    if (g_sw.file != 0 && g_logPath[0] != '\0') writeFileForm(lumo::trace::fileForm(text));
}
