#pragma once
// CLumoDev: the camera device object. Adds to the transport what the command layer learns
// about the camera (chip, versions, ROM kind and size, SPI flash command set) and every
// command the library sends, each built from CUvcDev's four get/set operations.
#include <array>
#include <cstddef>
#include <cstdint>

#include "sdk/device/CtrlVerRecord.h"
#include "sdk/device/ExFwHeader.h"
#include "sdk/device/IcList.h"
#include "sdk/device/SpiFlashDesc.h"
#include "sdk/uvc/UvcDev.h"

// Vendor extension-unit control selectors.
enum : std::uint8_t {
    XU_CTRL_EXT_ROM = 0x03,
    XU_CTRL_REG = 0x06,
    XU_CTRL_SENSOR_REG = 0x07,
    XU_CTRL_MCU = 0x08,
    XU_CTRL_HW_VER = 0x0A,
    XU_CTRL_EXT_ROM_TYPE = 0x0B,
    XU_CTRL_SETFILE_VER = 0x0C,
    XU_CTRL_INT_FW_VER = 0x0D,
    XU_CTRL_WRITE_PROTECT = 0x0E,
    XU_CTRL_SPI_STATUS = 0x12,
    XU_CTRL_OSD = 0x13,
    XU_CTRL_VERSION = 0x16,
};

// H.264-unit control selectors.
enum : std::uint8_t {
    UVCX_RATE_CONTROL_MODE = 0x03,
    UVCX_PICTURE_TYPE_CONTROL = 0x09,
    UVCX_VERSION = 0x0A,
    UVCX_ENCODER_RESET = 0x0B,
    UVCX_BITRATE_LAYERS = 0x0E,
    UVCX_QP_STEPS_LAYERS = 0x0F,
};

inline constexpr std::size_t kSeqBlockSize = 35;  // sequence block: length|flags, addr hi, addr lo, 32 data
inline constexpr std::size_t kSeqDataOffset = 3;
inline constexpr std::size_t kOsdBlockSize = 18;
inline constexpr std::uint8_t kExtRomTypeSpi = 0xFF;

class CLumoDev : public CUvcDev {
public:
    CLumoDev();
    ~CLumoDev() override;

    // ---- sequence protocol and memory spaces ----
    std::int32_t XuSeqContext(std::uint8_t selector, std::uint8_t flags, std::uint16_t address, std::uint32_t length,
                              std::uint8_t* buffer);
    std::int32_t XuGetSeqWrapper(std::uint8_t selector, std::uint8_t* block35);
    std::int32_t XuSetSeqWrapper(std::uint8_t selector, std::uint8_t* block35);

    std::int32_t XuExtRomRead(std::uint16_t address, std::uint32_t length, std::uint8_t* buffer);
    std::int32_t XuExtRomWrite(std::uint16_t address, std::uint32_t length, const std::uint8_t* data);
    std::int32_t XuExtRomErase();
    std::int32_t XuRegRead(std::uint16_t address, std::uint32_t length, std::uint8_t* buffer);
    std::int32_t XuRegWrite(std::uint16_t address, std::uint32_t length, const std::uint8_t* buffer);
    std::int32_t XuSensorRegRead(std::uint16_t address, std::uint32_t length, std::uint8_t* buffer);
    std::int32_t XuSensorRegWrite(std::uint16_t address, std::uint32_t length, const std::uint8_t* buffer);
    std::int32_t XuMcuDataRead(std::uint16_t address, std::uint32_t length, std::uint8_t* buffer);
    std::int32_t XuMcuDataWrite(std::uint16_t address, std::uint32_t length, const std::uint8_t* buffer);
    std::int32_t XuMcuCodeRead(std::uint16_t address, std::uint32_t length, std::uint8_t* buffer);

    // ---- fixed single requests ----
    std::int32_t XuGetHwVer(std::uint8_t* pHwVer);
    std::int32_t XuSetExtRomType(std::uint8_t bExtRomType);
    std::int32_t XuGetSetfileVer(std::uint8_t* pSetfileVer12);
    std::int32_t XuGetIntFwVer(std::uint8_t* pIntFwVer11);
    std::int32_t XuSetWriteProtect(std::uint8_t bWriteProtect);  // 0 lifts, 1 sets
    std::int32_t XuSetSpiStatus(std::uint8_t bSpiStatus);
    std::int32_t XuGetCtrlVer(std::uint8_t* pCtrlVer11);
    void DelayMicroSeconds(float microSeconds);

    // ---- identification and device parameters ----
    std::int32_t DevQueryBackendInfo();
    std::int32_t XuGetH264CtrlVer(std::uint16_t* pH264CtrlVer);
    // *pRequestFailed (when given) tells a probe read that failed from probes that did not
    // match: only the second lets the search go on to the next row.
    std::int32_t GetPartNo(bool* pRequestFailed = nullptr);
    std::int32_t DevQueryLumoParams();
    std::int32_t DevQueryExtFwVer();
    void DevPrintLumoParams();
    std::int32_t DevGetFwStatus();
    std::int32_t DevReset();
    std::int32_t GetBcdDevice();

    // ---- external ROM detection and SPI command set ----
    // A camera whose detection fails is left with m_dwRomSize 0: no ROM known.
    std::int32_t QueryExtRomType();
    // Both probes return 0 for "not this kind of ROM" and for a failed request; the latter
    // sets *pRequestFailed (when given), and detection must then fail rather than try the
    // next kind: a lost reply is no evidence about the ROM.
    std::int32_t EEPROMDetect(bool* pRequestFailed = nullptr);
    std::int32_t SpiFlashDetect(bool* pRequestFailed = nullptr);
    // Reads the identifier that `row` asks for into id (IdLength() bytes, at most 3).
    std::int32_t SpiFlashGetId(const SpiFlashDesc& row, std::uint8_t* id3);
    std::int32_t SpiInitCommandSet();
    std::int32_t SetExtRomType();

    // ---- erase ----
    // The index and address forms share a name; pass an address as std::uint32_t and an
    // index as std::uint8_t (a std::uint16_t argument would be ambiguous).
    std::int32_t SpiCmdChipErase();
    std::int32_t SpiCmdErase(std::uint8_t opcode, std::uint16_t address);
    std::int32_t SpiCmdSectorErase(std::uint8_t index);
    std::int32_t SpiCmdSectorErase(std::uint32_t address);
    std::int32_t SpiCmdBlockErase(std::uint8_t index);
    std::int32_t SpiCmdBlockErase(std::uint32_t address);

    // ---- SPI command engine and write protection ----
    std::int32_t SpiCmdSet(const std::uint8_t* command, std::uint8_t length);
    std::int32_t SpiCmdGet(std::uint8_t* command, std::uint8_t cmdLength, std::uint8_t readLength);
    std::int32_t SpiWaitBusReady(std::uint32_t timeoutMs);  // 0: no limit
    std::int32_t SetGpio(std::uint8_t level);
    std::int32_t SpiBlockProtect(std::uint8_t protect);
    std::int32_t ExtRomWriteEnable(std::int32_t enable);

    // ---- OSD (18-byte OSD data block on XU_CTRL_OSD) ----
    std::int32_t XuSetOsdCtrl(std::uint8_t* block18);
    std::int32_t XuGetOsdCtrl(std::uint8_t* block18);
    std::int32_t XuOsdEnableSet(std::int32_t enable);
    std::int32_t XuOsdEnableGet(std::uint8_t* enable);
    std::int32_t XuOsdReset();
    std::int32_t XuOsdTimeSyncSet(const std::uint8_t* time8);
    std::int32_t XuOsdTimeSyncGet(std::uint8_t* time8);
    std::int32_t XuOsdStringSet(std::uint8_t slot, const std::uint8_t* string16);
    std::int32_t XuOsdStringGet(std::uint8_t slot, std::uint8_t* string16);
    std::int32_t XuOsdWindowSet(const std::uint8_t* window9);
    std::int32_t XuOsdWindowGet(std::uint8_t* window9);
    std::int32_t XuOsdHdrWrite();
    std::int32_t XuOsdColorSet(const std::uint8_t* color9);
    std::int32_t XuOsdColorGet(std::uint8_t* color9);

    // ---- H.264 encoder unit ----
    std::int32_t XuH264RateCtrlModeGet(std::uint8_t* rateCtrl4);
    std::int32_t XuH264RateCtrlModeSet(const std::uint8_t* rateCtrl4);
    std::int32_t XuH264BitRateTargetGet(std::uint8_t* bitRate12);
    std::int32_t XuH264BitRateTargetSet(const std::uint8_t* bitRate12);
    std::int32_t XuH264QpStepsGet(std::uint8_t* qpSteps6);
    std::int32_t XuH264QpStepsSet(const std::uint8_t* qpSteps6);
    std::int32_t XuH264NextFrameTypeSet(const std::uint8_t* frameType4);
    std::int32_t XuH264Reset(const std::uint8_t* reset2);

    // Fields, in declaration order.
    SpiFlashDesc m_SpiFlash{};
    IcListRow m_Backend{};
    CtrlVerRecord m_CtrlVer{};
    std::int32_t m_bBackendValid = 0;
    std::array<char, 11> m_szIntFwVer{};
    std::array<char, 12> m_szSetfileVer{};
    std::uint8_t m_bHwVer = 0;
    std::uint8_t m_bExtRomType = 0;
    std::uint16_t m_wExtSensorApId = 0;
    std::uint16_t m_wExtFwVer = 0;
    std::uint8_t m_bSeqChunkLen = 8;
    std::uint16_t m_wH264CtrlVer = 0;
    std::int32_t m_bH264Support = 0;
    std::uint32_t m_dwRomSize = 0;

private:
    // The write-protect value last sent by this object (-1: never set); the chip erase
    // restores it instead of forcing protection on.
    int m_iLastWriteProtect = -1;
};
