#pragma once
// What the interfaces of one bound camera share: its node, the extension-unit channel and a
// descriptor opened at the first request (without the exclusive lock, which belongs to the
// device-path handle).
#include <memory>
#include <mutex>

#include "platform/linux/LinuxVideoNode.h"
#include "platform/linux/UvcXuChannel.h"
#include "platform/linux/VideoDeviceIo.h"

namespace lumo::os::linuxworld {

class CLinuxCameraSession {
public:
    CLinuxCameraSession(LinuxVideoNode node, std::shared_ptr<const CUvcXuChannel> channel,
                        std::shared_ptr<IVideoDeviceIo> io)
        : m_node(std::move(node)), m_io(std::move(io)), m_channel(std::move(channel)) {}

    // The shared descriptor, or -errno when the node cannot be opened.
    int Fd();

    const LinuxVideoNode& node() const { return m_node; }
    IVideoDeviceIo& io() const { return *m_io; }
    const std::shared_ptr<IVideoDeviceIo>& ioPtr() const { return m_io; }
    const CUvcXuChannel& channel() const { return *m_channel; }

private:
    LinuxVideoNode m_node;
    std::shared_ptr<IVideoDeviceIo> m_io;
    std::shared_ptr<const CUvcXuChannel> m_channel;
    std::mutex m_mutex;
    CVideoFd m_fd;
};

}  // namespace lumo::os::linuxworld
