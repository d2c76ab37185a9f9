/* LumoSDK: the flat interface of the camera library.
 *
 * Every function returns 1 (non-zero) for success and 0 for failure unless stated. A camera
 * is addressed by its 0-based index in the library's registry, valid while below the count
 * that TAVIX_GetDevCount reports; removing a camera moves every camera behind it one index
 * down. Calls on different cameras may run on different threads at once; calls on one camera
 * must come from one thread at a time; TAVIX_EnumDevs, TAVIX_FreeDevs, TAVIX_DevsDelByPath and
 * TAVIX_DevsDelByIndex must not overlap with any other call.
 *
 * Wide strings are wchar_t strings. The two functions that take the shared string type
 * (std::wstring&) are declared for C++ hosts only.
 */
#ifndef LUMO_SDK_H
#define LUMO_SDK_H

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
#include <string>
#define TAVIX_EXTERN extern "C"
#else
#define TAVIX_EXTERN extern
#endif

#if defined(LUMO_SDK_BUILD)
#define TAVIX_API TAVIX_EXTERN __attribute__((visibility("default")))
#else
#define TAVIX_API TAVIX_EXTERN
#endif

/* One property-page value record (28 bytes). Set Enable to exactly 1 to have it read. */
typedef struct TAVIX_PROP_PAGE_CTRL {
    int32_t Enable;
    int32_t Min;
    int32_t Max;
    int32_t Step;
    int32_t Default;
    int32_t Flags;
    int32_t Val;
} TAVIX_PROP_PAGE_CTRL;

#define TAVIX_PU_COUNT 13 /* processing-unit records */
#define TAVIX_CT_COUNT 8  /* camera-terminal records */

/* Device-change notices. The "window handle" given to TAVIX_DeviceChangeRegister is a
 * recipient record: the library calls callback(context, eventType, notice) from its monitor
 * thread, for every device-interface class; the host filters the class itself and hands
 * the notice to its own window thread. eventType is 0x8000 (arrival) or 0x8004 (removal
 * complete); the record and its name are valid during the call only. */
#define TAVIX_DBT_DEVICEARRIVAL 0x8000u
#define TAVIX_DBT_DEVICEREMOVECOMPLETE 0x8004u
#define TAVIX_DBT_DEVTYP_DEVICEINTERFACE 5u

typedef struct TAVIX_DEVICE_INTERFACE_NOTICE {
    uint32_t dbcc_size;
    uint32_t dbcc_devicetype; /* 5: device interface */
    uint32_t dbcc_reserved;
    uint8_t dbcc_classguid[16]; /* interface class, in memory layout */
    const wchar_t* dbcc_name;   /* interface path */
} TAVIX_DEVICE_INTERFACE_NOTICE;

typedef void (*TAVIX_DEVICE_CHANGE_CALLBACK)(void* context, uint32_t eventType,
                                             const TAVIX_DEVICE_INTERFACE_NOTICE* notice);

typedef struct TAVIX_NOTICE_RECIPIENT {
    TAVIX_DEVICE_CHANGE_CALLBACK callback;
    void* context;
} TAVIX_NOTICE_RECIPIENT;

/* Firmware image */
TAVIX_API int32_t TAVIX_LoadBinFile(uint8_t* image, int32_t skipChecks);
TAVIX_API int32_t TAVIX_LoadBinFileFromPath(uint8_t* image, const wchar_t* path, int32_t skipChecks);
TAVIX_API uint32_t TAVIX_CRC16Calculate(const uint8_t* data, uint32_t length);
TAVIX_API int32_t TAVIX_GetBinFileSize(uint32_t* size);

/* Registry, enumeration and hot-plug */
TAVIX_API int32_t TAVIX_EnumDevs(void);
TAVIX_API int32_t TAVIX_FreeDevs(void);
TAVIX_API int32_t TAVIX_QueryExtRom(void);
TAVIX_API int32_t TAVIX_DeviceChangeRegister(TAVIX_NOTICE_RECIPIENT* window);
TAVIX_API int32_t TAVIX_DeviceChangeUnregister(void);
TAVIX_API int32_t TAVIX_DevsDelByIndex(uint8_t index);
TAVIX_API void TAVIX_GetDevCount(uint8_t* count);
#ifdef __cplusplus
TAVIX_API int32_t TAVIX_DevsDelByPath(std::wstring& path);
TAVIX_API int32_t TAVIX_GetProductVersion(const wchar_t* filePath, std::wstring& version);
#endif

/* Memory spaces: external ROM, controller registers, sensor registers, MCU memory */
TAVIX_API int32_t TAVIX_ExtRomRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index);
TAVIX_API int32_t TAVIX_ExtRomWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t index);
TAVIX_API int32_t TAVIX_RegWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t index);
TAVIX_API int32_t TAVIX_RegRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index);
TAVIX_API int32_t TAVIX_SensorRegRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index);
TAVIX_API int32_t TAVIX_SensorRegWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t index);
TAVIX_API int32_t TAVIX_McuDataRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index);
TAVIX_API int32_t TAVIX_McuDataWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t index);
TAVIX_API int32_t TAVIX_McuCodeRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index);

/* ROM protection, erase, busy wait, reset */
TAVIX_API int32_t TAVIX_ExtRomWriteEnable(int32_t enable, uint8_t index);
TAVIX_API int32_t TAVIX_EraseAll(uint8_t index);
TAVIX_API int32_t TAVIX_SpiCmdSectorEraseById(uint8_t sector, uint8_t index);
TAVIX_API int32_t TAVIX_SpiCmdSectorEraseByAddr(uint16_t address, uint8_t index);
TAVIX_API int32_t TAVIX_SpiCmdBlockEraseById(uint8_t block, uint8_t index);
TAVIX_API int32_t TAVIX_SpiCmdBlockEraseByAddr(uint16_t address, uint8_t index);
TAVIX_API void TAVIX_DeviceReset(uint8_t index);
TAVIX_API int32_t TAVIX_SpiWaitBusReady(uint32_t timeoutMs, uint8_t index);

/* On-screen display */
TAVIX_API int32_t TAVIX_OsdEnableSet(int32_t enable, uint8_t index);
TAVIX_API int32_t TAVIX_OsdEnableGet(uint8_t* enable, uint8_t index);
TAVIX_API int32_t TAVIX_OsdReset(uint8_t index);
TAVIX_API int32_t TAVIX_OsdTimeSyncSet(const uint8_t* timeRecord8, uint8_t index);
TAVIX_API int32_t TAVIX_OsdTimeSyncGet(uint8_t* timeRecord8, uint8_t index);
TAVIX_API int32_t TAVIX_OsdStringSet(uint8_t slot, const uint8_t* string16, uint8_t index);
TAVIX_API int32_t TAVIX_OsdStringGet(uint8_t slot, uint8_t* string16, uint8_t index);
TAVIX_API int32_t TAVIX_OsdWindowSet(const uint8_t* window9, uint8_t index);
TAVIX_API int32_t TAVIX_OsdWindowGet(uint8_t* window9, uint8_t index);
TAVIX_API int32_t TAVIX_OsdHdrWrtie(uint8_t index);
TAVIX_API int32_t TAVIX_OsdColorSet(const uint8_t* color9, uint8_t index);
TAVIX_API int32_t TAVIX_OsdColorGet(uint8_t* color9, uint8_t index);

/* H.264 encoder unit (records as the encoder unit defines them) */
TAVIX_API int32_t TAVIX_H264RateCtrlModeGet(uint8_t* rateCtrl, uint8_t index);
TAVIX_API int32_t TAVIX_H264RateCtrlModeSet(const uint8_t* rateCtrl, uint8_t index);
TAVIX_API int32_t TAVIX_H264BitRateTargetGet(uint8_t* bitRate, uint8_t index);
TAVIX_API int32_t TAVIX_H264BitRateTargetSet(const uint8_t* bitRate, uint8_t index);
TAVIX_API int32_t TAVIX_H264QpStepsGet(uint8_t* qpSteps, uint8_t index);
TAVIX_API int32_t TAVIX_H264QpStepsSet(const uint8_t* qpSteps, uint8_t index);
TAVIX_API int32_t TAVIX_H264NextFrameTypeSet(const uint8_t* frameType, uint8_t index);
TAVIX_API int32_t TAVIX_H264Reset(const uint8_t* reset2, uint8_t index);
TAVIX_API int32_t TAVIX_GetH264CtrlVer(uint16_t* version, uint8_t index);

/* Identity and module information */
TAVIX_API int32_t TAVIX_GetPropPageCurVal(TAVIX_PROP_PAGE_CTRL* processingUnit13, TAVIX_PROP_PAGE_CTRL* cameraTerminal8,
                                          uint8_t index);
TAVIX_API int32_t TAVIX_GetModuleInfo(uint16_t* sensorApId, uint16_t* extFwVer, uint8_t* setfileVer12, uint8_t index);
TAVIX_API int32_t TAVIX_GetBackendInfo(uint8_t* signature4, uint8_t* partNo8, uint8_t index);
TAVIX_API int32_t TAVIX_GetFlashSize(uint32_t* romSize, uint8_t index);
TAVIX_API int32_t TAVIX_GetPidVid(uint16_t* vendorId, uint16_t* productId, uint8_t index);
TAVIX_API int32_t TAVIX_GetBcdDevice(uint16_t* bcdDevice, uint8_t index);
TAVIX_API int32_t TAVIX_GetXuCtrlVer(uint8_t* ctrlVer12, uint8_t index);

#endif /* LUMO_SDK_H */
