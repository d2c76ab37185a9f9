#include "platform/emu/EmuChipProfile.h"

#include <cctype>

namespace lumo::os::emu {
namespace {

// Probe bytes chosen so that each chip passes its own row's probes and fails every
// earlier row of the same signature.
constexpr ChipProfile kChips[] = {
    {"QT7310", "AX", 0x00, 0x00}, {"QT7420", "ED", 0x00, 0x00},  {"QT7421", "ED", 0x00, 0x04},
    {"QT7312", "ED", 0x00, 0x02}, {"QR7680", "AD", 0x00, 0x00},  {"QT7211", "CK", 0x20, 0x00},
    {"QT7233", "CK", 0x00, 0x00}, {"QT7733", "CK", 0x00, 0x04},  {"QT7211L", "K2", 0x00, 0x00},
    {"QT7266", "CA", 0x00, 0x00}, {"QT7222L", "CA", 0x20, 0x00}, {"QT7844", "CG", 0x00, 0x00},
    {"QR7944", "CE", 0x20, 0x00}, {"QR7288", "CE", 0x00, 0x00},
};

}  // namespace

const ChipProfile* findChipProfile(const std::string& partNo) {
    for (const auto& chip : kChips) {
        std::string p = chip.partNo;
        if (p.size() != partNo.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < p.size() && same; ++i)
            same = std::toupper(static_cast<unsigned char>(partNo[i])) == p[i];
        if (same) return &chip;
    }
    return nullptr;
}

std::string defaultIntFwVer(const ChipProfile& chip) {
    // "ED-21.0105": no second signature may appear in the text
    return std::string(chip.signature) + "-21.0105";
}

}  // namespace lumo::os::emu
