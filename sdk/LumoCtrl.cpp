#include "sdk/LumoCtrl.h"

#include <algorithm>
#include <memory>

#include "common/trace/DEdura.h"
#include "platform/Clock.h"
#include "platform/DeviceWorld.h"
#include "sdk/device/LumoDev.h"

using namespace lumo::os;

CLumoCtrl::CLumoCtrl() {
    // The component object system needs no start on Linux; the record stays. It precedes the
    // trace start-up and so goes nowhere.
    XTRACE(0)("=== CLumoCtrl::CLumoCtrl ====");
}

CLumoCtrl::~CLumoCtrl() {
    XTRACE(0)("=== CLumoCtrl::~CLumoCtrl ====");
    // Cameras a host left registered are freed here, so their handles are closed at unload.
    // No removal records: the trace may already be gone this late.
    for (CLumoDev* dev : m_oDevs) delete dev;
    m_oDevs.clear();
    m_nDevCount = 0;
}

CLumoCtrl& CLumoCtrl::Instance() {
    static CLumoCtrl s_ctrl;
    return s_ctrl;
}

namespace {

// The 17 characters from the path's first "VID_" on: VID_xxxx&PID_xxxx, fewer when the path
// ends sooner, none without "VID_". Paths are ASCII in every world.
std::wstring CutVidPid(const std::wstring& path) {
    const std::size_t at = path.find(L"VID_");
    if (at == std::wstring::npos) return {};
    return path.substr(at, 17);
}

bool Admitted(const CLumoDev& dev) {
    return dev.m_Backend.dwFamily >= 1 && dev.m_Backend.dwFamily <= 6;
}

}  // namespace

std::int32_t CLumoCtrl::EnumDevs() {
    XTRACE(0)(XTRACE_LINE_EQ);
    XTRACE(0)("%s ===>", "CLumoCtrl::EnumDevs");
    std::int32_t result = 0;

    // The device world is the system device enumerator: there is nothing to create that
    // could fail, so the walk starts with the category.
    std::shared_ptr<IEnumMoniker> pEnumMoniker;
    const HRESULT hr = deviceWorld().CreateClassEnumerator(guids::kVideoInputDeviceCategory, &pEnumMoniker);
    if (hr != S_OK || !pEnumMoniker) {
        XTRACE(4)
        ("CreateClassEnumerator(CLSID_VideoInputDeviceCategory) FAILED. hResult = 0x%08X XXXXXXXXXX",
         static_cast<unsigned>(hr));
    } else {
        pEnumMoniker->Reset();
        bool brokenOff = false;
        for (;;) {
            std::shared_ptr<IMoniker> pMoniker;
            if (pEnumMoniker->Next(&pMoniker) != S_OK || !pMoniker) break;

            auto pLumoDev = std::make_unique<CLumoDev>();
            XTRACE(0)("NEWING pLumoDev = 0x%08X", xtracing_ptr(pLumoDev.get()));
            std::shared_ptr<IPropertyBag> pPropertyBag;

            // Steps up to the backend identification; leaving early just skips to admission.
            [&] {
                HRESULT h = pMoniker->BindToStorage(&pPropertyBag);
                if (h != S_OK || !pPropertyBag) {
                    XTRACE(4)
                    ("BindToStorage(IID_IPropertyBag) FAILED. hResult = 0x%08X XXXXXXXXXX", static_cast<unsigned>(h));
                    return;
                }
                XTRACE(0)("Got pPropertyBag");
                if (!pLumoDev->QueryPropBagParams(pPropertyBag.get())) return;
                if (DevsFindElement(pLumoDev->m_szDevPath)) {
                    XTRACE(4)("szDevPath already exist in array.XXXXXXXXXX");
                    return;
                }
                pLumoDev->m_szVidPid = CutVidPid(pLumoDev->m_szDevPath);
                if (!pLumoDev->GetBcdDevice()) return;
                h = pMoniker->BindToObject(&pLumoDev->m_pBaseFilter);
                if (h != S_OK || !pLumoDev->m_pBaseFilter) {
                    XTRACE(4)
                    ("BindToObject(IID_IBaseFilter) FAILED. hResult = 0x%08X XXXXXXXXXX", static_cast<unsigned>(h));
                    return;
                }
                XTRACE(0)("ACQUIRING m_pBaseFilter = 0x%08X", xtracing_ptr(pLumoDev->m_pBaseFilter.get()));
                if (!pLumoDev->QueryDriverType() || !pLumoDev->AcquireIoHandle()) return;
                lumo::os::Sleep(300);
                if (pLumoDev->DevQueryBackendInfo()) {
                    XTRACE(0)("Candidate camera device: Tavix confirmed!!!");
                } else {
                    XTRACE(0)("Candidate camera device: Other Vendor!!!");
                }
            }();

            // Admission goes by the family alone, whatever the steps returned: a fresh object
            // carries family 0.
            if (!Admitted(*pLumoDev)) {
                XTRACE(0)("DELETE pLumoDev = 0x%08X", xtracing_ptr(pLumoDev.get()));
                continue;
            }
            if (!pLumoDev->DevQueryLumoParams()) {
                // Broken off: the remaining candidates are not visited, registered cameras stay.
                brokenOff = true;
                break;
            }
            pLumoDev->DevPrintLumoParams();
            pLumoDev->DevGetFwStatus();
            DevsAddElement(pLumoDev.release());
        }
        if (!brokenOff) result = 1;
    }
    XTRACE(0)("%s <===", "CLumoCtrl::EnumDevs");
    XTRACE(0)(XTRACE_LINE_EQ);
    return result;
}

std::int32_t CLumoCtrl::DevsAddElement(CLumoDev* pLumoDev) {
    XTRACE(0)("%s ===>", "CLumoCtrl::DevsAddElement");
    std::int32_t result = 0;
    if (pLumoDev != nullptr) {
        auto slot = std::find(m_oDevs.begin(), m_oDevs.end(), nullptr);
        const std::size_t occupied = static_cast<std::size_t>(
            std::count_if(m_oDevs.begin(), m_oDevs.end(), [](const CLumoDev* d) { return d != nullptr; }));
        if (occupied >= kMaxDevs) {
            // An 8-bit count cannot hold a 256th camera; it would wrap to 0 and hide them all.
            XTRACE(4)
            ("m_oDevs is full, %d devices. DELETE pLumoDev = 0x%08X XXXXXXXXXX", static_cast<int>(occupied),
             xtracing_ptr(pLumoDev));
            delete pLumoDev;
        } else {
            std::size_t index = 0;
            if (slot != m_oDevs.end()) {
                *slot = pLumoDev;
                index = static_cast<std::size_t>(slot - m_oDevs.begin());
            } else {
                m_oDevs.push_back(pLumoDev);
                index = m_oDevs.size() - 1;
            }
            XTRACE(0)("m_oDevs[%d] = 0x%08X ADDED", static_cast<int>(index), xtracing_ptr(pLumoDev));
            DevsIndexUpdate();
            result = 1;
        }
    }
    XTRACE(0)("%s <===", "CLumoCtrl::DevsAddElement");
    return result;
}

std::int32_t CLumoCtrl::DevsDelElement(std::uint8_t index) {
    XTRACE(0)("%s ===>", "CLumoCtrl::DevsDelElement");
    std::int32_t result = 0;
    // The exports check the index; this guards the registry's own callers as well.
    if (index < m_oDevs.size()) {
        CLumoDev*& slot = m_oDevs[index];
        XTRACE(0)("m_oDevs[%d] = 0x%08X DELETING...", static_cast<int>(index), xtracing_ptr(slot));
        delete slot;
        slot = nullptr;
        DevsIndexUpdate();
        result = 1;
    }
    XTRACE(0)("%s <===", "CLumoCtrl::DevsDelElement");
    return result;
}

void CLumoCtrl::DevsIndexUpdate() {
    XTRACE(0)("%s ===>", "CLumoCtrl::DevsIndexUpdate");
    // Cameras behind an empty slot move down one, keeping their order.
    std::erase(m_oDevs, nullptr);
    m_nDevCount = static_cast<std::uint8_t>(m_oDevs.size());
    XTRACE(0)("%s <===", "CLumoCtrl::DevsIndexUpdate");
}

std::int32_t CLumoCtrl::DevsFindElement(const std::wstring& szDevPath) {
    XTRACE(0)("%s ===>", "CLumoCtrl::DevsFindElement");
    std::int32_t result = 0;
    for (const CLumoDev* dev : m_oDevs) {
        if (dev != nullptr && dev->m_szDevPath == szDevPath) {
            result = 1;
            break;
        }
    }
    XTRACE(0)("%s <===", "CLumoCtrl::DevsFindElement");
    return result;
}

std::int32_t CLumoCtrl::DevsDelElement(std::wstring& szDevPath) {
    XTRACE(0)("%s ===>", "CLumoCtrl::DevsDelElement");
    std::int32_t result = 0;
    // Keep only the device-instance part: the interface-class GUID and what follows go.
    const std::size_t brace = szDevPath.find(L'{');
    if (brace != std::wstring::npos) szDevPath.resize(brace);
    // An empty text is contained in every path; it must not remove camera 0.
    if (!szDevPath.empty()) {
        for (std::size_t i = 0; i < m_oDevs.size(); ++i) {
            if (m_oDevs[i] != nullptr && m_oDevs[i]->m_szDevPath.find(szDevPath) != std::wstring::npos) {
                result = DevsDelElement(static_cast<std::uint8_t>(i));
                break;
            }
        }
    }
    XTRACE(0)("%s <===", "CLumoCtrl::DevsDelElement");
    return result;
}

void CLumoCtrl::FreeDevs() {
    XTRACE(0)(XTRACE_LINE_STAR);
    XTRACE(0)("%s ===>", "CLumoCtrl::FreeDevs");
    while (!m_oDevs.empty()) DevsDelElement(static_cast<std::uint8_t>(0));
    m_nDevCount = 0;
    XTRACE(0)("%s <===", "CLumoCtrl::FreeDevs");
    XTRACE(0)(XTRACE_LINE_STAR);
}

std::int32_t CLumoCtrl::DeviceChangeRegister(const TAVIX_NOTICE_RECIPIENT* pRecipient) {
    XTRACE(0)("%s ===>", "CLumoCtrl::DeviceChangeRegister");
    std::int32_t result = 0;
    DeviceInterfaceNotice filter;
    filter.size = 32;
    filter.deviceType = DBT_DEVTYP_DEVICEINTERFACE;
    filter.reserved = 0;
    filter.classGuid = guids::kVideoCaptureInterfaceClass;
    std::uint32_t lastError = ERROR_SUCCESS;
    std::uint64_t handle = 0;
    // A newer registration, or a call without a recipient, ends the older one: it would
    // otherwise go on delivering notices with no handle left to end it.
    if (m_hDevNotify != 0) {
        std::uint32_t ignored = 0;
        deviceWorld().UnregisterDeviceNotification(m_hDevNotify, &ignored);
        m_hDevNotify = 0;
    }
    if (pRecipient == nullptr || pRecipient->callback == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;  // no window to send notices to
    } else {
        // The record is copied: the host's copy need not outlive the call.
        const TAVIX_NOTICE_RECIPIENT recipient = *pRecipient;
        auto deliver = [recipient](std::uint32_t eventType, const DeviceInterfaceNotice& notice) {
            TAVIX_DEVICE_INTERFACE_NOTICE out{};
            out.dbcc_size = notice.size;
            out.dbcc_devicetype = notice.deviceType;
            out.dbcc_reserved = notice.reserved;
            const auto bytes = notice.classGuid.toBytes();
            std::copy(bytes.begin(), bytes.end(), out.dbcc_classguid);
            out.dbcc_name = notice.name.c_str();
            recipient.callback(recipient.context, eventType, &out);
        };
        handle =
            deviceWorld().RegisterDeviceNotification(deliver, filter, DEVICE_NOTIFY_ALL_INTERFACE_CLASSES, &lastError);
    }
    m_hDevNotify = handle;
    if (handle != 0) {
        XTRACE(0)("SUCCEED. m_hDevNotify = 0x%08X", static_cast<unsigned>(handle));
        result = 1;
    } else {
        XTRACE(4)("FAILED. GetLastError() = %d XXXXXXXXXX", static_cast<int>(lastError));
    }
    XTRACE(0)("%s <===", "CLumoCtrl::DeviceChangeRegister");
    return result;
}

std::int32_t CLumoCtrl::DeviceChangeUnregister() {
    XTRACE(0)("%s ===>", "CLumoCtrl::DeviceChangeUnregister");
    std::int32_t result = 0;
    if (m_hDevNotify != 0) {
        std::uint32_t lastError = ERROR_SUCCESS;
        const bool ok = deviceWorld().UnregisterDeviceNotification(m_hDevNotify, &lastError);
        if (ok) {
            XTRACE(3)("SUCCEED.");
        } else {
            XTRACE(4)("FAILED. GetLastError() = %d XXXXXXXXXX", static_cast<int>(lastError));
        }
        m_hDevNotify = 0;
        result = ok ? 1 : 0;
    }
    XTRACE(0)("%s <===", "CLumoCtrl::DeviceChangeUnregister");
    return result;
}

std::int32_t CLumoCtrl::QueryExtRom() {
    XTRACE(0)(XTRACE_LINE_EQ);
    XTRACE(0)("%s ===>", "CLumoCtrl::QueryExtRom");
    std::int32_t result = 1;
    // Every camera's ROM is detected before any camera gets its ROM type set. One camera's
    // failure must not stop the others: a blank camera's EEPROM probe leaves its controller
    // on the I2C route, and only its second pass puts it back on the route of its ROM.
    std::vector<bool> detected;
    for (CLumoDev* dev : m_oDevs) {
        const bool ok = dev->QueryExtRomType() != 0;  // a failed one is left with size 0
        if (!ok) result = 0;
        detected.push_back(ok);
    }
    for (std::size_t i = 0; i < m_oDevs.size(); ++i) {
        CLumoDev* dev = m_oDevs[i];
        if (!detected[i] || dev->m_dwRomSize == 0xFFFFFFFFu) continue;  // no ROM size known
        if (!dev->SetExtRomType()) {
            // The controller was not told: writing now would go to whatever route it is on.
            dev->m_dwRomSize = 0;
            result = 0;
        }
    }
    if (!result) {
        XTRACE(4)("QueryExtRom FAILED.XXXXXXXXXX");
    }
    XTRACE(0)("%s <===", "CLumoCtrl::QueryExtRom");
    XTRACE(0)(XTRACE_LINE_EQ);
    return result;
}
