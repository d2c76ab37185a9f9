#include "platform/emu/EmuWorldFactory.h"

#include "platform/EmptyWorld.h"

namespace lumo::os::emu {
// Placeholder until the emulated world lands.
std::shared_ptr<IDeviceWorld> makeWorldFromLineFile(const std::string&) { return makeEmptyWorld(); }
}  // namespace lumo::os::emu
