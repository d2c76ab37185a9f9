// CLumoDev: the controller's SPI command engine, the flash busy wait, the GPIO line and
// the switching of the external ROM between protected and writable.
#include "platform/Clock.h"
#include "sdk/device/LumoDev.h"
#include "sdk/device/TraceScope.h"

namespace {
constexpr std::uint16_t kRegSpiBuffer = 0x0100;
constexpr std::uint16_t kRegSpiReadLen = 0x0046;
constexpr std::uint16_t kRegSpiCtrl = 0x0049;
constexpr std::uint8_t kSpiPrepare = 0x14;
constexpr std::uint8_t kSpiStartWrite = 0x35;
constexpr std::uint8_t kSpiStartRead = 0x37;
constexpr std::uint8_t kSpiFinish = 0x00;

// Bit 0 of 0x0049 clears within microseconds of a transaction's start. A controller that
// keeps it set is stuck; give up after 5 s of ticks, or after 20000 status reads when the
// tick counter does not move (a paused test clock): at one USB control transfer per read
// that is well beyond any real transaction either way.
constexpr std::uint32_t kSpiPollLimitMs = 5000;
constexpr std::uint32_t kSpiPollLimitReads = 20000;

constexpr std::uint8_t kStatusBusy = 0x01;
constexpr std::uint8_t kStatusBlockProtect = 0x0C;
constexpr std::uint8_t kStatusProtected = 0x8C;
}  // namespace

namespace {
// Polls the engine's control register until the transaction is over.
template <class Dev>
bool waitEngineIdle(Dev& dev, std::uint8_t lastValue) {
    const std::uint32_t start = lumo::os::GetTickCount();
    std::uint32_t reads = 0;
    std::uint8_t value = lastValue;
    while (value & 0x01) {
        if (lumo::os::GetTickCount() - start > kSpiPollLimitMs || reads >= kSpiPollLimitReads) {
            XTRACE(4)("SPI engine busy after %u reads.XXXXXXXXXX", reads);
            return false;
        }
        if (!dev.XuRegRead(kRegSpiCtrl, 1, &value)) return false;
        ++reads;
    }
    return true;
}
}  // namespace

std::int32_t CLumoDev::SpiCmdSet(const std::uint8_t* command, std::uint8_t length) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiCmdSet");
    const std::uint8_t prepare[3] = {kSpiPrepare, length, 0x01};
    const std::uint8_t start = kSpiStartWrite;
    const std::uint8_t finish = kSpiFinish;
    const bool ok = XuRegWrite(kRegSpiBuffer, length, command) && XuRegWrite(kRegSpiCtrl, 3, prepare) &&
                    XuRegWrite(kRegSpiCtrl, 1, &start) && waitEngineIdle(*this, start) &&
                    XuRegWrite(kRegSpiCtrl, 1, &finish);
    if (!ok) {
        XTRACE(4)("SpiCmdSet FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::SpiCmdGet(std::uint8_t* command, std::uint8_t cmdLength, std::uint8_t readLength) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiCmdGet");
    const std::uint8_t prepare[3] = {kSpiPrepare, cmdLength, 0x01};
    const std::uint8_t start = kSpiStartRead;
    const std::uint8_t finish = kSpiFinish;
    const bool ok = XuRegWrite(kRegSpiBuffer, cmdLength, command) && XuRegWrite(kRegSpiCtrl, 3, prepare) &&
                    XuRegWrite(kRegSpiReadLen, 1, &readLength) && XuRegWrite(kRegSpiCtrl, 1, &start) &&
                    waitEngineIdle(*this, start) && XuRegWrite(kRegSpiCtrl, 1, &finish) &&
                    XuRegRead(kRegSpiBuffer, readLength, command);
    if (!ok) {
        XTRACE(4)("SpiCmdGet FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::SpiWaitBusReady(std::uint32_t timeoutMs) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiWaitBusReady");
    const std::uint32_t start = lumo::os::GetTickCount();
    std::uint32_t elapsed = 0;
    bool ready = false;
    for (;;) {
        std::uint8_t cmd[8] = {0x05};
        if (!SpiCmdGet(cmd, 1, 1)) {
            XTRACE(4)("SpiWaitBusReady FAILED.XXXXXXXXXX");
            return 0;
        }
        if (!(cmd[0] & kStatusBusy)) {
            ready = true;
            break;
        }
        lumo::os::Sleep(3);
        elapsed = lumo::os::GetTickCount() - start;
        if (timeoutMs != 0 && elapsed >= timeoutMs) break;
    }
    if (ready) elapsed = lumo::os::GetTickCount() - start;
    // A flash still busy when the limit is reached has not become ready, however exactly the
    // limit was met.
    if (!ready || (timeoutMs != 0 && elapsed > timeoutMs)) {
        XTRACE(4)("TIMEOUT!!!:%d XXXXXXXXXX", static_cast<int>(elapsed));
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::SetGpio(std::uint8_t level) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SetGpio");
    auto modify = [this](std::uint16_t reg, std::uint8_t set, std::uint8_t clear) {
        std::uint8_t v = 0;
        if (!XuRegRead(reg, 1, &v)) return false;
        v = static_cast<std::uint8_t>((v | set) & ~clear);
        return XuRegWrite(reg, 1, &v) != 0;
    };
    const bool ok =
        modify(0x29, 0x80, 0) && modify(0x22, 0x01, 0) && (level ? modify(0x20, 0x01, 0) : modify(0x20, 0, 0x01));
    if (!ok) {
        XTRACE(4)("SetGpio FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::SpiBlockProtect(std::uint8_t protect) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::SpiBlockProtect");
    if (m_bExtRomType != kExtRomTypeSpi) {
        XTRACE(4)("SpiBlockProtect FAILED.XXXXXXXXXX");
        return 0;
    }
    bool confirmed = false;
    for (int attempt = 0; attempt < 5 && !confirmed; ++attempt) {
        const std::uint8_t wren = 0x06;
        const std::uint8_t ewsr = 0x50;
        const std::uint8_t wrsr[2] = {0x01, protect ? kStatusProtected : std::uint8_t{0x00}};
        std::uint8_t rdsr[8] = {0x05};
        bool ok = SpiCmdSet(&wren, 1);
        if (ok) lumo::os::Sleep(5);
        ok = ok && SpiCmdSet(&ewsr, 1);
        if (ok) lumo::os::Sleep(50);
        ok = ok && SpiCmdSet(wrsr, 2);
        if (ok) lumo::os::Sleep(5);
        ok = ok && SpiCmdGet(rdsr, 1, 1);
        if (!ok) {
            XTRACE(4)("SpiBlockProtect FAILED.XXXXXXXXXX");
            return 0;
        }
        lumo::os::Sleep(5);
        const std::uint8_t bp = rdsr[0] & kStatusBlockProtect;
        confirmed = protect ? bp == kStatusBlockProtect : bp == 0;
    }
    if (!confirmed) {
        if (!protect) {
            // A flash that stays protected silently ignores every program and erase that
            // follows: this is a failure.
            XTRACE(4)("SpiBlockProtect: protection not lifted.XXXXXXXXXX");
            return 0;
        }
        XTRACE(4)("SpiBlockProtect: flash did not confirm protection.XXXXXXXXXX");
    }
    return 1;
}

std::int32_t CLumoDev::ExtRomWriteEnable(std::int32_t enable) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::ExtRomWriteEnable");
    bool ok;
    if (m_bExtRomType == kExtRomTypeSpi && m_CtrlVer.HasEm()) {
        ok = enable ? XuSetWriteProtect(0) && XuSetSpiStatus(0x00)
                    : XuSetSpiStatus(kStatusProtected) && XuSetWriteProtect(1);
    } else if (m_bExtRomType == kExtRomTypeSpi) {
        ok = enable ? SetGpio(1) && SpiBlockProtect(0) : SpiBlockProtect(1) && SetGpio(0);
    } else {
        ok = XuSetWriteProtect(enable ? 0 : 1) != 0;
    }
    if (!ok) {
        XTRACE(4)("ExtRomWriteEnable FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}
