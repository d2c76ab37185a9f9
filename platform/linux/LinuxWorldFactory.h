#pragma once
#include <memory>

#include "platform/DeviceWorld.h"

namespace lumo::os::linuxworld {
// The real Linux world: sysfs, uvcvideo extension-unit I/O, V4L2 controls, udev hot-plug.
std::shared_ptr<IDeviceWorld> makeLinuxWorld();
}  // namespace lumo::os::linuxworld
