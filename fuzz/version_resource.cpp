// Version resources: the product version of an arbitrary file, through the export.
#include "fuzz/FuzzSupport.h"
#include "platform/TextConv.h"
#include "sdk/LumoSDK.h"

namespace lumo::fuzz::version_resource {

int lumoFuzzOne(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::wstring path = lumo::os::fromUtf8(writeScratchFile("module.so", in.rest()));
    std::wstring version = L"unchanged";
    if (TAVIX_GetProductVersion(path.c_str(), version)) {
        LUMO_FUZZ_CHECK(!version.empty() && version[0] == L'v');
    } else {
        LUMO_FUZZ_CHECK(version == L"unchanged");
    }
    return 0;
}

}  // namespace lumo::fuzz::version_resource

LUMO_FUZZ_TARGET(version_resource)
