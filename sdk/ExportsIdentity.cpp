// Identity and module information: copies of what the enumeration learnt about a camera,
// and the property-page values read through the capture filter. A null destination is
// refused with 0 before anything is copied.
#include <cstring>
#include <optional>
#include <string>

#include "sdk/ExportFrame.h"
#include "sdk/LumoSDK.h"
#include "sdk/device/LumoDev.h"

using lumo::frame::I;
using lumo::frame::withDevice;

namespace {

// The hexadecimal number right after `key` in text, truncated to 16 bits; nothing when the
// key is missing or no digit follows it.
std::optional<std::uint16_t> HexAfter(const std::wstring& text, const wchar_t* key) {
    const std::size_t at = text.find(key);
    if (at == std::wstring::npos) return std::nullopt;
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (std::size_t i = at + std::wcslen(key); i < text.size(); ++i, ++digits) {
        const wchar_t c = text[i];
        std::uint32_t d = 0;
        if (c >= L'0' && c <= L'9')
            d = static_cast<std::uint32_t>(c - L'0');
        else if (c >= L'A' && c <= L'F')
            d = static_cast<std::uint32_t>(c - L'A' + 10);
        else if (c >= L'a' && c <= L'f')
            d = static_cast<std::uint32_t>(c - L'a' + 10);
        else
            break;
        value = ((value << 4) | d) & 0xFFFFu;
    }
    if (digits == 0) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

void CopyOut(TAVIX_PROP_PAGE_CTRL* out, const PropPageCtrl* in, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] =
            TAVIX_PROP_PAGE_CTRL{in[i].Enable, in[i].Min, in[i].Max, in[i].Step, in[i].Default, in[i].Flags, in[i].Val};
}

template <std::size_t N>
void CopyIn(PropPageCtrl (&out)[N], const TAVIX_PROP_PAGE_CTRL* in) {
    for (std::size_t i = 0; i < N; ++i)
        out[i] = PropPageCtrl{in[i].Enable, in[i].Min, in[i].Max, in[i].Step, in[i].Default, in[i].Flags, in[i].Val};
}

}  // namespace

TAVIX_API int32_t TAVIX_GetPropPageCurVal(TAVIX_PROP_PAGE_CTRL* processingUnit13, TAVIX_PROP_PAGE_CTRL* cameraTerminal8,
                                          uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) -> int32_t {
        if (processingUnit13 == nullptr || cameraTerminal8 == nullptr) return 0;
        PropPageCtrl pu[TAVIX_PU_COUNT];
        PropPageCtrl ct[TAVIX_CT_COUNT];
        CopyIn(pu, processingUnit13);
        CopyIn(ct, cameraTerminal8);
        if (!dev.QueryPropertyPages(pu, ct)) return 0;
        CopyOut(processingUnit13, dev.m_ProcessingUnit, TAVIX_PU_COUNT);
        CopyOut(cameraTerminal8, dev.m_CameraTerminal, TAVIX_CT_COUNT);
        return 1;
    });
}

TAVIX_API int32_t TAVIX_GetModuleInfo(uint16_t* sensorApId, uint16_t* extFwVer, uint8_t* setfileVer12, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) -> int32_t {
        if (sensorApId == nullptr || extFwVer == nullptr || setfileVer12 == nullptr) return 0;
        *sensorApId = dev.m_wExtSensorApId;
        *extFwVer = dev.m_wExtFwVer;
        std::memcpy(setfileVer12, dev.m_szSetfileVer.data(), 12);
        return 1;
    });
}

TAVIX_API int32_t TAVIX_GetBackendInfo(uint8_t* signature4, uint8_t* partNo8, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) -> int32_t {
        if (signature4 == nullptr || partNo8 == nullptr) return 0;
        std::memcpy(signature4, dev.m_Backend.szSignature.data(), 4);
        std::memcpy(partNo8, dev.m_Backend.szPartNo.data(), 8);
        return 1;
    });
}

TAVIX_API int32_t TAVIX_GetFlashSize(uint32_t* romSize, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) -> int32_t {
        if (romSize == nullptr) return 0;
        *romSize = dev.m_dwRomSize;
        return 1;
    });
}

// A camera whose path carried no "VID_" or "PID_" has no identifiers to report: 0, and the
// destinations are left alone.
TAVIX_API int32_t TAVIX_GetPidVid(uint16_t* vendorId, uint16_t* productId, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) -> int32_t {
        if (vendorId == nullptr || productId == nullptr) return 0;
        const auto vid = HexAfter(dev.m_szVidPid, L"VID_");
        const auto pid = HexAfter(dev.m_szVidPid, L"PID_");
        if (!vid || !pid) return 0;
        *vendorId = *vid;
        *productId = *pid;
        return 1;
    });
}

TAVIX_API int32_t TAVIX_GetBcdDevice(uint16_t* bcdDevice, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) -> int32_t {
        if (bcdDevice == nullptr) return 0;
        *bcdDevice = dev.m_wBcdDevice;
        return 1;
    });
}

TAVIX_API int32_t TAVIX_GetXuCtrlVer(uint8_t* ctrlVer12, uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev& dev) -> int32_t {
        if (ctrlVer12 == nullptr) return 0;
        std::memcpy(ctrlVer12, dev.m_CtrlVer.bytes.data(), CtrlVerRecord::kSize);
        return 1;
    });
}
