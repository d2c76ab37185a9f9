#include "platform/linux/LinuxWorldFactory.h"

#include "platform/linux/LinuxWorld.h"

namespace lumo::os::linuxworld {
std::shared_ptr<IDeviceWorld> makeLinuxWorld() {
    return std::make_shared<CLinuxWorld>(LinuxWorldConfig{});
}
}  // namespace lumo::os::linuxworld
