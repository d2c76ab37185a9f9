#include "platform/linux/LinuxCameraSession.h"

#include <fcntl.h>

#include "common/trace/DEdura.h"

namespace lumo::os::linuxworld {

int CLinuxCameraSession::Fd() {
    std::lock_guard lock(m_mutex);
    if (!m_fd.valid()) {
        const int fd = m_io->Open(m_node.devNode, O_RDWR | O_NONBLOCK);
        if (fd < 0) {
            XTRACE(4)("open(%s) FAILED. errno = %d XXXXXXXXXX", m_node.devNode.c_str(), -fd);
            return fd;
        }
        m_fd = CVideoFd(m_io, fd);
    }
    return m_fd.get();
}

}  // namespace lumo::os::linuxworld
