#pragma once
// The candidates of the video-input category: a walk over a snapshot of the capture nodes,
// each with its property bag and its bindable filter.
#include <memory>
#include <vector>

#include "platform/DeviceWorld.h"
#include "platform/linux/LinuxCameraSession.h"

namespace lumo::os::linuxworld {

// "CLSID" of every candidate: the class driver that runs the camera.
inline constexpr wchar_t kClassDriverClsid[] = L"uvcvideo";

class CLinuxMoniker final : public IMoniker {
public:
    explicit CLinuxMoniker(std::shared_ptr<CLinuxCameraSession> session) : m_session(std::move(session)) {}
    HRESULT BindToStorage(std::shared_ptr<IPropertyBag>* out) override;
    HRESULT BindToObject(std::shared_ptr<ICaptureFilter>* out) override;

private:
    std::shared_ptr<CLinuxCameraSession> m_session;
};

class CLinuxEnumMoniker final : public IEnumMoniker {
public:
    explicit CLinuxEnumMoniker(std::vector<std::shared_ptr<CLinuxCameraSession>> sessions)
        : m_sessions(std::move(sessions)) {}
    HRESULT Reset() override {
        m_next = 0;
        return S_OK;
    }
    HRESULT Next(std::shared_ptr<IMoniker>* out) override;

private:
    std::vector<std::shared_ptr<CLinuxCameraSession>> m_sessions;
    std::size_t m_next = 0;
};

}  // namespace lumo::os::linuxworld
