#pragma once
// The process's executable: its full path (from /proc/self/exe) and its directory. Both
// deliverables take the directory of the executable, never that of the library.
#include <string>

namespace lumo::os {

// Full path of the executable, empty when it cannot be read.
std::string GetModuleFileName();
// Directory of the executable, ending in '/', empty when unknown.
std::string GetModuleDirectory();

}  // namespace lumo::os
