#pragma once
// An SPI NOR flash as it answers the controller: its identifier answers, the status register
// (busy, write-enable latch, block protect, status-write disable), erase with busy time and
// page program with NOR semantics (bits only go from 1 to 0).
#include <cstdint>
#include <vector>

#include "platform/emu/EmuFlashTable.h"
#include "platform/emu/EmuRomStore.h"

namespace lumo::os::emu {

struct Timings;

class EmuSpiFlash {
public:
    static constexpr std::uint8_t kBusy = 0x01, kWel = 0x02, kBpMask = 0x0C, kSrwd = 0x80;

    // chip: the table row the chip answers to; null for a chip the table does not know.
    EmuSpiFlash(const FlashChipRow* chip, EmuRomStore& store, const Timings& timings);

    // One SPI transaction: cmdLength command bytes out, then readLength bytes in.
    std::vector<std::uint8_t> transact(const std::uint8_t* cmd, std::size_t cmdLength, std::size_t readLength,
                                       bool wpHigh, std::uint64_t nowUs);

    // What the controller does on its own behalf.
    void writeEnable(std::uint64_t nowUs) { command(0x06, nullptr, 0, true, nowUs); }
    void writeDisable(std::uint64_t nowUs) { command(0x04, nullptr, 0, true, nowUs); }
    void writeStatus(std::uint8_t value, bool wpHigh, std::uint64_t nowUs);
    void chipErase(std::uint8_t opcode, std::uint64_t nowUs);
    // Page program of up to a page (the caller splits at page boundaries).
    void program(std::uint32_t address, const std::uint8_t* data, std::size_t length, std::uint64_t nowUs);
    void read(std::uint32_t address, std::uint8_t* out, std::size_t length) const;

    bool busy(std::uint64_t nowUs) const { return m_busyForever || nowUs < m_busyUntilUs; }
    std::uint64_t busyUntilUs() const { return m_busyUntilUs; }
    std::uint8_t status(std::uint64_t nowUs) const;
    void setStatus(std::uint8_t s);
    void setBusyForever(bool on) { m_busyForever = on; }
    void powerOn() {
        m_wel = false;
        m_ewsr = false;
    }
    std::uint32_t size() const { return m_store.size(); }
    bool addressProtected(std::uint32_t address) const;

private:
    void command(std::uint8_t opcode, const std::uint8_t* args, std::size_t argLength, bool wpHigh,
                 std::uint64_t nowUs);
    void erase(std::uint32_t first, std::uint32_t length, std::uint32_t timeUs, std::uint64_t nowUs);
    const FlashChipRow& commands() const { return m_chip ? *m_chip : defaultFlashRow(); }

    const FlashChipRow* m_chip;
    EmuRomStore& m_store;
    const Timings& m_timings;
    bool m_wel = false;
    bool m_ewsr = false;
    bool m_busyForever = false;
    std::uint64_t m_busyUntilUs = 0;
};

}  // namespace lumo::os::emu
