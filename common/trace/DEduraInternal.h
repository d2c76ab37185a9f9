#pragma once
// Inner pieces of the trace facility, for its tests and the log reader.
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumo::trace {

// Start-up with the executable's directory given (ending in '/'), as xtracing_initialize does
// with the real one.
void initializeIn(const std::string& exeDirectory, const std::wstring& iniFileName);
// Back to the state before start-up: every switch off, no path.
void reset();

struct Switches {
    std::int32_t file = 0;
    std::int32_t view = 0;
    std::int32_t level[5] = {0, 0, 0, 0, 0};
};
Switches switches();
std::string logFilePath();
// Points the file output elsewhere (tests reach a failing write through /dev/full).
void setLogFilePath(const std::string& path);

// The record text: prefix and message, each stage cut at 4095 characters. Formats may use %ws
// and %S for wide strings.
std::string formatRecord(const wchar_t* sourceFile, int line, const char* format, va_list args);
// The on-disk form of a record text (text.size() + 2 bytes).
std::string fileForm(std::string_view text);
// The printf form of a format in the MSVC dialect: %ws and %S become %ls.
std::string translateFormat(std::string_view format);

}  // namespace lumo::trace
