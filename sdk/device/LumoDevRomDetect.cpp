// CLumoDev: external ROM detection (firmware header, EEPROM probe, SPI flash identity)
// and loading the flash command set into the controller.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "sdk/device/LumoDev.h"
#include "sdk/device/SpiFlashTable.h"
#include "sdk/device/TraceScope.h"

namespace {

struct EepromCandidate {
    std::uint32_t size;
    std::uint16_t testAddr;
    int mode;
    std::uint8_t type;
};
constexpr EepromCandidate kCandidates[] = {
    {0x0200, 0x0200, 1, 0x10}, {0x0400, 0x0400, 1, 0x10}, {0x0800, 0x0800, 1, 0x10}, {0x1000, 0x1000, 2, 0x20},
    {0x2000, 0x2000, 2, 0x20}, {0x4000, 0x4000, 2, 0x20}, {0x8000, 0x8000, 2, 0x20},
};
constexpr std::uint8_t kPatternA[8] = {0x55, 0xAA, 0xFF, 0x38, 0x31, 0x21, 0x0B, 0x61};
constexpr std::uint8_t kPatternB[8] = {0x64, 0x9B, 0xEE, 0x49, 0x20, 0x12, 0x1A, 0x72};

bool fwTextHas(const std::array<char, 11>& fw, const char* two) {
    std::size_t end = 0;
    while (end < fw.size() && fw[end] != 0) ++end;
    return std::string_view(fw.data(), end).find(two) != std::string_view::npos;
}

// ROM content saved before one probe write, so the probe can put it back.
struct SavedBytes {
    std::uint16_t addr;
    std::uint8_t bytes[8];
};

}  // namespace

std::int32_t CLumoDev::SetExtRomType() {
    if (!XuSetExtRomType(m_bExtRomType)) {
        XTRACE(4)("SetExtRomType FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::EEPROMDetect(bool* pRequestFailed) {
    LUMO_TRACE_SCOPE(0, "CLumoDev::EEPROMDetect");
    if (pRequestFailed) *pRequestFailed = false;
    // The probe writes into a ROM that may hold firmware. Each address is read before the
    // candidate's first write (a small part aliases the test address onto address 0, which
    // pattern A would already have changed) and everything is written back in reverse order,
    // so the earliest saved content of every cell is what remains.
    std::vector<SavedBytes> saved;
    auto restore = [this, &saved]() {
        bool ok = true;
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            ok = XuExtRomWrite(it->addr, sizeof it->bytes, it->bytes) && ok;
        saved.clear();
        return ok;
    };
    auto fail = [&]() {
        XTRACE(4)("EEPROMDetect FAILED.XXXXXXXXXX");
        if (pRequestFailed) *pRequestFailed = true;
        restore();  // best effort: put back what can still be put back
        return 0;
    };

    if (!SetGpio(0) || !XuSetWriteProtect(0)) return fail();

    const std::uint16_t clearReg =
        (fwTextHas(m_szIntFwVer, "ED") || fwTextHas(m_szIntFwVer, "CK") || fwTextHas(m_szIntFwVer, "K2")) ? 0x084C
                                                                                                          : 0x08C0;
    const std::uint8_t zeros[8] = {};
    auto clearAreas = [&]() { return XuRegWrite(clearReg, 8, zeros) && XuRegWrite(0x0100, 8, zeros); };

    for (const EepromCandidate& c : kCandidates) {
        m_dwRomSize = c.size;
        m_bExtRomType = c.type;
        if (!SetExtRomType()) return fail();

        SavedBytes at0{0, {}}, atTest{c.testAddr, {}};
        if (!XuExtRomRead(0, 8, at0.bytes) || !XuExtRomRead(c.testAddr, 8, atTest.bytes)) return fail();
        saved.push_back(at0);
        if (!XuExtRomWrite(0, 8, kPatternA)) return fail();
        saved.push_back(atTest);
        if (!XuExtRomWrite(c.testAddr, 8, kPatternB)) return fail();

        std::uint8_t read0[8], readTest[8];
        std::memset(read0, 0xFF, sizeof read0);
        std::memset(readTest, 0xFF, sizeof readTest);
        if (!clearAreas() || !XuExtRomRead(0, 8, read0)) return fail();
        if (!clearAreas() || !XuExtRomRead(c.testAddr, 8, readTest)) return fail();

        const bool aAt0 = std::memcmp(read0, kPatternA, 8) == 0;
        const bool bAtTest = std::memcmp(readTest, kPatternB, 8) == 0;
        const bool found = c.mode == 1 ? (aAt0 && !bAtTest) : (!aAt0 && bAtTest);
        if (found) {
            if (!restore()) return fail();
            if (!XuSetWriteProtect(1) || !SetGpio(1)) return fail();
            XTRACE(0)("m_dwRomSize = %d", static_cast<int>(m_dwRomSize));
            return 1;
        }
    }
    // Not an EEPROM of any listed size; the ROM stays writable for the SPI path.
    if (!restore()) return fail();
    return 0;
}

std::int32_t CLumoDev::SpiFlashGetId(const SpiFlashDesc& row, std::uint8_t* id3) {
    std::uint8_t cmd[8] = {row.bReadIdCmd};
    const std::uint8_t cmdLen = row.CmdLength();
    const std::uint8_t readLen = std::min<std::uint8_t>(row.IdLength(), 3);
    if (!SpiCmdGet(cmd, cmdLen, readLen)) {
        XTRACE(4)("SpiFlashGetId FAILED.XXXXXXXXXX");
        return 0;
    }
    std::memcpy(id3, cmd, readLen);
    return 1;
}

std::int32_t CLumoDev::SpiFlashDetect(bool* pRequestFailed) {
    if (pRequestFailed) *pRequestFailed = false;
    const auto& table = SpiFlashTable();
    for (const SpiFlashDesc& row : table) {
        std::uint8_t id[3] = {};
        if (!SpiFlashGetId(row, id)) {
            XTRACE(4)("SpiFlashDetect FAILED.XXXXXXXXXX");
            m_SpiFlash = table[kSpiFlashDefaultRow];
            if (pRequestFailed) *pRequestFailed = true;
            return 0;
        }
        const std::size_t n = std::min<std::size_t>(row.IdLength(), 3);
        if (std::memcmp(id, row.abId.data(), n) == 0) {
            m_SpiFlash = row;
            XTRACE(0)("SPI Device Name = %S", row.NameW().c_str());
            return 1;
        }
    }
    m_SpiFlash = table[kSpiFlashDefaultRow];
    XTRACE(0)("Not support or not have SPI flash XXXXXXXXXX");
    return 0;
}

std::int32_t CLumoDev::SpiInitCommandSet() {
    LUMO_TRACE_SCOPE(0, "CLumoDev::SpiInitCommandSet");
    if (m_SpiFlash.bIdFormat == 0 && m_SpiFlash.bReadIdCmd == 0 && m_SpiFlash.bChipEraseCmd == 0) {
        XTRACE(4)("SpiInitCommandSet FAILED.XXXXXXXXXX");
        return 0;
    }
    if (fwTextHas(m_szIntFwVer, "ED") || fwTextHas(m_szIntFwVer, "CK")) return 1;
    const auto reg = m_SpiFlash.regBytes();
    if (!XuRegWrite(0x0A27, static_cast<std::uint32_t>(reg.size()), reg.data())) {
        XTRACE(4)("SpiInitCommandSet FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::QueryExtRomType() {
    XTRACE(0)("%s ===>", "CLumoDev::QueryExtRomType");
    auto finish = [this](std::int32_t ok) {
        if (ok) {
            XTRACE(0)("QueryExtRomType() Success.");
        } else {
            // Whatever a probe left in the size is no finding; size 0 says "no ROM known".
            m_dwRomSize = 0;
            XTRACE(4)("QueryExtRomType() FAILED.XXXXXXXXXX");
        }
        XTRACE(0)("%s <===", "CLumoDev::QueryExtRomType");
        return ok;
    };

    if (m_bBackendValid == 1) {
        ExFwHeader hdr;
        if (!XuExtRomRead(ExFwHeader::kRomAddress, ExFwHeader::kSize, hdr.bytes.data())) {
            XTRACE(4)("XuExtRomRead(EX_FW_HEADER) FAILED.XXXXXXXXXX");
            return finish(0);
        }
        if (hdr.Signature0() == static_cast<std::uint8_t>(m_Backend.szSignature[0]) &&
            hdr.Signature1() == static_cast<std::uint8_t>(m_Backend.szSignature[1])) {
            m_dwRomSize = hdr.RomSize();
            XTRACE(0)("m_dwRomSize = 0x%02X", m_dwRomSize);
            if (hdr.TextContains("ED") || hdr.TextContains("AX")) {
                m_dwRomSize = hdr.RomSizeAlt();
                XTRACE(0)("m_dwRomSize = 0x%02X", m_dwRomSize);
            }
            if (m_dwRomSize == 0x10000) {
                m_bExtRomType = kExtRomTypeSpi;
                std::uint8_t reg[SpiFlashDesc::kRegSize] = {};
                if (!XuRegRead(0x0A27, sizeof reg, reg)) return finish(0);
                m_SpiFlash.setRegBytes(reg);
                return finish(1);
            }
            m_bExtRomType = static_cast<std::uint8_t>(m_dwRomSize / 128);
            return finish(1);
        }
    }

    // A request lost during either probe ends the detection: taken as "no EEPROM" or as an
    // unknown flash, it would describe a ROM nobody looked at.
    bool requestFailed = false;
    if (EEPROMDetect(&requestFailed)) return finish(1);
    if (requestFailed) return finish(0);

    if (SpiFlashDetect(&requestFailed)) {
        XTRACE(0)("SpiFlashDetect() Success, Set SPI Flash CMD.");
    } else if (requestFailed) {
        return finish(0);
    } else {
        XTRACE(4)("SpiFlashDetect() FAILED, Set defult SPI Flash CMD.XXXXXXXXXX");
    }
    if (!SpiInitCommandSet()) {
        XTRACE(4)("SpiInitCommandSet() FAILED.XXXXXXXXXX");
        return finish(0);
    }
    m_dwRomSize = 0x10000;
    m_bExtRomType = kExtRomTypeSpi;
    XTRACE(0)("m_dwRomSize = %d", static_cast<int>(m_dwRomSize));
    return finish(1);
}
