// The exports that need no camera operation: the device count and the product version.
#include <new>
#include <string>

#include "common/trace/DEdura.h"
#include "platform/TextConv.h"
#include "platform/VersionResource.h"
#include "sdk/LumoCtrl.h"
#include "sdk/LumoSDK.h"

TAVIX_API void TAVIX_GetDevCount(uint8_t* count) {
    if (count == nullptr) return;  // nowhere to write
    *count = static_cast<uint8_t>(CLumoCtrl::Instance().m_nDevCount);
}

TAVIX_API int32_t TAVIX_GetProductVersion(const wchar_t* filePath, std::wstring& version) {
    try {
        std::string value;
        if (filePath == nullptr || !lumo::os::VerQueryFileValue(lumo::os::toUtf8(filePath),
                                                                "\\StringFileInfo\\040403b6\\ProductVersion", value)) {
            XTRACE(4)("Can't obtain VerInfoValue from resources.XXXXXXXXXX");
            return 0;
        }
        version = L"v" + lumo::os::fromUtf8(value);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;  // nothing is thrown across the boundary
    }
}
