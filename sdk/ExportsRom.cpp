// ROM protection, erase, busy wait and reset.
#include "common/trace/DEdura.h"
#include "sdk/ExportFrame.h"
#include "sdk/LumoSDK.h"
#include "sdk/device/LumoDev.h"

using lumo::frame::I;
using lumo::frame::withDevice;

// 1 lifts the protection, 0 restores it. Any other value changes nothing, so it cannot
// report success: a caller that meant to lift the protection would write into a locked ROM.
TAVIX_API int32_t TAVIX_ExtRomWriteEnable(int32_t enable, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) -> int32_t {
        if (enable == 1 || enable == 0) return dev.ExtRomWriteEnable(enable);
        XTRACE(4)("ExtRomWriteEnable(%d): neither 0 nor 1, nothing changed.XXXXXXXXXX", static_cast<int>(enable));
        return 0;
    });
}

TAVIX_API int32_t TAVIX_EraseAll(uint8_t index) {
    return withDevice<I>(index, [](CLumoDev& dev) { return dev.SpiCmdChipErase(); });
}

// The number forms pass an 8-bit value, the address forms a 32-bit one (two overloads).
TAVIX_API int32_t TAVIX_SpiCmdSectorEraseById(uint8_t sector, uint8_t index) {
    return withDevice<I>(index,
                         [&](CLumoDev& dev) { return dev.SpiCmdSectorErase(static_cast<std::uint8_t>(sector)); });
}

TAVIX_API int32_t TAVIX_SpiCmdSectorEraseByAddr(uint16_t address, uint8_t index) {
    return withDevice<I>(index,
                         [&](CLumoDev& dev) { return dev.SpiCmdSectorErase(static_cast<std::uint32_t>(address)); });
}

TAVIX_API int32_t TAVIX_SpiCmdBlockEraseById(uint8_t block, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.SpiCmdBlockErase(static_cast<std::uint8_t>(block)); });
}

TAVIX_API int32_t TAVIX_SpiCmdBlockEraseByAddr(uint16_t address, uint8_t index) {
    return withDevice<I>(index,
                         [&](CLumoDev& dev) { return dev.SpiCmdBlockErase(static_cast<std::uint32_t>(address)); });
}

TAVIX_API void TAVIX_DeviceReset(uint8_t index) {
    withDevice<I>(index, [](CLumoDev& dev) { dev.DevReset(); });
}

TAVIX_API int32_t TAVIX_SpiWaitBusReady(uint32_t timeoutMs, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.SpiWaitBusReady(timeoutMs); });
}
