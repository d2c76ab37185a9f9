#include "platform/linux/LinuxMoniker.h"

#include "platform/CandidatePropertyBag.h"
#include "platform/linux/LinuxCaptureFilter.h"

namespace lumo::os::linuxworld {
HRESULT CLinuxMoniker::BindToStorage(std::shared_ptr<IPropertyBag>* out) {
    if (!out) return E_POINTER;
    *out = std::make_shared<CandidatePropertyBag>(m_session->node().friendlyName, kClassDriverClsid,
                                                  m_session->node().devicePath);
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
