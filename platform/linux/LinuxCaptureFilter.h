#pragma once
// A bound camera: topology from the VideoControl descriptors, the property set routed by
// GUID to the extension units, and the standard controls from V4L2.
#include <memory>

#include "platform/DeviceWorld.h"
#include "platform/linux/LinuxCameraSession.h"

namespace lumo::os::linuxworld {

class CLinuxCaptureFilter final : public ICaptureFilter {
public:
    explicit CLinuxCaptureFilter(std::shared_ptr<CLinuxCameraSession> session) : m_session(std::move(session)) {}

    HRESULT QueryTopologyInfo(std::shared_ptr<ITopologyInfo>* out) override;
    HRESULT QueryPropertySet(std::shared_ptr<IKsPropertySet>* out) override;
    HRESULT QueryVideoProcAmp(std::shared_ptr<IVideoProcAmp>* out) override;
    HRESULT QueryCameraControl(std::shared_ptr<ICameraControl>* out) override;

private:
    std::shared_ptr<CLinuxCameraSession> m_session;
};

}  // namespace lumo::os::linuxworld
