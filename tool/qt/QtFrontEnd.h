#pragma once
// The windowed front end of LumoMP: the dialog under Qt Widgets, run modally.
// Exit codes as the console front end: with --run 0 after "Upgrade OK", 1 after
// "Upgrade FW Fail", 2 after a refused run; 0 when the operator closes the window; 3 when a
// screenshot could not be saved.
#include <string>

namespace lumo::tool {

struct QtOptions {
    bool run = false;  // start a run as soon as the window is ready, close when it ends
    // PNG of the window once initialised, then closes; with run, saved again after the run.
    std::string screenshot;
};

// A display to open the window on: DISPLAY or WAYLAND_DISPLAY set, or a Qt platform named.
bool QtDisplayAvailable();

int RunQtFrontEnd(const QtOptions& options, int& argc, char** argv);

}  // namespace lumo::tool
