#include "sdk/uvc/UvcDev.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "common/trace/DEdura.h"
#include "platform/Clock.h"
#include "sdk/uvc/UvcIdentity.h"

using namespace lumo::os;

namespace {

// Node request (class-driver mode): GUID, Id, Flags, NodeId, Reserved.
constexpr std::uint32_t kNodeRequestLength = 32;
// Property-set block: the same first 24 bytes, then the control's data. 32 data bytes fit
// the fixed block; longer data (the 35-byte sequence blocks) grows it to 24 + length.
constexpr std::uint32_t kDataOffset = 24;
constexpr std::uint32_t kInstanceLength = 32;
constexpr std::uint32_t kPropSetBlockLength = 56;
// Blocks up to this size live on the stack; only unusually long data allocates.
constexpr std::uint32_t kInlineBlockLength = 128;

constexpr std::uint32_t KSPROPERTY_TYPE_GET = 0x00000001;
constexpr std::uint32_t KSPROPERTY_TYPE_SET = 0x00000002;
constexpr std::uint32_t KSPROPERTY_TYPE_TOPOLOGY = 0x10000000;

constexpr std::uint32_t GENERIC_READ_WRITE = 0xC0000000;
constexpr std::uint32_t FILE_FLAGS_OVERLAPPED_NORMAL = 0x40000080;
constexpr std::uint32_t kCompletionWaitMs = 2000;
constexpr std::uint32_t kFailurePauseMs = 5;
constexpr std::uint32_t kOpenPauseMs = 300;

constexpr std::uint32_t DIGCF_PRESENT_PROFILE = 0x0A;
constexpr std::size_t kMaxClassGuids = 8;
constexpr std::size_t kMaxInstanceId = 260;
constexpr std::size_t kHardwareIdChars = 260;  // 520 bytes

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// GUID, Id and Flags: the first 24 bytes of either block.
void PutPropertyHeader(std::uint8_t* block, const Guid& unit, std::uint8_t selector, std::uint32_t flags) {
    const auto g = unit.toBytes();
    std::memcpy(block, g.data(), g.size());
    PutLe32(block + 16, selector);
    PutLe32(block + 20, flags);
}

bool Failed(HRESULT hr) {
    return (hr & 0x80000000u) != 0;
}

// The round trip through the ANSI staging buffer: what the code page cannot hold becomes '?'.
std::wstring ThroughAnsi(const std::wstring& value) {
    std::wstring out(value);
    for (auto& c : out) {
        if (static_cast<std::uint32_t>(c) > 0xFF) c = L'?';
    }
    return out;
}

enum class Unit { Vendor, H264 };

struct PropPageSlot {
    int slot;
    std::int32_t propertyId;
    const char* trace;
};

// Processing-unit slots in the order they are read; 10 and 11 are reserved.
constexpr PropPageSlot kProcessingUnitSlots[] = {
    {0, 0, "m_ProcessingUnit[BRIGHTNESS].Val=%x"},
    {1, 1, "m_ProcessingUnit[CONTRAST].Val=%x"},
    {2, 2, "m_ProcessingUnit[HUE].Val=%x"},
    {3, 3, "m_ProcessingUnit[SATURATION].Val=%x"},
    {4, 4, "m_ProcessingUnit[SHARPNESS].Val=%x"},
    {5, 5, "m_ProcessingUnit[GAMMA].Val=%x"},
    {6, 7, "m_ProcessingUnit[WHITE_BALANCE].Val=%x"},
    {7, 9, "m_ProcessingUnit[GAIN].Val=%x"},
    {8, 8, "m_ProcessingUnit[BACKLIGHT_COMPENSATION].Val=%x"},
    {9, 13, "m_ProcessingUnit[POWER_LINE_FREQENCY].Val=%x"},
    {12, 6, "m_ProcessingUnit[COLOR_ENABLE].Val=%x"},
};

constexpr PropPageSlot kCameraTerminalSlots[] = {
    {0, 0, "m_CameraTerminal[PAN].Val=%x"},      {1, 1, "m_CameraTerminal[TILT].Val=%x"},
    {2, 2, "m_CameraTerminal[ROLL].Val=%x"},     {3, 3, "m_CameraTerminal[ZOOM].Val=%x"},
    {4, 4, "m_CameraTerminal[EXPOSURE].Val=%x"}, {5, 5, "m_CameraTerminal[IRIS].Val=%x"},
    {6, 6, "m_CameraTerminal[FOCUS].Val=%x"},    {7, 19, "m_CameraTerminal[AUTO_EXPOSURE_PRIORITY].Val=%x"},
};

void ReadControl(IVideoControlValues& controls, PropPageCtrl& rec, const PropPageSlot& slot) {
    if (rec.Enable != 1) return;
    controls.GetRange(slot.propertyId, &rec.Min, &rec.Max, &rec.Step, &rec.Default, &rec.Flags);
    if (controls.Get(slot.propertyId, &rec.Val, &rec.Flags) == S_OK) {
        XTRACE(2)(slot.trace, static_cast<unsigned>(rec.Val));
    }
}

}  // namespace

CUvcDev::CUvcDev() {
    XTRACE(0)("=== CUvcDev::CUvcDev ====");
}

CUvcDev::~CUvcDev() {
    ReleaseIoHandle();
    if (m_pBaseFilter) {
        XTRACE(0)("*** RELEASING m_pBaseFilter = 0x%08X", xtracing_ptr(m_pBaseFilter.get()));
        m_pBaseFilter.reset();
    }
    XTRACE(0)("=== CUvcDev::~CUvcDev ====");
}

std::int32_t CUvcDev::QueryPropBagParams(IPropertyBag* pPropertyBag) {
    XTRACE(0)(XTRACE_LINE_DASH);
    XTRACE(0)("%s ===>", "CUvcDev::QueryPropBagParams");
    std::int32_t result = 1;
    struct Item {
        const wchar_t* name;
        std::wstring* field;
        const char* failure;
        const char* success;
        bool upper;
    };
    const Item items[] = {
        {L"FriendlyName", &m_szFriendlyName, "pPropertyBag->Read(FriendlyName) FAILED. hResult = 0x%08X XXXXXXXXXX",
         "FriendlyName = %ws", false},
        {L"CLSID", &m_szClsid, "pPropertyBag->Read(CLSID) FAILED. hResult = 0x%08X XXXXXXXXXX", "CLSID = %ws", false},
        {L"DevicePath", &m_szDevPath, "pPropertyBag->Read(DevicePath) FAILED. hResult = 0x%08X XXXXXXXXXX",
         "DevicePath = %ws", true},
    };
    for (const auto& item : items) {
        std::wstring value;
        const HRESULT hr = pPropertyBag ? pPropertyBag->Read(item.name, value) : E_POINTER;
        if (Failed(hr)) {
            XTRACE(4)(item.failure, static_cast<unsigned>(hr));
            result = 0;
            break;
        }
        // Kept whole even beyond 259 characters: a cut device path would match nothing.
        *item.field = ThroughAnsi(value);
        if (item.upper) *item.field = lumo::uvc::ToUpperW(*item.field);
        XTRACE(0)(item.success, item.field->c_str());
    }
    XTRACE(0)("%s <===", "CUvcDev::QueryPropBagParams");
    XTRACE(0)(XTRACE_LINE_DASH);
    return result;
}

std::int32_t CUvcDev::QueryDriverType() {
    XTRACE(0)("%s ===>", "CUvcDev::QueryDriverType");
    if (!m_pBaseFilter) {
        XTRACE(4)("m_pBaseFilter REQUIRED for getting IKsTopologyInfo. XXXXXXXXXX");
        XTRACE(0)("%s <===", "CUvcDev::QueryDriverType");
        return 0;
    }
    std::shared_ptr<ITopologyInfo> topology;
    HRESULT hr = m_pBaseFilter->QueryTopologyInfo(&topology);
    if (Failed(hr) || !topology) {
        if (!Failed(hr)) hr = E_NOINTERFACE;
        XTRACE(4)("Get IKsTopologyInfo FAILED. hResult = 0x%08X XXXXXXXXXX", static_cast<unsigned>(hr));
        m_eDriver = DRIVER_NO_TOPOLOGY;
        XTRACE(0)("m_eDriver = %d", static_cast<int>(m_eDriver));
        XTRACE(0)("%s <===", "CUvcDev::QueryDriverType");
        return 0;
    }
    m_eDriver = FindXuNodeId(topology.get(), &m_dwXuNodeId) ? INBOX_UVC : TAVIX_AVStream;
    XTRACE(0)("m_eDriver = %d", static_cast<int>(m_eDriver));
    topology.reset();
    XTRACE(0)("%s <===", "CUvcDev::QueryDriverType");
    return 1;
}

std::int32_t CUvcDev::FindXuNodeId(ITopologyInfo* pTopologyInfo, std::uint32_t* pNodeId) {
    if (!pTopologyInfo || !pNodeId) return 0;
    std::uint32_t count = 0;
    if (Failed(pTopologyInfo->get_NumNodes(&count))) return 0;
    for (std::uint32_t node = 0; node < count; ++node) {
        Guid type;
        if (Failed(pTopologyInfo->get_NodeType(node, &type))) continue;
        if (type == guids::kNodeTypeDevSpecific) {
            *pNodeId = node;
            XTRACE(0)("dwXuNodeId = %d", static_cast<int>(node));
            return 1;
        }
    }
    return 0;
}

std::int32_t CUvcDev::AcquireIoHandle() {
    XTRACE(0)("%s ===>", "CUvcDev::AcquireIoHandle");
    auto leave = [](std::int32_t r) {
        XTRACE(0)("%s <===", "CUvcDev::AcquireIoHandle");
        return r;
    };
    if (!m_pBaseFilter) {
        XTRACE(4)("m_pBaseFilter REQUIRED for getting IKsPropertySet. XXXXXXXXXX");
        return leave(0);
    }
    if (m_szDevPath.empty()) {
        XTRACE(4)("m_szDevPath REQUIRED. XXXXXXXXXX");
        return leave(0);
    }
    ReleaseIoHandle();

    HRESULT hr = m_pBaseFilter->QueryPropertySet(&m_pKsPropertySet);
    if (!m_pKsPropertySet) {
        if (!Failed(hr)) hr = E_NOINTERFACE;
        XTRACE(4)("QueryInterface(IKsPropertySet) FAILED. hResult = 0x%08X XXXXXXXXXX", static_cast<unsigned>(hr));
        return leave(0);
    }
    XTRACE(0)("ACQUIRING m_pKsPropertySet = 0x%08X", xtracing_ptr(m_pKsPropertySet.get()));

    lumo::os::Sleep(kOpenPauseMs);

    std::uint32_t lastError = 0;
    m_hDev = deviceWorld().CreateFile(m_szDevPath, GENERIC_READ_WRITE, 0, FILE_FLAGS_OVERLAPPED_NORMAL, &lastError);
    if (!m_hDev) {
        XTRACE(4)("CreateFile(m_szDevPath) FAILED.XXXXXXXXXX");
        return leave(0);
    }
    XTRACE(0)("ACQUIRING m_hDev = 0x%08X", m_hDev->TraceValue());
    return leave(1);
}

void CUvcDev::ReleaseIoHandle() {
    if (m_hDev) {
        XTRACE(0)("RELEASING m_hDev = 0x%08X", m_hDev->TraceValue());
        m_hDev.reset();
    }
    if (m_pKsPropertySet) {
        XTRACE(0)("RELEASING m_pKsPropertySet = 0x%08X", xtracing_ptr(m_pKsPropertySet.get()));
        m_pKsPropertySet.reset();
    }
}

namespace {

// One get or set through either mode; the four public operations only name unit and direction.
std::int32_t XuRequest(CUvcDev& dev, const char* name, Unit unit, bool set, std::uint8_t selector, std::uint8_t* data,
                       std::uint32_t length, std::uint32_t* bytesReturned) {
    XTRACE(3)("%s ===>", name);
    const Guid& unitGuid = unit == Unit::Vendor ? guids::kVendorXu : guids::kH264Xu;
    std::int32_t result = 0;
    if (length != 0 && data == nullptr) {
        XTRACE(4)("data REQUIRED.XXXXXXXXXX");
    } else if (dev.m_eDriver == INBOX_UVC) {
        if (!dev.m_hDev) {
            XTRACE(4)("m_hDev REQUIRED.XXXXXXXXXX");
        } else {
            std::array<std::uint8_t, kNodeRequestLength> block{};
            PutPropertyHeader(block.data(), unitGuid, selector,
                              KSPROPERTY_TYPE_TOPOLOGY | (set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET));
            PutLe32(block.data() + 24, unit == Unit::Vendor ? dev.m_dwXuNodeId : dev.m_dwH264XuNodeId);
            // offset 28, Reserved: zero
            result = dev.SendXuCmd(block.data(), data, length, bytesReturned);
            if (!result) {
                XTRACE(4)("SendXuCmd REQUIRED.XXXXXXXXXX");
            }
        }
    } else if (!dev.m_pKsPropertySet) {
        XTRACE(4)("m_pKsPropertySet REQUIRED.XXXXXXXXXX");
    } else {
        const std::uint32_t blockLength = std::max(kPropSetBlockLength, kDataOffset + length);
        std::array<std::uint8_t, kInlineBlockLength> inlineBlock{};
        std::vector<std::uint8_t> bigBlock;
        std::uint8_t* block = inlineBlock.data();
        if (blockLength > kInlineBlockLength) {
            bigBlock.assign(blockLength, 0);
            block = bigBlock.data();
        }
        PutPropertyHeader(block, unitGuid, selector, set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET);
        std::uint32_t localReturned = 0;
        if (set) {
            if (length) std::memcpy(block + kDataOffset, data, length);
            const HRESULT hr =
                dev.m_pKsPropertySet->Set(unitGuid, selector, block + kDataOffset, kInstanceLength, block, blockLength);
            if (hr == S_OK) {
                result = 1;
            } else {
                XTRACE(4)("m_pKsPropertySet->Set() FAILED. hResult = 0x%08X XXXXXXXXXX", static_cast<unsigned>(hr));
            }
        } else {
            const HRESULT hr =
                dev.m_pKsPropertySet->Get(unitGuid, selector, block + kDataOffset, kInstanceLength, block, blockLength,
                                          bytesReturned ? bytesReturned : &localReturned);
            if (hr == S_OK) {
                if (length) std::memcpy(data, block + kDataOffset, length);
                result = 1;
            } else {
                XTRACE(4)("m_pKsPropertySet->Get() FAILED. hResult = 0x%08X XXXXXXXXXX", static_cast<unsigned>(hr));
            }
        }
    }
    XTRACE(3)("%s <===", name);
    return result;
}

}  // namespace

std::int32_t CUvcDev::SetExtensionProperty(std::uint8_t selector, std::uint8_t* data, std::uint32_t length,
                                           std::uint32_t* bytesReturned) {
    return XuRequest(*this, "CUvcDev::SetExtensionProperty", Unit::Vendor, true, selector, data, length, bytesReturned);
}

std::int32_t CUvcDev::GetExtensionProperty(std::uint8_t selector, std::uint8_t* data, std::uint32_t length,
                                           std::uint32_t* bytesReturned) {
    return XuRequest(*this, "CUvcDev::GetExtensionProperty", Unit::Vendor, false, selector, data, length,
                     bytesReturned);
}

std::int32_t CUvcDev::SetH264ExtensionProperty(std::uint8_t selector, std::uint8_t* data, std::uint32_t length,
                                               std::uint32_t* bytesReturned) {
    return XuRequest(*this, "CUvcDev::SetH264ExtensionProperty", Unit::H264, true, selector, data, length,
                     bytesReturned);
}

std::int32_t CUvcDev::GetH264ExtensionProperty(std::uint8_t selector, std::uint8_t* data, std::uint32_t length,
                                               std::uint32_t* bytesReturned) {
    return XuRequest(*this, "CUvcDev::GetH264ExtensionProperty", Unit::H264, false, selector, data, length,
                     bytesReturned);
}

std::int32_t CUvcDev::SendXuCmd(const std::uint8_t* requestBlock, std::uint8_t* data, std::uint32_t length,
                                std::uint32_t* bytesReturned) {
    XTRACE(3)("%s ===>", "CUvcDev::SendXuCmd");
    std::uint32_t localReturned = 0;
    std::uint32_t* returned = bytesReturned ? bytesReturned : &localReturned;
    bool ok = false;
    if (m_hDev && requestBlock) {
        std::unique_ptr<IPendingIo> pending;
        std::uint32_t lastError = 0;
        ok = m_hDev->DeviceIoControl(IOCTL_KS_PROPERTY, requestBlock, kNodeRequestLength, data, length, returned,
                                     &pending, &lastError);
        if (!ok && lastError == ERROR_IO_PENDING && pending) {
            const std::uint32_t wait = pending->Wait(kCompletionWaitMs);
            if (wait == WAIT_OBJECT_0) {
                ok = pending->GetResult(returned, &lastError);
            } else {
                if (wait == WAIT_TIMEOUT) {
                    XTRACE(4)("Timeout!!! XXXXXXXXXX");
                }
                // The buffers are this call's: the request must not outlive it.
                pending->Cancel();
            }
        }
    }
    if (!ok) lumo::os::Sleep(kFailurePauseMs);
    XTRACE(3)("%s <===", "CUvcDev::SendXuCmd");
    return ok ? 1 : 0;
}

void FilterHardwareID(wchar_t* instanceId, wchar_t* out) {
    XTRACE(0)("%s ===>", "FilterHardwareID");
    if (instanceId && out) {
        // Split in place: separators become terminators, runs of them count as one.
        int part = 0;
        wchar_t* start = nullptr;
        for (wchar_t* p = instanceId;; ++p) {
            const bool sep = *p == L'\\' || *p == L'\0';
            if (!sep && !start) start = p;
            if (sep && start) {
                const bool end = *p == L'\0';
                *p = L'\0';
                if (++part == 3) {
                    std::wcscpy(out, start);
                    break;
                }
                start = nullptr;
                if (end) break;
            } else if (*p == L'\0') {
                break;
            }
        }
    }
    XTRACE(0)("%s <===", "FilterHardwareID");
}

std::int32_t CUvcDev::SetupDiGetDevice(std::wstring* hardwareIds) {
    XTRACE(0)("%s ===>", "CUvcDev::SetupDiGetDevice");
    auto leave = [](std::int32_t r) {
        XTRACE(0)("%s <===", "CUvcDev::SetupDiGetDevice");
        return r;
    };
    std::vector<Guid> classGuids;
    if (!deviceWorld().SetupDiClassGuidsFromName(L"Image", &classGuids)) return leave(0);
    if (classGuids.size() > kMaxClassGuids) classGuids.resize(kMaxClassGuids);

    for (const auto& classGuid : classGuids) {
        std::vector<SetupDevice> devices;
        if (!deviceWorld().SetupDiGetClassDevs(classGuid, DIGCF_PRESENT_PROFILE, &devices)) return leave(0);
        for (const auto& device : devices) {
            if (device.instanceId.size() >= kMaxInstanceId) continue;  // does not fit the 260-character read
            std::array<wchar_t, kMaxInstanceId> id{};
            std::array<wchar_t, kMaxInstanceId> part{};
            std::wcscpy(id.data(), device.instanceId.c_str());
            FilterHardwareID(id.data(), part.data());
            if (part[0] == L'\0') continue;
            if (m_szDevPath.find(lumo::uvc::ToUpperW(part.data())) == std::wstring::npos) continue;

            // The hardware ID list as the registry property holds it: NUL-terminated strings
            // and a closing NUL, in a 520-byte buffer.
            std::wstring list;
            for (const auto& hid : device.hardwareIds) {
                list += hid;
                list += L'\0';
            }
            list += L'\0';
            if (list.size() > kHardwareIdChars || !hardwareIds) return leave(0);
            list.resize(kHardwareIdChars, L'\0');
            *hardwareIds = std::move(list);
            return leave(1);
        }
    }
    return leave(0);
}

std::int32_t CUvcDev::QueryPropertyPages(const PropPageCtrl* processingUnit13, const PropPageCtrl* cameraTerminal8) {
    XTRACE(2)("%s ===>", "CUvcDev::QueryPropertyPages");
    auto leave = [](std::int32_t r) {
        XTRACE(2)("%s <===", "CUvcDev::QueryPropertyPages");
        return r;
    };
    std::shared_ptr<IVideoProcAmp> procAmp;
    std::shared_ptr<ICameraControl> cameraControl;
    if (!m_pBaseFilter || !processingUnit13 || !cameraTerminal8 || Failed(m_pBaseFilter->QueryVideoProcAmp(&procAmp)) ||
        !procAmp) {
        XTRACE(4)("QueryPropertyPages FAILED.XXXXXXXXXX");
        return leave(0);
    }
    if (Failed(m_pBaseFilter->QueryCameraControl(&cameraControl)) || !cameraControl) {
        XTRACE(4)("QueryPropertyPages FAILED.XXXXXXXXXX");
        return leave(0);
    }
    std::copy(processingUnit13, processingUnit13 + 13, m_ProcessingUnit);
    std::copy(cameraTerminal8, cameraTerminal8 + 8, m_CameraTerminal);
    for (const auto& slot : kProcessingUnitSlots) ReadControl(*procAmp, m_ProcessingUnit[slot.slot], slot);
    for (const auto& slot : kCameraTerminalSlots) ReadControl(*cameraControl, m_CameraTerminal[slot.slot], slot);
    return leave(1);
}
