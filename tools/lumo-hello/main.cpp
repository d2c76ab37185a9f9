// lumo-hello: a tiny host program. Loads the library, prints its product version and the
// number of cameras it has registered.
#include <cstdio>
#include <string>

#include "sdk/LumoSDK.h"

int main(int argc, char** argv) {
    const std::wstring lib = argc > 1 ? std::wstring(argv[1], argv[1] + std::char_traits<char>::length(argv[1]))
                                      : std::wstring(LUMO_SDK_FILE, LUMO_SDK_FILE + sizeof(LUMO_SDK_FILE) - 1);
    std::wstring version = L"(unknown)";
    const int32_t ok = TAVIX_GetProductVersion(lib.c_str(), version);
    uint8_t count = 0;
    TAVIX_GetDevCount(&count);
    std::printf("LumoSDK %ls\ncameras: %u\n", version.c_str(), static_cast<unsigned>(count));
    return ok ? 0 : 1;
}
