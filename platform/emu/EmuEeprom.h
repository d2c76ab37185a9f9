#pragma once
// An I2C EEPROM of 512 B to 32 KB. With two-byte addressing (mode 2) the part ignores the
// address bits above its size, so addresses beyond it alias onto it; with one-byte
// addressing (mode 1) only addresses inside the part answer. A write cycle takes time.
#include <cstdint>

#include "platform/emu/EmuRomStore.h"

namespace lumo::os::emu {

class EmuEeprom {
public:
    EmuEeprom(EmuRomStore& store, const std::uint32_t& writeCycleUs) : m_store(store), m_writeCycleUs(writeCycleUs) {}

    // mode 1 or 2; false when nothing answered (beyond the part in mode 1)
    bool read(int mode, std::uint16_t address, std::uint8_t* out, std::size_t length) const;
    void write(int mode, std::uint16_t address, const std::uint8_t* data, std::size_t length, bool writeProtect,
               std::uint64_t nowUs);
    void fill(std::uint8_t value, bool writeProtect, std::uint64_t nowUs);
    bool busy(std::uint64_t nowUs) const { return nowUs < m_busyUntilUs; }
    std::uint64_t busyUntilUs() const { return m_busyUntilUs; }

private:
    // Where one byte lands, or -1 when no part answers.
    long cell(int mode, std::uint32_t address) const;
    EmuRomStore& m_store;
    const std::uint32_t& m_writeCycleUs;
    std::uint64_t m_busyUntilUs = 0;
};

}  // namespace lumo::os::emu
