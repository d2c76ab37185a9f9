#pragma once
// The frame every export runs in. Checks, in this order, each failing with 0 before any
// device request:
//   C  the registry holds at least one device
//   I  the index is below the device count (implies C)
//   L  the length argument is not 0
//   H  the device's m_bH264Support is non-zero
// The frame keeps no state and writes no trace record; the caller's buffers go to the
// operation as they are.
//
// Use:
//   return lumo::frame::withDevice<lumo::frame::I | lumo::frame::L>(index, length,
//       [&](CLumoDev& dev) { return dev.XuRegRead(addr, length, buf); });
//   return lumo::frame::withRegistry([&](CLumoCtrl& ctrl) { ... });   // check C alone
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/LumoCtrl.h"

namespace lumo::frame {

inline constexpr unsigned C = 1u;
inline constexpr unsigned I = 2u;
inline constexpr unsigned L = 4u;
inline constexpr unsigned H = 8u;

namespace detail {

// Resolved when an export instantiates the frame, where the device type is complete.
template <class Dev>
bool hasH264(const Dev& dev) {
    return dev.m_bH264Support != 0;
}

template <class Fn, class Arg>
std::int32_t invoke(Fn& fn, Arg& arg) {
    if constexpr (std::is_void_v<std::invoke_result_t<Fn&, Arg&>>) {
        fn(arg);
        return 1;
    } else {
        return static_cast<std::int32_t>(fn(arg));
    }
}

}  // namespace detail

// The checks against any registry-shaped pair (array, count). Returns the device at index,
// or null when a check fails. Also refuses an index past the array itself, so a count that
// ever disagreed with the array could not reach outside it.
template <unsigned Checks, class Dev>
Dev* checkedDevice(const std::vector<Dev*>& devs, std::int32_t count, std::uint8_t index, std::uint32_t length = 1) {
    static_assert((Checks & I) != 0, "a device check needs I");
    if (count <= 0) return nullptr;                                 // C
    if (static_cast<std::int32_t>(index) >= count) return nullptr;  // I
    if (index >= devs.size() || devs[index] == nullptr) return nullptr;
    if constexpr ((Checks & L) != 0) {
        if (length == 0) return nullptr;  // L
    }
    if constexpr ((Checks & H) != 0) {
        if (!detail::hasH264(*devs[index])) return nullptr;  // H
    }
    return devs[index];
}

// Runs fn(device) after the checks and hands its result back (1 for a void fn); 0 on a
// failed check.
template <unsigned Checks, class Fn>
std::int32_t withDevice(std::uint8_t index, std::uint32_t length, Fn&& fn) {
    static_assert((Checks & L) != 0, "a length is passed only with check L");
    CLumoCtrl& ctrl = CLumoCtrl::Instance();
    auto* dev = checkedDevice<Checks>(ctrl.m_oDevs, ctrl.m_nDevCount, index, length);
    if (dev == nullptr) return 0;
    return detail::invoke(fn, *dev);
}

template <unsigned Checks, class Fn>
std::int32_t withDevice(std::uint8_t index, Fn&& fn) {
    static_assert((Checks & L) == 0, "check L needs the length argument");
    CLumoCtrl& ctrl = CLumoCtrl::Instance();
    auto* dev = checkedDevice<Checks>(ctrl.m_oDevs, ctrl.m_nDevCount, index);
    if (dev == nullptr) return 0;
    return detail::invoke(fn, *dev);
}

// Check C alone, for the exports that take no index.
inline bool registryHasDevices() {
    return CLumoCtrl::Instance().m_nDevCount > 0;
}

template <class Fn>
std::int32_t withRegistry(Fn&& fn) {
    if (!registryHasDevices()) return 0;
    return detail::invoke(fn, CLumoCtrl::Instance());
}

}  // namespace lumo::frame
