#include "platform/emu/EmuEeprom.h"

#include <algorithm>

namespace lumo::os::emu {

long EmuEeprom::cell(int mode, std::uint32_t address) const {
    const std::uint32_t size = m_store.size();
    address &= 0xFFFF;
    if (mode == 2) return static_cast<long>(address % size);
    if (mode == 1) return address < size ? static_cast<long>(address) : -1;
    return -1;
}

bool EmuEeprom::read(int mode, std::uint16_t address, std::uint8_t* out, std::size_t length) const {
    bool answered = false;
    for (std::size_t i = 0; i < length; ++i) {
        const long c = cell(mode, address + static_cast<std::uint32_t>(i));
        out[i] = c < 0 ? 0xFF : m_store.bytes()[c];
        answered |= c >= 0;
    }
    return answered;
}

void EmuEeprom::write(int mode, std::uint16_t address, const std::uint8_t* data, std::size_t length, bool writeProtect,
                      std::uint64_t nowUs) {
    bool answered = false;
    for (std::size_t i = 0; i < length; ++i) {
        const long c = cell(mode, address + static_cast<std::uint32_t>(i));
        if (c < 0) continue;
        answered = true;
        if (!writeProtect) m_store.bytes()[c] = data[i];
    }
    if (answered) m_busyUntilUs = nowUs + m_writeCycleUs;  // a protected part still runs its cycle
}

void EmuEeprom::fill(std::uint8_t value, bool writeProtect, std::uint64_t nowUs) {
    if (!writeProtect) std::fill_n(m_store.bytes(), m_store.size(), value);
    m_busyUntilUs = nowUs + m_writeCycleUs;
}

}  // namespace lumo::os::emu
