#include "common/trace/DEdura.h"
// Placeholder: the trace facility is off until its implementation lands.
void xtracing_initialize(const std::wstring&) {}
bool xtracing_enabled(int) { return false; }
void xtracing_output_debug_string::operator()(const char*, ...) const {}
