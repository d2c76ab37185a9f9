#include "platform/linux/LinuxMoniker.h"

#include "platform/linux/LinuxCaptureFilter.h"

namespace lumo::os::linuxworld {
namespace {

class CLinuxPropertyBag final : public IPropertyBag {
public:
    explicit CLinuxPropertyBag(const LinuxVideoNode& node) : m_name(node.friendlyName), m_path(node.devicePath) {}
    HRESULT Read(const std::wstring& name, std::wstring& value) override {
        if (name == L"FriendlyName")
            value = m_name;
        else if (name == L"CLSID")
            value = kClassDriverClsid;
        else if (name == L"DevicePath")
            value = m_path;
        else
            return E_INVALIDARG;
        return S_OK;
    }

private:
    std::wstring m_name;
    std::wstring m_path;
};

}  // namespace

HRESULT CLinuxMoniker::BindToStorage(std::shared_ptr<IPropertyBag>* out) {
    if (!out) return E_POINTER;
    *out = std::make_shared<CLinuxPropertyBag>(m_session->node());
    return S_OK;
}

HRESULT CLinuxMoniker::BindToObject(std::shared_ptr<ICaptureFilter>* out) {
    if (!out) return E_POINTER;
    *out = std::make_shared<CLinuxCaptureFilter>(m_session);
    return S_OK;
}

HRESULT CLinuxEnumMoniker::Next(std::shared_ptr<IMoniker>* out) {
    if (!out) return E_POINTER;
    if (m_next >= m_sessions.size()) {
        out->reset();
        return S_FALSE;
    }
    *out = std::make_shared<CLinuxMoniker>(m_sessions[m_next++]);
    return S_OK;
}

}  // namespace lumo::os::linuxworld
