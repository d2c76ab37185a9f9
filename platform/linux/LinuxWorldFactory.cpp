#include "platform/linux/LinuxWorldFactory.h"

#include "platform/EmptyWorld.h"

namespace lumo::os::linuxworld {
// Placeholder until the real Linux world lands.
std::shared_ptr<IDeviceWorld> makeLinuxWorld() { return makeEmptyWorld(); }
}  // namespace lumo::os::linuxworld
