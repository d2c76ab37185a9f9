// The memory-space exports: external ROM, controller registers, sensor registers, MCU data
// and code. Index and length checks, then the device's operation one to one. A null buffer
// is refused like a zero length, before any request.
#include "common/trace/DEdura.h"
#include "sdk/ExportFrame.h"
#include "sdk/LumoSDK.h"
#include "sdk/device/LumoDev.h"

using lumo::frame::I;
using lumo::frame::L;
using lumo::frame::withDevice;

namespace {

template <class Buffer, class Op>
int32_t memoryCall(uint8_t index, uint32_t length, Buffer* buffer, Op op) {
    return withDevice<I | L>(index, length, [&](CLumoDev& dev) -> int32_t {
        if (buffer == nullptr) return 0;
        return op(dev);
    });
}

}  // namespace

// The ROM ends at 0xFFFF: a range past it would read the start of the ROM as if it followed.
// The register, sensor and MCU spaces keep the protocol's 16-bit address wrap.
TAVIX_API int32_t TAVIX_ExtRomRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) -> int32_t {
        if (length > 0x10000u - address) {
            XTRACE(4)("ExtRomRead(0x%04X, %u) past the ROM's end.XXXXXXXXXX", address, length);
            return 0;
        }
        return d.XuExtRomRead(address, length, buffer);
    });
}

TAVIX_API int32_t TAVIX_ExtRomWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) { return d.XuExtRomWrite(address, length, buffer); });
}

TAVIX_API int32_t TAVIX_RegWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) { return d.XuRegWrite(address, length, buffer); });
}

TAVIX_API int32_t TAVIX_RegRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) { return d.XuRegRead(address, length, buffer); });
}

TAVIX_API int32_t TAVIX_SensorRegRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) { return d.XuSensorRegRead(address, length, buffer); });
}

TAVIX_API int32_t TAVIX_SensorRegWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) { return d.XuSensorRegWrite(address, length, buffer); });
}

TAVIX_API int32_t TAVIX_McuDataRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) { return d.XuMcuDataRead(address, length, buffer); });
}

TAVIX_API int32_t TAVIX_McuDataWrite(uint16_t address, uint32_t length, const uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) { return d.XuMcuDataWrite(address, length, buffer); });
}

TAVIX_API int32_t TAVIX_McuCodeRead(uint16_t address, uint32_t length, uint8_t* buffer, uint8_t index) {
    return memoryCall(index, length, buffer, [&](CLumoDev& d) { return d.XuMcuCodeRead(address, length, buffer); });
}
