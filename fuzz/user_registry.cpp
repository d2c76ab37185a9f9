// The per-user registry file: read for the trace's key "DEdura" directly and through the
// trace's start-up, which takes its switches from it.
#include <cstdlib>
#include <filesystem>

#include "common/trace/DEduraInternal.h"
#include "fuzz/FuzzSupport.h"
#include "platform/UserRegistry.h"

namespace lumo::fuzz::user_registry {

int lumoFuzzOne(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        std::filesystem::create_directories(scratchDir() + "/config/lumo");
        return true;
    }();
    (void)ready;
    ByteReader in(data, size);
    const std::string path = writeScratchFile("config/lumo/registry.reg", in.rest());
    ::setenv("XDG_CONFIG_HOME", (scratchDir() + "/config").c_str(), 1);
    LUMO_FUZZ_CHECK(lumo::os::UserRegistryPath() == path);

    // No check on a value's length: hex(N): gives any type any bytes.
    if (const auto key = lumo::os::RegOpenUserKeyFrom(path, L"DEdura")) {
        for (const wchar_t* name : {L"LOGFILE", L"VIEW", L"LEVEL_0", L"LEVEL_1", L"LEVEL_2", L"LEVEL_3", L"LEVEL_X"})
            (void)lumo::os::RegQueryValue(*key, name);
    }
    lumo::trace::initializeIn(scratchDir() + "/", L"");
    lumo::trace::reset();
    return 0;
}

}  // namespace lumo::fuzz::user_registry

LUMO_FUZZ_TARGET(user_registry)
