#pragma once
// An open device path: a descriptor of /dev/videoN holding the advisory lock, and the
// node-property requests on it, answered at once.
#include <memory>

#include "platform/DeviceWorld.h"
#include "platform/linux/UvcXuChannel.h"
#include "platform/linux/VideoDeviceIo.h"

namespace lumo::os::linuxworld {

class CLinuxDeviceHandle final : public IDeviceHandle {
public:
    CLinuxDeviceHandle(CVideoFd fd, std::shared_ptr<const CUvcXuChannel> channel)
        : m_fd(std::move(fd)), m_channel(std::move(channel)) {}

    // IOCTL_KS_PROPERTY with the 32-byte node request: GUID at 0, Id at 16, Flags at 20,
    // NodeId at 24 (not needed: the unit follows from the GUID); the output is the data.
    bool DeviceIoControl(std::uint32_t ioControlCode, const void* in, std::uint32_t inLength, void* out,
                         std::uint32_t outLength, std::uint32_t* bytesReturned, std::unique_ptr<IPendingIo>* pending,
                         std::uint32_t* lastError) override;
    std::uint32_t TraceValue() const override { return static_cast<std::uint32_t>(m_fd.get()); }

private:
    CVideoFd m_fd;
    std::shared_ptr<const CUvcXuChannel> m_channel;
};

}  // namespace lumo::os::linuxworld
