#pragma once
// What the camera target asks of a camera once its I/O handles are open: identification and
// device parameters as enumeration runs them, ROM detection, then every read the OSD and
// H.264 exports make. The seed recorder runs the same sequence on emulated cameras, so its
// recorded replies line up with the target's requests.
#include <cstdint>
#include <vector>

#include "sdk/device/LumoDev.h"

namespace lumo::fuzz {

inline void driveCamera(CLumoDev& dev) {
    dev.DevQueryBackendInfo();
    dev.DevQueryLumoParams();
    dev.DevPrintLumoParams();
    dev.DevGetFwStatus();
    if (dev.QueryExtRomType()) dev.SetExtRomType();
    // Each read gets a buffer of exactly the size its caller promises.
    auto sized = [](std::size_t n) { return std::vector<std::uint8_t>(n); };
    dev.XuOsdEnableGet(sized(1).data());
    dev.XuOsdTimeSyncGet(sized(8).data());
    for (std::uint8_t slot = 0; slot < 3; ++slot) dev.XuOsdStringGet(slot, sized(16).data());
    dev.XuOsdWindowGet(sized(9).data());
    dev.XuOsdColorGet(sized(9).data());
    std::uint16_t version = 0;
    dev.XuGetH264CtrlVer(&version);
    dev.XuH264RateCtrlModeGet(sized(4).data());
    dev.XuH264BitRateTargetGet(sized(12).data());
    dev.XuH264QpStepsGet(sized(6).data());
    dev.SpiWaitBusReady(100);
}

}  // namespace lumo::fuzz
