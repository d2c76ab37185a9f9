#include "platform/linux/WindowsDevicePath.h"

#include <cwchar>

#include "platform/Guid.h"
#include "platform/linux/LinuxText.h"

namespace lumo::os::linuxworld {
namespace {

std::uint32_t fnv1a(const std::string& text) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

std::wstring format(const wchar_t* fmt, auto... args) {
    wchar_t buf[160];
    const int n = std::swprintf(buf, sizeof buf / sizeof buf[0], fmt, args...);
    return n > 0 ? std::wstring(buf, static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring vidPidMi(const UsbInterfaceIdentity& id, bool upper) {
    return format(upper ? L"VID_%04X&PID_%04X&MI_%02X" : L"VID_%04x&PID_%04x&MI_%02x", unsigned{id.vendorId},
                  unsigned{id.productId}, unsigned{id.interfaceNumber});
}

}  // namespace

std::wstring makeInstance(const UsbInterfaceIdentity& id) {
    return format(L"6&%08x&0&%04x", static_cast<unsigned>(fnv1a(id.portPath)), unsigned{id.interfaceNumber});
}

std::wstring makeDevicePath(const UsbInterfaceIdentity& id) {
    return L"\\\\?\\USB#" + vidPidMi(id, false) + L"#" + makeInstance(id) + L"#" +
           guids::kVideoCaptureInterfaceClass.toWString() + L"\\GLOBAL";
}

std::wstring makeInstanceId(const UsbInterfaceIdentity& id) {
    return upperWide(L"USB\\" + vidPidMi(id, true) + L"\\" + makeInstance(id));
}

std::vector<std::wstring> makeHardwareIds(const UsbInterfaceIdentity& id) {
    return {format(L"USB\\VID_%04X&PID_%04X&REV_%04X&MI_%02X", unsigned{id.vendorId}, unsigned{id.productId},
                   unsigned{id.bcdDevice}, unsigned{id.interfaceNumber}),
            L"USB\\" + vidPidMi(id, true)};
}

}  // namespace lumo::os::linuxworld
