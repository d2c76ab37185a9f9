#include "platform/emu/EmuSpiFlash.h"

#include <algorithm>

#include "platform/emu/EmuWorld.h"

namespace lumo::os::emu {
namespace {
constexpr std::uint32_t kSector = 4096;
constexpr std::uint8_t kUnknownChipId[3] = {0x5E, 0x40, 0x10};  // an id no table row names
}  // namespace

EmuSpiFlash::EmuSpiFlash(const FlashChipRow* chip, EmuRomStore& store, const Timings& timings)
    : m_chip(chip), m_store(store), m_timings(timings) {}

std::uint8_t EmuSpiFlash::status(std::uint64_t nowUs) const {
    std::uint8_t s = static_cast<std::uint8_t>(m_store.status() & 0xFC);
    if (m_wel) s |= kWel;
    if (busy(nowUs)) s |= kBusy;
    return s;
}

void EmuSpiFlash::setStatus(std::uint8_t s) {
    m_store.setStatus(static_cast<std::uint8_t>(s & 0xFC));
    m_wel = (s & kWel) != 0;
}

bool EmuSpiFlash::addressProtected(std::uint32_t address) const {
    // BP1:BP0 = 01 upper quarter, 10 upper half, 11 everything
    const std::uint32_t bp = (m_store.status() & kBpMask) >> 2;
    if (bp == 0) return false;
    const std::uint32_t size = m_store.size();
    const std::uint32_t protectedBytes = bp == 3 ? size : (bp == 2 ? size / 2 : size / 4);
    return address % size >= size - protectedBytes;
}

std::vector<std::uint8_t> EmuSpiFlash::transact(const std::uint8_t* cmd, std::size_t cmdLength, std::size_t readLength,
                                                bool wpHigh, std::uint64_t nowUs) {
    std::vector<std::uint8_t> in(readLength, 0x00);  // an undriven line reads 0
    if (cmdLength == 0) return in;
    const std::uint8_t op = cmd[0];
    if (op == 0x05) {  // status, repeated for every byte clocked in
        std::fill(in.begin(), in.end(), status(nowUs));
        return in;
    }
    if (busy(nowUs)) return in;  // a busy flash ignores everything but the status read
    const FlashChipRow& row = commands();
    if (m_chip && op == row.readId && cmdLength == row.idCommandLength()) {
        for (std::size_t i = 0; i < readLength && i < row.idLength(); ++i) in[i] = row.id[i];
        return in;
    }
    if (!m_chip && op == 0x9F && cmdLength == 1) {
        for (std::size_t i = 0; i < readLength && i < 3; ++i) in[i] = kUnknownChipId[i];
        return in;
    }
    if (op == 0x03 && cmdLength >= 4 && readLength > 0) {
        const std::uint32_t address = (std::uint32_t{cmd[1]} << 16) | (std::uint32_t{cmd[2]} << 8) | cmd[3];
        read(address, in.data(), readLength);
        return in;
    }
    if (readLength == 0) command(op, cmd + 1, cmdLength - 1, wpHigh, nowUs);
    return in;
}

void EmuSpiFlash::command(std::uint8_t op, const std::uint8_t* args, std::size_t argLength, bool wpHigh,
                          std::uint64_t nowUs) {
    if (busy(nowUs)) return;
    const FlashChipRow& row = commands();
    auto address = [&]() -> std::uint32_t {
        if (argLength < 3) return 0;
        return (std::uint32_t{args[0]} << 16) | (std::uint32_t{args[1]} << 8) | args[2];
    };
    switch (op) {
        case 0x06:
            m_wel = true;
            return;
        case 0x04:
            m_wel = false;
            m_ewsr = false;
            return;
        case 0x50:
            m_ewsr = true;
            return;  // leaves the latch as it is
        case 0x01:
            if (argLength >= 1) writeStatus(args[0], wpHigh, nowUs);
            return;
        case 0x02: {
            const bool wel = m_wel;
            m_wel = false;
            if (!wel || argLength < 3) return;
            // within one page the address wraps, as on the chip
            const std::uint32_t a = address() % m_store.size();
            for (std::size_t i = 3; i < argLength; ++i) {
                const std::uint32_t at = (a & ~0xFFu) | ((a + static_cast<std::uint32_t>(i - 3)) & 0xFF);
                if (!addressProtected(at)) m_store.bytes()[at] &= args[i];
            }
            m_busyUntilUs = nowUs + m_timings.pageProgramUs;
            return;
        }
        default:
            break;
    }
    if (argLength < 3 && op != row.chipErase) return;
    if (op == row.chipErase && argLength == 0) {
        chipErase(op, nowUs);
    } else if (row.sectorErase != 0 && op == row.sectorErase) {
        erase(address() / kSector * kSector, kSector, m_timings.sectorEraseUs, nowUs);
    } else if (op == row.blockErase) {
        const std::uint32_t block = op == 0x52 ? 0x8000 : 0x10000;
        erase(address() / block * block, block, m_timings.blockEraseUs, nowUs);
    }
    // any other opcode is not one this chip knows: nothing happens
}

void EmuSpiFlash::writeStatus(std::uint8_t value, bool wpHigh, std::uint64_t nowUs) {
    if (busy(nowUs)) return;
    const bool allowed = (m_wel || m_ewsr) && !((m_store.status() & kSrwd) && !wpHigh);
    if (allowed) m_store.setStatus(static_cast<std::uint8_t>(value & 0xFC));
    m_wel = false;
    m_ewsr = false;
}

void EmuSpiFlash::chipErase(std::uint8_t opcode, std::uint64_t nowUs) {
    if (busy(nowUs)) return;
    if (opcode != commands().chipErase) return;
    if ((m_store.status() & kBpMask) != 0) {  // any protected area refuses a chip erase
        m_wel = false;
        return;
    }
    erase(0, m_store.size(), m_timings.chipEraseUs, nowUs);
}

void EmuSpiFlash::erase(std::uint32_t first, std::uint32_t length, std::uint32_t timeUs, std::uint64_t nowUs) {
    const bool wel = m_wel;
    m_wel = false;
    if (!wel) return;
    first %= m_store.size();
    length = std::min(length, m_store.size() - first);
    for (std::uint32_t a = first; a < first + length; a += kSector)
        if (addressProtected(a)) return;
    std::fill_n(m_store.bytes() + first, length, 0xFF);
    m_busyUntilUs = nowUs + timeUs;
}

void EmuSpiFlash::program(std::uint32_t address, const std::uint8_t* data, std::size_t length, std::uint64_t nowUs) {
    if (busy(nowUs)) return;
    const bool wel = m_wel;
    m_wel = false;
    if (!wel) return;  // without the latch the program is ignored, not an error
    std::uint8_t* rom = m_store.bytes();
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t a = static_cast<std::uint32_t>((address + i) % m_store.size());
        if (!addressProtected(a)) rom[a] &= data[i];
    }
    m_busyUntilUs = nowUs + m_timings.pageProgramUs;
}

void EmuSpiFlash::read(std::uint32_t address, std::uint8_t* out, std::size_t length) const {
    const std::uint8_t* rom = m_store.bytes();
    for (std::size_t i = 0; i < length; ++i) out[i] = rom[(address + i) % m_store.size()];
}

}  // namespace lumo::os::emu
