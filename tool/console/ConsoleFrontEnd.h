#pragma once
// The console front end of LumoMP: the window as text, driven by the operator's keys or, with
// --run, by itself. Exit code: that of the last click, 0 when every camera it served is OK
// (read back as written), 1 when any failed, 2 when it was refused (a message box, or no
// camera ready); 0 when the window closes without a click.
#include <cstdio>
#include <string>

namespace lumo::tool {

struct ConsoleOptions {
    bool run = false;         // start a run as soon as the window is ready, exit when it ends
    std::wstring modulePath;  // stands for the program's path when given (tests)
};

int RunConsoleFrontEnd(const ConsoleOptions& options, std::FILE* in, std::FILE* out, bool terminal);

}  // namespace lumo::tool
