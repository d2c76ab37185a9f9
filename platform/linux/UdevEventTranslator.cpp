#include "platform/linux/UdevEventTranslator.h"

#include <cstdlib>

#include "common/trace/DEdura.h"

namespace lumo::os::linuxworld {
namespace {

std::optional<std::uint32_t> hexValue(const std::map<std::string, std::string>& props, const char* key) {
    const auto it = props.find(key);
    if (it == props.end() || it->second.empty() || it->second.size() > 4) return std::nullopt;
    char* end = nullptr;
    const unsigned long v = std::strtoul(it->second.c_str(), &end, 16);
    if (*end != '\0') return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

// The USB device's name ("1-2.3") from a DEVPATH whose interface part is "1-2.3:1.0".
std::optional<std::string> portFromDevPath(const std::string& devPath) {
    const auto v4l = devPath.rfind("/video4linux/");
    if (v4l == std::string::npos || v4l == 0) return std::nullopt;
    const auto start = devPath.rfind('/', v4l - 1);
    const std::string interfaceName = devPath.substr(start + 1, v4l - start - 1);
    const auto colon = interfaceName.find(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    return interfaceName.substr(0, colon);
}

// The path of a node that was never seen, from the properties udev keeps for it.
std::optional<std::wstring> pathFromProperties(const UdevEvent& event) {
    const auto caps = event.properties.find("ID_V4L_CAPABILITIES");
    if (caps == event.properties.end() || caps->second.find(":capture:") == std::string::npos) return std::nullopt;
    const auto vid = hexValue(event.properties, "ID_VENDOR_ID");
    const auto pid = hexValue(event.properties, "ID_MODEL_ID");
    const auto mi = hexValue(event.properties, "ID_USB_INTERFACE_NUM");
    const auto port = portFromDevPath(event.devPath);
    if (!vid || !pid || !mi || !port) return std::nullopt;
    UsbInterfaceIdentity id;
    id.vendorId = static_cast<std::uint16_t>(*vid);
    id.productId = static_cast<std::uint16_t>(*pid);
    id.interfaceNumber = static_cast<std::uint8_t>(*mi);
    id.portPath = *port;
    return makeDevicePath(id);
}

}  // namespace

DeviceInterfaceNotice makeNotice(const std::wstring& devicePath) {
    DeviceInterfaceNotice notice;
    notice.size = static_cast<std::uint32_t>(28 + 2 * (devicePath.size() + 1));
    notice.deviceType = DBT_DEVTYP_DEVICEINTERFACE;
    notice.classGuid = guids::kVideoCaptureInterfaceClass;
    notice.name = devicePath;
    return notice;
}

void CUdevEventTranslator::Remember(const LinuxVideoNode& node) {
    std::lock_guard lock(m_mutex);
    m_paths[node.className] = node.devicePath;
}

std::optional<TranslatedNotice> CUdevEventTranslator::Translate(const UdevEvent& event) {
    if (event.action == "add") {
        auto node = m_identify ? m_identify(event.sysName) : std::nullopt;
        if (!node) return std::nullopt;  // not a USB video-capture node (a metadata node, say)
        Remember(*node);
        XTRACE(1)("linux world: arrival of %ws", node->devicePath.c_str());
        return TranslatedNotice{DBT_DEVICEARRIVAL, makeNotice(node->devicePath)};
    }
    if (event.action == "remove") {
        std::optional<std::wstring> path;
        {
            std::lock_guard lock(m_mutex);
            if (auto it = m_paths.find(event.sysName); it != m_paths.end()) {
                path = it->second;
                m_paths.erase(it);
            }
        }
        if (!path) path = pathFromProperties(event);
        if (!path) return std::nullopt;
        XTRACE(1)("linux world: removal of %ws", path->c_str());
        return TranslatedNotice{DBT_DEVICEREMOVECOMPLETE, makeNotice(*path)};
    }
    return std::nullopt;
}

}  // namespace lumo::os::linuxworld
