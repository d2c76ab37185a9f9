#include "platform/emu/EmuOsd.h"

namespace lumo::os::emu {

// Not modelled yet: every request fails.
bool EmuOsd::set(const std::uint8_t*, std::uint32_t) { return false; }
bool EmuOsd::get(std::uint8_t*, std::uint32_t) { return false; }

}  // namespace lumo::os::emu
