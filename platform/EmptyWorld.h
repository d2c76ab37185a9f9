#pragma once
// A world without devices: every enumeration is empty, every open fails. The fallback
// when a world cannot be built.
#include <memory>

#include "platform/DeviceWorld.h"

namespace lumo::os {
std::shared_ptr<IDeviceWorld> makeEmptyWorld();
}
