#include "platform/emu/EmuH264.h"

namespace lumo::os::emu {

// Not modelled yet: every request fails.
bool EmuH264::set(std::uint8_t, const std::uint8_t*, std::uint32_t) { return false; }
bool EmuH264::get(std::uint8_t, std::uint8_t*, std::uint32_t) { return false; }

}  // namespace lumo::os::emu
