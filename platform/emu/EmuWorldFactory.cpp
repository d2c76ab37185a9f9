#include "platform/emu/EmuWorldFactory.h"

#include <cstdio>

#include "platform/EmptyWorld.h"
#include "platform/emu/EmuLineFollower.h"
#include "platform/emu/EmuWorld.h"

namespace lumo::os::emu {

std::shared_ptr<IDeviceWorld> makeWorldFromLineFile(const std::string& path) {
    std::string error;
    if (auto world = loadLineFile(path, &error)) return std::make_shared<EmuLineFollower>(std::move(world), path);
    std::fprintf(stderr, "LUMO_WORLD: %s\n", error.c_str());
    return makeEmptyWorld();
}

}  // namespace lumo::os::emu
