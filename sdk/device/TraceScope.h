#pragma once
// Entry and exit records of one operation: "%s ===>" now, "%s <===" when the scope ends.
#include "common/trace/DEdura.h"

class TraceScope {
public:
    TraceScope(int level, const char* name, const wchar_t* file, int line)
        : m_level(level), m_name(name), m_file(file), m_line(line) {
        if (xtracing_enabled(m_level)) xtracing_output_debug_string(m_file, m_line, m_level)("%s ===>", m_name);
    }
    ~TraceScope() {
        if (xtracing_enabled(m_level)) xtracing_output_debug_string(m_file, m_line, m_level)("%s <===", m_name);
    }
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    int m_level;
    const char* m_name;
    const wchar_t* m_file;
    int m_line;
};

#define LUMO_TRACE_SCOPE(level, name) TraceScope lumoTraceScope_((level), (name), XTRACE_WIDEN(__FILE__), __LINE__)
