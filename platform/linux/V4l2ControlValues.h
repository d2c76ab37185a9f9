#pragma once
// The property-page values of a camera from its V4L2 controls: the proc-amp and
// camera-control property ids the transport asks for, each mapped to a V4L2 control
// (and, where there is one, the control that switches it to automatic).
#include <memory>

#include "platform/DeviceWorld.h"
#include "platform/linux/LinuxCameraSession.h"

namespace lumo::os::linuxworld {

enum class ControlFamily { ProcAmp, CameraControl };

// property flags of the page values
inline constexpr std::int32_t kControlFlagsAuto = 0x1;
inline constexpr std::int32_t kControlFlagsManual = 0x2;

class CV4l2ControlValues final : public IVideoControlValues {
public:
    CV4l2ControlValues(std::shared_ptr<CLinuxCameraSession> session, ControlFamily family)
        : m_session(std::move(session)), m_family(family) {}

    HRESULT GetRange(std::int32_t property, std::int32_t* min, std::int32_t* max, std::int32_t* step,
                     std::int32_t* defaultValue, std::int32_t* flags) override;
    HRESULT Get(std::int32_t property, std::int32_t* value, std::int32_t* flags) override;

private:
    std::shared_ptr<CLinuxCameraSession> m_session;
    ControlFamily m_family;
};

}  // namespace lumo::os::linuxworld
