// CLumoMPApp: LumoMP's start-up. Runs the window in the front end the command line and the
// session allow, and ends the program when the window closes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tool/console/ConsoleFrontEnd.h"

namespace {

void usage() {
    std::printf(
        "usage: LumoMP [--console] [--run]\n"
        "  --console  the window as text on this terminal (the default without a display)\n"
        "  --run      start \"Upgrade FW\" once the window is ready; exit 0 after \"Upgrade OK\",\n"
        "             1 after \"Upgrade FW Fail\", 2 when the run is refused\n");
}

}  // namespace

int main(int argc, char** argv) {
    lumo::tool::ConsoleOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--console") == 0) {
            // the only front end in this build; the windowed one is chosen elsewhere
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
    return lumo::tool::RunConsoleFrontEnd(options, stdin, stdout, isatty(STDOUT_FILENO) != 0);
}
