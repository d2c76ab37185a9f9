// lumoctl [--index N] [--json] COMMAND ARGS: a host of the library's exports for the desk
// and for scripts. Numbers are hex, with or without 0x. Exit status 0 on success; otherwise
// non-zero with the reason on stderr.
#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

#include "sdk/LumoSDK.h"
#include "tools/lumoctl/DeviceCommands.h"
#include "tools/lumoctl/HexText.h"
#include "tools/lumoctl/OsdH264Commands.h"

int main(int argc, char** argv) {
    CLI::App app{
        "lumoctl: cameras of the Lumo controller family, through LumoSDK.\n"
        "Numbers are hex, with or without 0x. LUMO_WORLD=emu:<line file> selects an emulated line."};
    app.require_subcommand(1);
    std::string indexText = "0";
    bool json = false;
    app.add_option("--index", indexText, "camera index (hex, default 0)");
    app.add_flag("--json", json, "machine-readable output");
    auto index = [&]() -> std::uint8_t {
        auto v = lumoctl::ParseHexNumber(indexText, 0xFF);
        if (!v) {
            std::fprintf(stderr, "lumoctl: bad index \"%s\"\n", indexText.c_str());
            throw CLI::RuntimeError(1);
        }
        return static_cast<std::uint8_t>(*v);
    };
    auto asJson = [&] { return json; };
    addDeviceCommands(app, index, asJson);
    addOsdH264Commands(app, index, asJson);

    int status = 0;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        status = app.exit(e);
    }
    // Close every camera before the library goes.
    std::uint8_t count = 0;
    TAVIX_GetDevCount(&count);
    if (count) TAVIX_FreeDevs();
    return status;
}
