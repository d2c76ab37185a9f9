#pragma once
// The Windows-shaped names of a camera interface, so the registry's path logic (VID/PID
// parsing, cutting at "{", upper-case matching) is the same code in every world.
#include <cstdint>
#include <string>
#include <vector>

namespace lumo::os::linuxworld {

struct UsbInterfaceIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t bcdDevice = 0;
    std::uint8_t interfaceNumber = 0;
    std::string portPath;  // the USB device's sysfs name, bus and ports: "1-2.3"
};

// "6&1a2b3c4d&0&0000": the hash of the port path keeps the instance stable across re-plugs
// into the same port and distinct between ports; the last field is the interface number.
std::wstring makeInstance(const UsbInterfaceIdentity& id);
// \\?\USB#VID_046d&PID_0825&MI_00#6&1a2b3c4d&0&0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\GLOBAL
std::wstring makeDevicePath(const UsbInterfaceIdentity& id);
// USB\VID_046D&PID_0825&MI_00\6&1A2B3C4D&0&0000
std::wstring makeInstanceId(const UsbInterfaceIdentity& id);
// USB\VID_046D&PID_0825&REV_0012&MI_00, USB\VID_046D&PID_0825&MI_00
std::vector<std::wstring> makeHardwareIds(const UsbInterfaceIdentity& id);

}  // namespace lumo::os::linuxworld
