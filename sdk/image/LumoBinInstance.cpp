// The process-wide loader compares images with the registry's reference camera.
#include <cstring>

#include "sdk/LumoCtrl.h"
#include "sdk/device/LumoDev.h"
#include "sdk/image/LumoBin.h"

CLumoBin& CLumoBin::Instance() {
    static CLumoBin s_bin([]() -> std::optional<std::string> {
        CLumoCtrl& ctrl = CLumoCtrl::Instance();
        const auto ref = static_cast<std::size_t>(ctrl.m_nRefDevIdx);
        if (ctrl.m_nDevCount <= 0 || ref >= ctrl.m_oDevs.size() || ctrl.m_oDevs[ref] == nullptr) return std::nullopt;
        const auto& sig = ctrl.m_oDevs[ref]->m_Backend.szSignature;
        return std::string(sig.data(), ::strnlen(sig.data(), sig.size()));
    });
    return s_bin;
}
