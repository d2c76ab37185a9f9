#include "platform/linux/LinuxDeviceHandle.h"

#include "common/trace/DEdura.h"
#include "platform/linux/ErrnoStatus.h"

namespace lumo::os::linuxworld {
namespace {

constexpr std::uint32_t kNodeRequestLength = 32;
constexpr std::uint32_t kTypeGet = 0x00000001;
constexpr std::uint32_t kTypeSet = 0x00000002;
constexpr std::uint32_t kTypeTopology = 0x10000000;

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

}  // namespace

bool CLinuxDeviceHandle::DeviceIoControl(std::uint32_t ioControlCode, const void* in, std::uint32_t inLength, void* out,
                                         std::uint32_t outLength, std::uint32_t* bytesReturned,
                                         std::unique_ptr<IPendingIo>*, std::uint32_t* lastError) {
    auto fail = [&](std::uint32_t error) {
        if (lastError) *lastError = error;
        if (bytesReturned) *bytesReturned = 0;
        return false;
    };
    if (ioControlCode != IOCTL_KS_PROPERTY) return fail(ERROR_NOT_SUPPORTED);
    if (!in || inLength < kNodeRequestLength) return fail(ERROR_INVALID_PARAMETER);
    const auto* request = static_cast<const std::uint8_t*>(in);
    const Guid propertySet = Guid::fromBytes(request);
    const std::uint32_t id = le32(request + 16);
    const std::uint32_t flags = le32(request + 20);
    // only plain node gets and sets: basic-support and default-value queries are not offered
    const std::uint32_t direction = flags & ~kTypeTopology;
    if (!(flags & kTypeTopology) || (direction != kTypeGet && direction != kTypeSet)) {
        XTRACE(4)("IOCTL_KS_PROPERTY flags 0x%08X not supported XXXXXXXXXX", static_cast<unsigned>(flags));
        return fail(ERROR_NOT_SUPPORTED);
    }
    const std::uint32_t error = m_channel->Transfer(m_fd.io(), m_fd.get(), propertySet, id, direction == kTypeSet,
                                                    static_cast<std::uint8_t*>(out), outLength);
    if (error != ERROR_SUCCESS) return fail(error);
    if (bytesReturned) *bytesReturned = outLength;
    if (lastError) *lastError = ERROR_SUCCESS;
    return true;
}

}  // namespace lumo::os::linuxworld
