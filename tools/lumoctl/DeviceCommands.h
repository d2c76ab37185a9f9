#pragma once
// lumoctl's own commands: list, reg, sensor, mcu, rom, wait, load, crc, reset, version.
#include <cstdint>
#include <functional>

namespace CLI {
class App;
}

// index and json are read when a command runs. Failures print "lumoctl: <reason>" on
// stderr and throw CLI::RuntimeError(1).
void addDeviceCommands(CLI::App& app, std::function<std::uint8_t()> index, std::function<bool()> json);
