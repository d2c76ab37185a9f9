#pragma once
#include <memory>
#include <string>

#include "platform/DeviceWorld.h"

namespace lumo::os::emu {
// The emulated world described by a line file. A file that cannot be read or parsed gives a
// world without cameras, after a clear message on stderr naming the file and line.
std::shared_ptr<IDeviceWorld> makeWorldFromLineFile(const std::string& path);
}  // namespace lumo::os::emu
