#include "sdk/LumoCtrl.h"

#include "common/trace/DEdura.h"

CLumoCtrl::CLumoCtrl() {
    // The component object system needs no start on Linux; the record stays. It precedes the
    // trace start-up and so goes nowhere.
    XTRACE(0)("=== CLumoCtrl::CLumoCtrl ====");
}

CLumoCtrl::~CLumoCtrl() {
    XTRACE(0)("=== CLumoCtrl::~CLumoCtrl ====");
    // TODO(registry): delete the cameras still registered here (needs sdk/device/LumoDev.h for
    // the complete type); until then only the array storage is released.
    m_oDevs.clear();
    m_nDevCount = 0;
}

CLumoCtrl& CLumoCtrl::Instance() {
    static CLumoCtrl s_ctrl;
    return s_ctrl;
}
