#pragma once
// DEdura, the trace facility. Each deliverable links its own copy (static library, hidden
// symbols), configured once at start-up from TvDbgCfg.ini beside the executable and the
// per-user registry key "DEdura".
//
// Call form at a call site:
//     XTRACE(0)("%s ===>", "CLumoCtrl::EnumDevs");
// The macro supplies file name, line and level, and a suppressed record costs the switch
// tests only: its arguments are not even evaluated. Formats are printf-style and may use
// the MSVC forms %ws / %S for wide (wchar_t) strings.
#include <string>

void xtracing_initialize(const std::wstring& iniFileName);

// True when a record of this level would go anywhere (started, an output on, level on).
bool xtracing_enabled(int level);

class xtracing_output_debug_string {
public:
    xtracing_output_debug_string(const wchar_t* sourceFile, int line, int level)
        : m_file(sourceFile), m_line(line), m_level(level) {}
    void operator()(const char* format, ...) const;

private:
    const wchar_t* m_file;
    int m_line;
    int m_level;
};

#define XTRACE_WIDEN2(x) L##x
#define XTRACE_WIDEN(x) XTRACE_WIDEN2(x)
#define XTRACE(level)               \
    if (!xtracing_enabled(level)) { \
    } else                          \
        xtracing_output_debug_string(XTRACE_WIDEN(__FILE__), __LINE__, (level))

// Separator lines of 59 characters that frame long operations.
#define XTRACE_LINE_EQ "==========================================================="
#define XTRACE_LINE_STAR "***********************************************************"
#define XTRACE_LINE_DASH "-----------------------------------------------------------"

#include <cstdint>
// The low 32 bits of an address, for the "0x%08X" records that name objects and handles.
inline unsigned xtracing_ptr(const void* p) {
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p));
}
