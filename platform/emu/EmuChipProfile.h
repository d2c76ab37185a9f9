#pragma once
// What a controller chip of the family shows: the signature its internal firmware version
// text carries and the bytes at MCU data addresses 0x20 and 0x28 that tell chips of one
// signature apart.
#include <cstdint>
#include <string>

namespace lumo::os::emu {

struct ChipProfile {
    const char* partNo;
    const char* signature;
    std::uint8_t mcu20;  // MCU data byte 0x20
    std::uint8_t mcu28;  // MCU data byte 0x28
};

// The profile of a part number (any letter case), or null ("other" and unknown names).
const ChipProfile* findChipProfile(const std::string& partNo);
// The 11-byte internal firmware version text of a chip: signature first, zero-terminated.
std::string defaultIntFwVer(const ChipProfile& chip);

}  // namespace lumo::os::emu
