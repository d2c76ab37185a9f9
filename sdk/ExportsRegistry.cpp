// The registry exports: enumeration, removal, ROM detection over all cameras, and the
// device-change registration.
#include <cwctype>

#include "sdk/ExportFrame.h"
#include "sdk/LumoSDK.h"
#include "sdk/device/LumoDev.h"

using lumo::frame::I;
using lumo::frame::withDevice;
using lumo::frame::withRegistry;

TAVIX_API int32_t TAVIX_EnumDevs(void) {
    return CLumoCtrl::Instance().EnumDevs();
}

TAVIX_API int32_t TAVIX_FreeDevs(void) {
    return withRegistry([](CLumoCtrl& ctrl) {
        ctrl.FreeDevs();
        return 1;
    });
}

// 1 whatever the detection found.
TAVIX_API int32_t TAVIX_QueryExtRom(void) {
    return withRegistry([](CLumoCtrl& ctrl) {
        ctrl.QueryExtRom();
        return 1;
    });
}

TAVIX_API int32_t TAVIX_DeviceChangeRegister(TAVIX_NOTICE_RECIPIENT* window) {
    return CLumoCtrl::Instance().DeviceChangeRegister(window);
}

TAVIX_API int32_t TAVIX_DeviceChangeUnregister(void) {
    return CLumoCtrl::Instance().DeviceChangeUnregister();
}

// The caller's string comes back upper-cased and cut before its first "{"; 1 whether or not
// a camera matched.
TAVIX_API int32_t TAVIX_DevsDelByPath(std::wstring& path) {
    return withRegistry([&](CLumoCtrl& ctrl) {
        for (wchar_t& c : path) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
        ctrl.DevsDelElement(path);
        return 1;
    });
}

TAVIX_API int32_t TAVIX_DevsDelByIndex(uint8_t index) {
    return withDevice<I>(index, [&](CLumoDev&) { return CLumoCtrl::Instance().DevsDelElement(index); });
}
