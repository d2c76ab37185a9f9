// CLumoDev: whole-ROM erase and SPI sector and block erase.
#include "sdk/device/LumoDev.h"
#include "sdk/device/TraceScope.h"

namespace {
constexpr std::uint32_t kEraseStep = 4096;
constexpr std::uint32_t kIndexLimit = 0x10000 / kEraseStep;  // 16: the 64 KB address space
constexpr std::uint32_t kEraseWaitMs = 1000;
}  // namespace

std::int32_t CLumoDev::SpiCmdChipErase() {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiCmdChipErase");
    // Put back the protection this object last set rather than forcing it on: on an EEPROM
    // that control blocks the writes of the image that follows the erase.
    const std::uint8_t restoreTo = m_iLastWriteProtect < 0 ? 1 : static_cast<std::uint8_t>(m_iLastWriteProtect);
    if (!XuSetWriteProtect(0) || !XuExtRomErase() || !XuSetWriteProtect(restoreTo)) {
        XTRACE(4)("SpiCmdChipErase FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::SpiCmdErase(std::uint8_t opcode, std::uint16_t address) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiCmdErase");
    // Opcode 0x00 is "no such command" (a chip without sector erase): sending it erases
    // nothing and the program that follows would land on old content.
    if (opcode == 0x00) {
        XTRACE(4)("SpiCmdErase: no erase opcode.XXXXXXXXXX");
        XTRACE(4)("SpiCmdErase FAILED.XXXXXXXXXX");
        return 0;
    }
    const std::uint8_t wren = 0x06;
    const std::uint8_t erase[4] = {opcode, 0x00, static_cast<std::uint8_t>(address >> 8),
                                   static_cast<std::uint8_t>(address)};
    const std::uint8_t wrdi = 0x04;
    if (!SpiCmdSet(&wren, 1) || !SpiCmdSet(erase, 4) || !SpiWaitBusReady(kEraseWaitMs) || !SpiCmdSet(&wrdi, 1)) {
        XTRACE(4)("SpiCmdErase FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}

namespace {
// An index or address beyond the 64 KB space would wrap onto other ROM addresses.
bool eraseTargetOk(std::uint32_t address) {
    return address < 0x10000;
}
}  // namespace

std::int32_t CLumoDev::SpiCmdSectorErase(std::uint8_t index) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiCmdSectorErase");
    if (index >= kIndexLimit) {
        XTRACE(4)("SpiCmdSectorErase(%u) out of range.XXXXXXXXXX", static_cast<unsigned>(index));
        return 0;
    }
    return SpiCmdErase(m_SpiFlash.bSectorEraseCmd, static_cast<std::uint16_t>(index * kEraseStep));
}

std::int32_t CLumoDev::SpiCmdSectorErase(std::uint32_t address) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiCmdSectorErase");
    if (!eraseTargetOk(address)) {
        XTRACE(4)("SpiCmdSectorErase(0x%X) out of range.XXXXXXXXXX", address);
        return 0;
    }
    return SpiCmdErase(m_SpiFlash.bSectorEraseCmd, static_cast<std::uint16_t>(address));
}

std::int32_t CLumoDev::SpiCmdBlockErase(std::uint8_t index) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiCmdBlockErase");
    if (index >= kIndexLimit) {
        XTRACE(4)("SpiCmdBlockErase(%u) out of range.XXXXXXXXXX", static_cast<unsigned>(index));
        return 0;
    }
    return SpiCmdErase(m_SpiFlash.bBlockEraseCmd, static_cast<std::uint16_t>(index * kEraseStep));
}

std::int32_t CLumoDev::SpiCmdBlockErase(std::uint32_t address) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiCmdBlockErase");
    if (!eraseTargetOk(address)) {
        XTRACE(4)("SpiCmdBlockErase(0x%X) out of range.XXXXXXXXXX", address);
        return 0;
    }
    return SpiCmdErase(m_SpiFlash.bBlockEraseCmd, static_cast<std::uint16_t>(address));
}
