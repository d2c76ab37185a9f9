#pragma once
// The windowed front end of LumoMP: the dialog under Qt Widgets, run modally.
// Exit codes as the console front end: that of the last click, 0 when every camera it served
// is OK, 1 when any failed, 2 when it was refused (with --run also when no camera is ready);
// 0 when the window closes without a click; 3 when a screenshot could not be saved.
#include <string>

namespace lumo::tool {

struct QtOptions {
    bool run = false;  // start a run as soon as the window is ready, close when it ends
    // PNG of the window once initialised, then closes; with run, saved again after the run.
    std::string screenshot;
    std::wstring modulePath;  // stands for the program's path when given (tests)
};

// A display to open the window on: DISPLAY or WAYLAND_DISPLAY set, or a Qt platform named.
bool QtDisplayAvailable();

int RunQtFrontEnd(const QtOptions& options, int& argc, char** argv);
// The window alone, in the running application (tests).
int RunQtWindow(const QtOptions& options);

}  // namespace lumo::tool
