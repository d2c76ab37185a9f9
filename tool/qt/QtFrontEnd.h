#pragma once
// The windowed front end of LumoMP: the dialog under Qt Widgets, run modally.
// Exit codes as the console front end: with --run 0 after "Upgrade OK", 1 after
// "Upgrade FW Fail", 2 after a refused run; 0 when the operator closes the window; 3 when a
// screenshot could not be saved.
#include <string>

namespace lumo::tool {

struct QtOptions {
    bool run = false;        // start a run as soon as the window is ready, close when it ends
    std::string screenshot;  // PNG of the window once initialised, again after the run (--run)
};

// A display to open the window on: DISPLAY or WAYLAND_DISPLAY set, or a Qt platform named.
bool QtDisplayAvailable();

int RunQtFrontEnd(const QtOptions& options, int& argc, char** argv);

}  // namespace lumo::tool
