#pragma once
// Finds the video-capture nodes of USB cameras under a sysfs root and a /dev root (both
// parameters, so tests lay out a stand-in tree in a temp directory).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/LinuxVideoNode.h"
#include "platform/linux/VideoDeviceIo.h"

namespace lumo::os::linuxworld {

class CSysfsVideoScanner {
public:
    CSysfsVideoScanner(std::string sysRoot, std::string devRoot, std::shared_ptr<IVideoDeviceIo> io);

    // Every video-capture node of a USB interface, by node number (video0, video1, ...).
    std::vector<LinuxVideoNode> Scan() const;
    // One node by its class name ("video3"): nothing when it is not a USB video-capture node.
    std::optional<LinuxVideoNode> Identify(const std::string& className) const;

    const std::string& sysRoot() const { return m_sysRoot; }
    const std::shared_ptr<IVideoDeviceIo>& io() const { return m_io; }

private:
    std::string m_sysRoot;
    std::string m_devRoot;
    std::shared_ptr<IVideoDeviceIo> m_io;
};

}  // namespace lumo::os::linuxworld
