#include "platform/linux/SysfsVideoScanner.h"

#include <fcntl.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/trace/DEdura.h"
#include "platform/linux/LinuxText.h"

namespace fs = std::filesystem;

namespace lumo::os::linuxworld {
namespace {

constexpr std::size_t kMaxDescriptorBytes = 64 * 1024;

// Node number of "video12"; -1 for other names.
int nodeNumber(const std::string& name) {
    if (name.rfind("video", 0) != 0 || name.size() == 5 || name.size() > 12) return -1;
    int n = 0;
    for (std::size_t i = 5; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

std::string devName(const std::string& sysPath, const std::string& className) {
    if (const auto uevent = readAttribute(sysPath + "/uevent")) {
        std::size_t pos = 0;
        while (pos < uevent->size()) {
            std::size_t end = uevent->find('\n', pos);
            if (end == std::string::npos) end = uevent->size();
            const std::string line = uevent->substr(pos, end - pos);
            if (line.rfind("DEVNAME=", 0) == 0 && line.size() > 8) return line.substr(8);
            pos = end + 1;
        }
    }
    return className;
}

struct CaptureAnswer {
    bool known = false;
    bool capture = false;
    std::string card;
};

CaptureAnswer queryCapabilities(IVideoDeviceIo& io, const std::string& devNode) {
    CaptureAnswer answer;
    const int fd = io.Open(devNode, O_RDWR | O_NONBLOCK);
    if (fd < 0) return answer;
    v4l2_capability cap{};
    const int rc = io.Ioctl(fd, VIDIOC_QUERYCAP, &cap);
    io.Close(fd);
    if (rc != 0) return answer;
    const std::uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    answer.known = true;
    // the uvcvideo metadata node has only V4L2_CAP_META_CAPTURE
    answer.capture = (caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
    answer.card.assign(reinterpret_cast<const char*>(cap.card),
                       strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
    return answer;
}

}  // namespace

CSysfsVideoScanner::CSysfsVideoScanner(std::string sysRoot, std::string devRoot, std::shared_ptr<IVideoDeviceIo> io)
    : m_sysRoot(std::move(sysRoot)), m_devRoot(std::move(devRoot)), m_io(std::move(io)) {}

std::vector<LinuxVideoNode> CSysfsVideoScanner::Scan() const {
    std::vector<std::pair<int, std::string>> names;
    std::error_code ec;
    for (fs::directory_iterator it(m_sysRoot + "/class/video4linux", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const int n = nodeNumber(name);
        if (n >= 0) names.emplace_back(n, name);
    }
    std::sort(names.begin(), names.end());
    std::vector<LinuxVideoNode> nodes;
    for (const auto& [n, name] : names) {
        if (auto node = Identify(name)) nodes.push_back(std::move(*node));
    }
    return nodes;
}

std::optional<LinuxVideoNode> CSysfsVideoScanner::Identify(const std::string& className) const {
    if (nodeNumber(className) < 0) return std::nullopt;
    LinuxVideoNode node;
    node.className = className;
    node.sysPath = m_sysRoot + "/class/video4linux/" + className;
    std::error_code ec;
    // <node>/device is the USB interface the driver bound (the VideoControl interface)
    const fs::path interfaceDir = fs::canonical(fs::path(node.sysPath) / "device", ec);
    if (ec) return std::nullopt;
    const fs::path usbDir = interfaceDir.parent_path();
    const auto interfaceNumber = readHexAttribute((interfaceDir / "bInterfaceNumber").string());
    const auto vid = readHexAttribute((usbDir / "idVendor").string());
    const auto pid = readHexAttribute((usbDir / "idProduct").string());
    if (!interfaceNumber || !vid || !pid) return std::nullopt;  // not a USB interface
    node.usb.vendorId = static_cast<std::uint16_t>(*vid);
    node.usb.productId = static_cast<std::uint16_t>(*pid);
    node.usb.bcdDevice = static_cast<std::uint16_t>(readHexAttribute((usbDir / "bcdDevice").string()).value_or(0));
    node.usb.interfaceNumber = static_cast<std::uint8_t>(*interfaceNumber);
    node.usb.portPath = usbDir.filename().string();
    node.devNode = m_devRoot + "/" + devName(node.sysPath, className);

    const CaptureAnswer cap = queryCapabilities(*m_io, node.devNode);
    if (cap.known) {
        if (!cap.capture) return std::nullopt;
    } else if (readAttribute(node.sysPath + "/index").value_or("0") != "0") {
        // the node cannot be opened (permissions): uvcvideo's capture node is index 0
        return std::nullopt;
    }

    if (!cap.card.empty())
        node.friendlyName = wideFromUtf8(cap.card);
    else if (auto name = readAttribute(node.sysPath + "/name"); name && !name->empty())
        node.friendlyName = wideFromUtf8(*name);
    else
        node.friendlyName = wideFromUtf8(readAttribute((usbDir / "product").string()).value_or("USB Camera"));

    if (const auto desc = readBinaryAttribute((usbDir / "descriptors").string(), kMaxDescriptorBytes)) {
        node.units = parseVideoControlUnits(*desc, node.usb.interfaceNumber);
    }
    node.devicePath = makeDevicePath(node.usb);
    node.instanceId = makeInstanceId(node.usb);
    node.hardwareIds = makeHardwareIds(node.usb);
    XTRACE(1)
    ("linux world: %s is %ws (%u units)", node.devNode.c_str(), node.devicePath.c_str(),
     static_cast<unsigned>(node.units.size()));
    return node;
}

}  // namespace lumo::os::linuxworld
