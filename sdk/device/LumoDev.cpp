// CLumoDev: construction, the sequence protocol, the memory-space primitives, the ROM
// write and the fixed single requests.
#include "sdk/device/LumoDev.h"

#include <algorithm>
#include <cstring>

#include "platform/Clock.h"
#include "sdk/device/TraceScope.h"

namespace {
constexpr std::uint8_t kFlagWrite = 0x80;
constexpr std::uint8_t kFlagLastPiece = 0xA0;  // write plus "commit the chunk"
constexpr std::uint8_t kFlagCode = 0x40;       // MCU code memory / whole-ROM erase
constexpr std::uint32_t kRomChunk = 32;
constexpr std::uint32_t kRomPiece = 8;
constexpr std::uint32_t kMaxSeqLength = 0xFFFF;
}  // namespace

CLumoDev::CLumoDev() {
    m_Backend = IcList()[0];
    XTRACE(0)("=== CLumoDev::CLumoDev ====");
}

CLumoDev::~CLumoDev() {
    XTRACE(0)("=== CLumoDev::~CLumoDev ====");
}

std::int32_t CLumoDev::XuGetSeqWrapper(std::uint8_t selector, std::uint8_t* block) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::XuGetSeqWrapper");
    std::uint32_t returned = 0;
    if (!SetExtensionProperty(selector, block, kSeqBlockSize, &returned)) {
        XTRACE(4)("XuGetSeqWrapper(0x%02X) Set FAILED.XXXXXXXXXX", selector);
        return 0;
    }
    if (!GetExtensionProperty(selector, block, kSeqBlockSize, &returned)) {
        XTRACE(4)("XuGetSeqWrapper(0x%02X) Get FAILED.XXXXXXXXXX", selector);
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::XuSetSeqWrapper(std::uint8_t selector, std::uint8_t* block) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::XuSetSeqWrapper");
    std::uint32_t returned = 0;
    if (!SetExtensionProperty(selector, block, kSeqBlockSize, &returned)) {
        XTRACE(4)("XuSetSeqWrapper(0x%02X) FAILED.XXXXXXXXXX", selector);
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::XuSeqContext(std::uint8_t selector, std::uint8_t flags, std::uint16_t address,
                                    std::uint32_t length, std::uint8_t* buffer) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::XuSeqContext");
    // The piece offset is 16 bits on the wire; a longer transfer could never finish, and an
    // empty one is nothing the caller meant to do.
    if (length == 0 || length > kMaxSeqLength || buffer == nullptr) {
        XTRACE(4)("XuSeqContext(0x%02X) length %u FAILED.XXXXXXXXXX", selector, length);
        return 0;
    }
    const std::uint32_t chunk = std::clamp<std::uint32_t>(m_bSeqChunkLen, 1, 32);
    std::uint32_t offset = 0;
    while (offset < length) {
        const std::uint32_t piece = std::min(length - offset, chunk);
        const std::uint16_t pieceAddr = static_cast<std::uint16_t>(address + offset);  // 16-bit wrap
        std::uint8_t block[kSeqBlockSize] = {};
        block[0] = static_cast<std::uint8_t>(piece | flags);
        block[1] = static_cast<std::uint8_t>(pieceAddr >> 8);
        block[2] = static_cast<std::uint8_t>(pieceAddr);
        if (flags & kFlagWrite) {
            std::memcpy(&block[kSeqDataOffset], buffer + offset, piece);
            if (!XuSetSeqWrapper(selector, block)) {
                XTRACE(4)("XuSeqContext(0x%02X) Set FAILED.XXXXXXXXXX", selector);
                return 0;
            }
        } else {
            if (!XuGetSeqWrapper(selector, block)) {
                XTRACE(4)("XuSeqContext(0x%02X) Get FAILED.XXXXXXXXXX", selector);
                return 0;
            }
            std::memcpy(buffer + offset, &block[kSeqDataOffset], piece);
        }
        offset += piece;
    }
    return 1;
}

// The sequence protocol only reads from a write buffer; the cast keeps one routine for
// both directions.
#define LUMO_SEQ_PRIMITIVE(Name, selector, flags, BufType)                                            \
    std::int32_t CLumoDev::Name(std::uint16_t address, std::uint32_t length, BufType buffer) {        \
        LUMO_TRACE_SCOPE(3, "CLumoDev::" #Name);                                                      \
        if (!XuSeqContext((selector), (flags), address, length, const_cast<std::uint8_t*>(buffer))) { \
            XTRACE(4)(#Name " FAILED.XXXXXXXXXX");                                                    \
            return 0;                                                                                 \
        }                                                                                             \
        return 1;                                                                                     \
    }

LUMO_SEQ_PRIMITIVE(XuExtRomRead, XU_CTRL_EXT_ROM, 0x00, std::uint8_t*)
LUMO_SEQ_PRIMITIVE(XuRegRead, XU_CTRL_REG, 0x00, std::uint8_t*)
LUMO_SEQ_PRIMITIVE(XuRegWrite, XU_CTRL_REG, kFlagWrite, const std::uint8_t*)
LUMO_SEQ_PRIMITIVE(XuSensorRegRead, XU_CTRL_SENSOR_REG, 0x00, std::uint8_t*)
LUMO_SEQ_PRIMITIVE(XuSensorRegWrite, XU_CTRL_SENSOR_REG, kFlagWrite, const std::uint8_t*)
LUMO_SEQ_PRIMITIVE(XuMcuDataRead, XU_CTRL_MCU, 0x00, std::uint8_t*)
LUMO_SEQ_PRIMITIVE(XuMcuDataWrite, XU_CTRL_MCU, kFlagWrite, const std::uint8_t*)
LUMO_SEQ_PRIMITIVE(XuMcuCodeRead, XU_CTRL_MCU, kFlagCode, std::uint8_t*)
#undef LUMO_SEQ_PRIMITIVE

std::int32_t CLumoDev::XuExtRomWrite(std::uint16_t address, std::uint32_t length, const std::uint8_t* data) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::XuExtRomWrite");
    // A range past 0xFFFF would wrap onto the start of the ROM (the boot code); refuse it
    // before anything is sent.
    // (Compared as a remainder: address + length would wrap in 32 bits for a huge length.)
    if (length == 0 || data == nullptr || length > 0x10000u - address) {
        XTRACE(4)("XuExtRomWrite FAILED.XXXXXXXXXX");
        return 0;
    }
    const bool eeprom = m_bExtRomType != kExtRomTypeSpi;
    const bool em = m_CtrlVer.HasEm();
    auto* src = const_cast<std::uint8_t*>(data);  // only read by the sequence protocol
    for (std::uint32_t done = 0; done < length; done += kRomChunk) {
        const std::uint32_t chunkLen = std::min(kRomChunk, length - done);
        const auto chunkAddr = static_cast<std::uint16_t>(address + done);
        if (eeprom) DelayMicroSeconds(1000.0f);  // the EEPROM's write cycle
        bool ok = true;
        if (em) {
            ok = XuSeqContext(XU_CTRL_EXT_ROM, kFlagWrite, chunkAddr, chunkLen, src + done) != 0;
        } else {
            // 8-byte pieces all to the chunk's address; the last one commits the chunk.
            std::uint32_t pieceOff = 0;
            while (ok && chunkLen - pieceOff > kRomPiece) {
                ok = XuSeqContext(XU_CTRL_EXT_ROM, kFlagWrite, chunkAddr, kRomPiece, src + done + pieceOff) != 0;
                pieceOff += kRomPiece;
            }
            if (ok && !eeprom) ok = XuSetWriteProtect(0) != 0;
            if (ok)
                ok = XuSeqContext(XU_CTRL_EXT_ROM, kFlagLastPiece, chunkAddr, chunkLen - pieceOff,
                                  src + done + pieceOff) != 0;
        }
        if (!ok) {
            XTRACE(4)("XuExtRomWrite FAILED.XXXXXXXXXX");
            return 0;
        }
    }
    return 1;
}

std::int32_t CLumoDev::XuExtRomErase() {
    LUMO_TRACE_SCOPE(3, "CLumoDev::XuExtRomErase");
    std::uint8_t block[kSeqBlockSize] = {};
    block[0] = kFlagCode;
    if (!XuSetSeqWrapper(XU_CTRL_EXT_ROM, block)) {
        XTRACE(4)("XuExtRomErase FAILED.XXXXXXXXXX");
        return 0;
    }
    return 1;
}

std::int32_t CLumoDev::XuSetSpiStatus(std::uint8_t bSpiStatus) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::XuSetSpiStatus");
    std::uint8_t block[kSeqBlockSize] = {};
    block[0] = kFlagWrite;
    block[kSeqDataOffset] = bSpiStatus;
    if (!XuSetSeqWrapper(XU_CTRL_SPI_STATUS, block)) {
        XTRACE(4)("XuSetSpiStatus FAILED.XXXXXXXXXX");
        return 0;
    }
    XTRACE(3)("Set bSpiStatus = 0x%02X", bSpiStatus);
    return 1;
}

std::int32_t CLumoDev::XuGetHwVer(std::uint8_t* pHwVer) {
    LUMO_TRACE_SCOPE(0, "CLumoDev::XuGetHwVer");
    std::uint32_t returned = 0;
    if (!GetExtensionProperty(XU_CTRL_HW_VER, pHwVer, 1, &returned)) {
        XTRACE(4)("XuGetHwVer FAILED.XXXXXXXXXX");
        return 0;
    }
    XTRACE(0)("*pHwVer = 0x%02X", *pHwVer);
    return 1;
}

std::int32_t CLumoDev::XuSetExtRomType(std::uint8_t bExtRomType) {
    LUMO_TRACE_SCOPE(0, "CLumoDev::XuSetExtRomType");
    std::uint32_t returned = 0;
    if (!SetExtensionProperty(XU_CTRL_EXT_ROM_TYPE, &bExtRomType, 1, &returned)) {
        XTRACE(4)("XuSetExtRomType FAILED.XXXXXXXXXX");
        return 0;
    }
    XTRACE(0)("Set bExtRomType = 0x%02X", bExtRomType);
    return 1;
}

namespace {
// A camera text of n bytes, cut at its first zero and never read beyond n.
std::string boundedText(const std::uint8_t* p, std::size_t n) {
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(p, 0, n));
    return std::string(reinterpret_cast<const char*>(p), end ? static_cast<std::size_t>(end - p) : n);
}
}  // namespace

std::int32_t CLumoDev::XuGetSetfileVer(std::uint8_t* pSetfileVer) {
    LUMO_TRACE_SCOPE(0, "CLumoDev::XuGetSetfileVer");
    std::uint32_t returned = 0;
    if (!GetExtensionProperty(XU_CTRL_SETFILE_VER, pSetfileVer, 12, &returned)) {
        XTRACE(4)("XuGetSetfileVer FAILED.XXXXXXXXXX");
        return 0;
    }
    XTRACE(0)("pSetfileVer = %s", boundedText(pSetfileVer, 12).c_str());
    return 1;
}

std::int32_t CLumoDev::XuGetIntFwVer(std::uint8_t* pIntFwVer) {
    LUMO_TRACE_SCOPE(0, "CLumoDev::XuGetIntFwVer");
    std::uint32_t returned = 0;
    if (!GetExtensionProperty(XU_CTRL_INT_FW_VER, pIntFwVer, 11, &returned)) {
        XTRACE(4)("XuGetIntFwVer FAILED.XXXXXXXXXX");
        return 0;
    }
    XTRACE(0)("pIntFwVer = %s", boundedText(pIntFwVer, 11).c_str());
    return 1;
}

std::int32_t CLumoDev::XuSetWriteProtect(std::uint8_t bWriteProtect) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::XuSetWriteProtect");
    std::uint32_t returned = 0;
    if (!SetExtensionProperty(XU_CTRL_WRITE_PROTECT, &bWriteProtect, 1, &returned)) {
        XTRACE(4)("XuSetWriteProtect FAILED.XXXXXXXXXX");
        return 0;
    }
    m_iLastWriteProtect = bWriteProtect;
    XTRACE(3)("Set bWriteProtect = 0x%02X", bWriteProtect);
    return 1;
}

std::int32_t CLumoDev::XuGetCtrlVer(std::uint8_t* pCtrlVer) {
    LUMO_TRACE_SCOPE(0, "CLumoDev::XuGetCtrlVer");
    std::uint32_t returned = 0;
    if (!GetExtensionProperty(XU_CTRL_VERSION, pCtrlVer, CtrlVerRecord::kWireSize, &returned)) {
        XTRACE(4)("XuGetCtrlVer FAILED.XXXXXXXXXX");
        return 0;
    }
    XTRACE(0)("sXuPrefix = %s", boundedText(pCtrlVer, 11).c_str());
    XTRACE(0)("wXuVer = %x", static_cast<unsigned>(pCtrlVer[2] | (pCtrlVer[3] << 8)));
    XTRACE(0)("sExMemPrefix = %s", boundedText(pCtrlVer + 4, 7).c_str());
    XTRACE(0)("wExMemVer = %x", static_cast<unsigned>(pCtrlVer[6] | (pCtrlVer[7] << 8)));
    return 1;
}

void CLumoDev::DelayMicroSeconds(float microSeconds) {
    LUMO_TRACE_SCOPE(3, "CLumoDev::DelayMicroSeconds");
    auto& clk = lumo::os::clock();
    const double target =
        static_cast<double>(microSeconds) * static_cast<double>(clk.QueryPerformanceFrequency()) / 1'000'000.0;
    const std::int64_t start = clk.QueryPerformanceCounter();
    if (target > 0.0) {
        // Spins on purpose: a sleep would round up to the scheduler's tick.
        while (static_cast<double>(clk.QueryPerformanceCounter() - start) < target) {
        }
    }
}
