// The on-screen display exports: index check, then the device's operation one to one. The
// camera's own availability test ("XU" in its control-version record) is the operation's.
#include "sdk/ExportFrame.h"
#include "sdk/LumoSDK.h"
#include "sdk/device/LumoDev.h"

using lumo::frame::I;
using lumo::frame::withDevice;

TAVIX_API int32_t TAVIX_OsdEnableSet(int32_t enable, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdEnableSet(enable); });
}

TAVIX_API int32_t TAVIX_OsdEnableGet(uint8_t* enable, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdEnableGet(enable); });
}

TAVIX_API int32_t TAVIX_OsdReset(uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdReset(); });
}

TAVIX_API int32_t TAVIX_OsdTimeSyncSet(const uint8_t* timeRecord8, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdTimeSyncSet(timeRecord8); });
}

TAVIX_API int32_t TAVIX_OsdTimeSyncGet(uint8_t* timeRecord8, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdTimeSyncGet(timeRecord8); });
}

TAVIX_API int32_t TAVIX_OsdStringSet(uint8_t slot, const uint8_t* string16, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdStringSet(slot, string16); });
}

TAVIX_API int32_t TAVIX_OsdStringGet(uint8_t slot, uint8_t* string16, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdStringGet(slot, string16); });
}

TAVIX_API int32_t TAVIX_OsdWindowSet(const uint8_t* window9, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdWindowSet(window9); });
}

TAVIX_API int32_t TAVIX_OsdWindowGet(uint8_t* window9, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdWindowGet(window9); });
}

// The name is the one hosts link against, spelling included.
TAVIX_API int32_t TAVIX_OsdHdrWrtie(uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdHdrWrite(); });
}

TAVIX_API int32_t TAVIX_OsdColorSet(const uint8_t* color9, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdColorSet(color9); });
}

TAVIX_API int32_t TAVIX_OsdColorGet(uint8_t* color9, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) { return dev.XuOsdColorGet(color9); });
}
