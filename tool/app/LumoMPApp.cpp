// CLumoMPApp: LumoMP's start-up. Runs the window in the front end the command line and the
// session allow, and ends the program when the window closes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tool/console/ConsoleFrontEnd.h"
#ifdef LUMO_HAVE_QT
#include "tool/qt/QtFrontEnd.h"
#endif

namespace {

void usage() {
    std::printf(
        "usage: LumoMP [--console] [--run] [--screenshot FILE]\n"
        "  --console          the window as text on this terminal (the default without a display)\n"
        "  --run              start \"Upgrade FW\" once the window is ready; exit 0 when every camera\n"
        "                     is OK (read back as written), 1 when any failed, 2 when the run is refused\n"
        "  --screenshot FILE  save a PNG of the window once it is ready and close it; with --run,\n"
        "                     again after the run (needs the window)\n");
}

}  // namespace

int main(int argc, char** argv) {
    lumo::tool::ConsoleOptions options;
    bool console = false;
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--console") == 0) {
            console = true;
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = argv[++i];
        } else if (std::strcmp(argv[i], "--run") == 0) {
            options.run = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "LumoMP: unknown argument %s\n", argv[i]);
            usage();
            return 2;
        }
    }
#ifdef LUMO_HAVE_QT
    if (!console && lumo::tool::QtDisplayAvailable()) {
        lumo::tool::QtOptions window;
        window.run = options.run;
        window.screenshot = screenshot;
        return lumo::tool::RunQtFrontEnd(window, argc, argv);
    }
#endif
    if (!screenshot.empty()) {
        std::fprintf(stderr, "LumoMP: --screenshot needs the window (a display, and a build with Qt)\n");
        return 2;
    }
    return lumo::tool::RunConsoleFrontEnd(options, stdin, stdout, isatty(STDOUT_FILENO) != 0);
}
