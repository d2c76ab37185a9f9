#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorldFactory.h"
#include "platform/linux/LinuxWorldFactory.h"

namespace lumo::os {
namespace {

std::mutex g_worldMutex;
std::shared_ptr<IDeviceWorld> g_world;

std::shared_ptr<IDeviceWorld> chooseWorld() {
    const char* choice = std::getenv("LUMO_WORLD");
    if (choice && std::string(choice).rfind("emu:", 0) == 0)
        return emu::makeWorldFromLineFile(std::string(choice).substr(4));
    return linuxworld::makeLinuxWorld();
}

}  // namespace

IDeviceWorld& deviceWorld() {
    std::lock_guard lock(g_worldMutex);
    if (!g_world) g_world = chooseWorld();
    return *g_world;
}

void installDeviceWorld(std::shared_ptr<IDeviceWorld> world) {
    std::lock_guard lock(g_worldMutex);
    g_world = std::move(world);
}

}  // namespace lumo::os
