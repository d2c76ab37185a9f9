#pragma once
// Units of a camera's VideoControl interface, read from the raw USB descriptors that sysfs
// shows (the device descriptor followed by the configuration descriptors).
#include <cstdint>
#include <vector>

#include "platform/Guid.h"

namespace lumo::os::linuxworld {

enum class UvcUnitKind : std::uint8_t { Selector, Processing, Extension, Encoding };

struct UvcUnit {
    UvcUnitKind kind = UvcUnitKind::Extension;
    std::uint8_t unitId = 0;
    Guid guidExtensionCode;  // extension units only
};

// The units of the VideoControl interface with this interface number in the first
// configuration, in descriptor order. Defensive: a descriptor shorter than 2 bytes or
// longer than what is left stops the walk; a unit descriptor too short for what it
// claims to hold is skipped. Nothing is read out of bounds.
std::vector<UvcUnit> parseVideoControlUnits(const std::uint8_t* bytes, std::size_t size, int interfaceNumber);
inline std::vector<UvcUnit> parseVideoControlUnits(const std::vector<std::uint8_t>& bytes, int interfaceNumber) {
    return parseVideoControlUnits(bytes.data(), bytes.size(), interfaceNumber);
}

}  // namespace lumo::os::linuxworld
