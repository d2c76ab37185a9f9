#pragma once
// The SPI flash chips a camera can carry: per chip its command set as the controller keeps
// it (bytes 0 to 10 at register 0x0A27) and its name.
#include <array>
#include <cstdint>
#include <string>

namespace lumo::os::emu {

struct FlashChipRow {
    std::uint8_t idFormat;  // bits 0-2 command length, bits 4-6 id bytes, bit 3 controller flag
    std::uint8_t chipErase, blockErase, sectorErase, readId;
    std::array<std::uint8_t, 3> id;
    std::array<std::uint8_t, 3> param;
    const char* name;

    std::uint8_t idCommandLength() const { return idFormat & 0x07; }
    std::uint8_t idLength() const { return (idFormat >> 4) & 0x07; }
    // The 11 command-set bytes of the controller.
    std::array<std::uint8_t, 11> commandSet() const;
};

inline constexpr std::size_t kFlashRowCount = 26;  // the last row is the default command set
const FlashChipRow& flashRow(std::size_t index);
// Row of the chip with this name (exact, any letter case), or null.
const FlashChipRow* findFlashRow(const std::string& name);
const FlashChipRow& defaultFlashRow();

}  // namespace lumo::os::emu
