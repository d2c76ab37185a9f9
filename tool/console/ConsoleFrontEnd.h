#pragma once
// The console front end of LumoMP: the window as text, driven by the operator's keys or, with
// --run, by itself. Exit codes: 0 after "Upgrade OK", 1 after "Upgrade FW Fail", 2 after a
// refused run (a message box, or no camera ready), 0 when the operator closes the window.
#include <cstdio>

namespace lumo::tool {

struct ConsoleOptions {
    bool run = false;  // start a run as soon as the window is ready, exit when it ends
};

int RunConsoleFrontEnd(const ConsoleOptions& options, std::FILE* in, std::FILE* out, bool terminal);

}  // namespace lumo::tool
