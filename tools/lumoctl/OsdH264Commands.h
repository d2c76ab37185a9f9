#pragma once
// lumoctl's `osd` and `h264` commands (see OsdH264Commands.cpp for the grammar).
#include <cstdint>
#include <functional>

namespace CLI {
class App;
}

// index and json are called when a command runs, after parsing: hand in lambdas that read
// the host's --index and --json options. A failing command prints its reason on stderr and
// throws CLI::RuntimeError(1), which CLI::App::exit turns into exit status 1.
void addOsdH264Commands(CLI::App& app, std::function<std::uint8_t()> index, std::function<bool()> json);
