#pragma once
// errno of the Linux calls translated to the Win32-style errors the layer above reads.
#include <cstdint>

namespace lumo::os::linuxworld {

// codes the layer above does not name itself
inline constexpr std::uint32_t ERROR_SEM_TIMEOUT = 121;
inline constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t ERROR_BUSY = 170;
inline constexpr std::uint32_t ERROR_NOT_FOUND = 1168;
inline constexpr std::uint32_t ERROR_SET_NOT_FOUND = 1170;

// errno (positive) of an open() of a device node.
std::uint32_t openErrnoToError(int err);
// errno (positive) of an ioctl on an open node.
std::uint32_t ioctlErrnoToError(int err);

}  // namespace lumo::os::linuxworld
