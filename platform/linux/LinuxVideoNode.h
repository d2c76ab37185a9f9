#pragma once
// One video-capture node of a USB camera as the Linux world knows it.
#include <string>
#include <vector>

#include "platform/linux/UvcDescriptorParser.h"
#include "platform/linux/WindowsDevicePath.h"

namespace lumo::os::linuxworld {

struct LinuxVideoNode {
    std::string className;  // "video0"
    std::string sysPath;    // <sysfs>/class/video4linux/video0
    std::string devNode;    // <dev>/video0
    UsbInterfaceIdentity usb;
    std::wstring friendlyName;
    std::wstring devicePath;  // Windows shape, lower-case hex
    std::wstring instanceId;
    std::vector<std::wstring> hardwareIds;
    std::vector<UvcUnit> units;  // of the VideoControl interface
};

}  // namespace lumo::os::linuxworld
