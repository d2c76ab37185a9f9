#pragma once
// Turns udev events of subsystem video4linux into device-interface notices. A removal comes
// after sysfs is gone, so the path of every node that was seen (by an enumeration or an
// arrival) is remembered; for a node never seen, the event's own properties are used.
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/DeviceWorld.h"
#include "platform/linux/LinuxVideoNode.h"

namespace lumo::os::linuxworld {

struct UdevEvent {
    std::string action;                             // "add", "remove", "change", ...
    std::string sysName;                            // "video0"
    std::string devPath;                            // DEVPATH: /devices/.../1-2/1-2:1.0/video4linux/video0
    std::map<std::string, std::string> properties;  // ID_VENDOR_ID, ID_MODEL_ID, ID_USB_INTERFACE_NUM, ...
};

struct TranslatedNotice {
    std::uint32_t eventType = 0;  // DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE
    DeviceInterfaceNotice notice;
};

// A notice record as its Windows form would be sized: 28 bytes of header and the name.
DeviceInterfaceNotice makeNotice(const std::wstring& devicePath);

class CUdevEventTranslator {
public:
    using Identify = std::function<std::optional<LinuxVideoNode>(const std::string& sysName)>;
    explicit CUdevEventTranslator(Identify identify) : m_identify(std::move(identify)) {}

    void Remember(const LinuxVideoNode& node);
    std::optional<TranslatedNotice> Translate(const UdevEvent& event);

private:
    Identify m_identify;
    std::mutex m_mutex;
    std::map<std::string, std::wstring> m_paths;  // sysName -> device path
};

}  // namespace lumo::os::linuxworld
