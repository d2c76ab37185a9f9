#pragma once
// The property bag of one video-input candidate, as every device world hands it out: the three
// values the registry reads, anything else is not there.
#include <string>
#include <utility>

#include "platform/DeviceWorld.h"

namespace lumo::os {

class CandidatePropertyBag final : public IPropertyBag {
public:
    CandidatePropertyBag(std::wstring friendlyName, std::wstring clsid, std::wstring devicePath)
        : m_name(std::move(friendlyName)), m_clsid(std::move(clsid)), m_path(std::move(devicePath)) {}
    HRESULT Read(const std::wstring& name, std::wstring& value) override {
        if (name == L"FriendlyName")
            value = m_name;
        else if (name == L"CLSID")
            value = m_clsid;
        else if (name == L"DevicePath")
            value = m_path;
        else
            return E_INVALIDARG;
        return S_OK;
    }

private:
    std::wstring m_name, m_clsid, m_path;
};

}  // namespace lumo::os
