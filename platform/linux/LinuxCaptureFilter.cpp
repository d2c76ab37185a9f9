#include "platform/linux/LinuxCaptureFilter.h"

#include "platform/linux/LinuxKsPropertySet.h"
#include "platform/linux/LinuxTopologyInfo.h"
#include "platform/linux/V4l2ControlValues.h"

namespace lumo::os::linuxworld {

HRESULT CLinuxCaptureFilter::QueryTopologyInfo(std::shared_ptr<ITopologyInfo>* out) {
    if (!out) return E_POINTER;
    *out = std::make_shared<CLinuxTopologyInfo>(m_session->node().units);
    return S_OK;
}

HRESULT CLinuxCaptureFilter::QueryPropertySet(std::shared_ptr<IKsPropertySet>* out) {
    if (!out) return E_POINTER;
    *out = std::make_shared<CLinuxKsPropertySet>(m_session);
    return S_OK;
}

HRESULT CLinuxCaptureFilter::QueryVideoProcAmp(std::shared_ptr<IVideoProcAmp>* out) {
    if (!out) return E_POINTER;
    *out = std::make_shared<CV4l2ControlValues>(m_session, ControlFamily::ProcAmp);
    return S_OK;
}

HRESULT CLinuxCaptureFilter::QueryCameraControl(std::shared_ptr<ICameraControl>* out) {
    if (!out) return E_POINTER;
    *out = std::make_shared<CV4l2ControlValues>(m_session, ControlFamily::CameraControl);
    return S_OK;
}

}  // namespace lumo::os::linuxworld
