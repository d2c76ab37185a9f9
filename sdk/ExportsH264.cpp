// The H.264 encoder exports: index check and the device's H.264 support (filled by the
// backend identification), then the device's operation.
#include <array>
#include <cstdint>

#include "sdk/ExportFrame.h"
#include "sdk/LumoSDK.h"
#include "sdk/device/LumoDev.h"

using lumo::frame::H;
using lumo::frame::I;
using lumo::frame::withDevice;

TAVIX_API int32_t TAVIX_H264RateCtrlModeGet(uint8_t* rateCtrl, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) { return dev.XuH264RateCtrlModeGet(rateCtrl); });
}

TAVIX_API int32_t TAVIX_H264RateCtrlModeSet(const uint8_t* rateCtrl, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) { return dev.XuH264RateCtrlModeSet(rateCtrl); });
}

TAVIX_API int32_t TAVIX_H264BitRateTargetGet(uint8_t* bitRate, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) { return dev.XuH264BitRateTargetGet(bitRate); });
}

TAVIX_API int32_t TAVIX_H264BitRateTargetSet(const uint8_t* bitRate, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) { return dev.XuH264BitRateTargetSet(bitRate); });
}

// A pair of requests: the set names the frame type (byte 2 of the caller's record) whose
// limits the camera reports to the following get. The set's result is not looked at.
TAVIX_API int32_t TAVIX_H264QpStepsGet(uint8_t* qpSteps, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) -> std::int32_t {
        if (qpSteps == nullptr) return dev.XuH264QpStepsGet(nullptr);
        const std::array<std::uint8_t, 6> select{0x00, 0x00, qpSteps[2], 0x00, 0x00, 0x00};
        dev.XuH264QpStepsSet(select.data());
        return dev.XuH264QpStepsGet(qpSteps);
    });
}

TAVIX_API int32_t TAVIX_H264QpStepsSet(const uint8_t* qpSteps, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) { return dev.XuH264QpStepsSet(qpSteps); });
}

TAVIX_API int32_t TAVIX_H264NextFrameTypeSet(const uint8_t* frameType, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) { return dev.XuH264NextFrameTypeSet(frameType); });
}

TAVIX_API int32_t TAVIX_H264Reset(const uint8_t* reset2, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) { return dev.XuH264Reset(reset2); });
}

// Hands out the version the identification read; no transfer.
TAVIX_API int32_t TAVIX_GetH264CtrlVer(uint16_t* version, uint8_t index) {
    return withDevice<I | H>(index, [&](CLumoDev& dev) -> std::int32_t {
        if (version == nullptr) return 0;
        *version = dev.m_wH264CtrlVer;
        return 1;
    });
}
