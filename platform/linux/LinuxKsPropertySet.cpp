#include "platform/linux/LinuxKsPropertySet.h"

#include <cstring>
#include <vector>

#include "common/trace/DEdura.h"
#include "platform/linux/ErrnoStatus.h"

namespace lumo::os::linuxworld {
namespace {
constexpr std::uint32_t kDataOffset = 24;
}

HRESULT CLinuxKsPropertySet::Request(const Guid& propSet, std::uint32_t id, bool set, std::uint8_t* block,
                                     std::uint32_t dataLength) {
    if (!block) return E_POINTER;
    if (dataLength <= kDataOffset) return E_INVALIDARG;
    const int fd = m_session->Fd();
    if (fd < 0) return hresultFromError(openErrnoToError(-fd));
    std::uint16_t length = 0;
    const auto& channel = m_session->channel();
    if (const std::uint32_t error = channel.ControlLength(m_session->io(), fd, propSet, id, &length)) {
        return hresultFromError(error);
    }
    const std::uint32_t area = dataLength - kDataOffset;
    if (length == 0 || length > area) {
        XTRACE(4)
        ("property block holds %u data bytes, the control's GET_LEN is %u XXXXXXXXXX", static_cast<unsigned>(area),
         unsigned{length});
        return hresultFromError(ERROR_INSUFFICIENT_BUFFER);
    }
    // the ioctl gets a buffer of its own: a failed get leaves the caller's block as it was
    std::vector<std::uint8_t> data(block + kDataOffset, block + kDataOffset + length);
    const std::uint32_t error = channel.Transfer(m_session->io(), fd, propSet, id, set, data.data(), length);
    if (error != ERROR_SUCCESS) return hresultFromError(error);
    if (!set) std::memcpy(block + kDataOffset, data.data(), length);
    return S_OK;
}

HRESULT CLinuxKsPropertySet::Set(const Guid& propSet, std::uint32_t id, const void*, std::uint32_t,
                                 const void* propertyData, std::uint32_t dataLength) {
    // a set only reads the block; the copy keeps the caller's buffer untouched
    if (!propertyData) return E_POINTER;
    std::vector<std::uint8_t> block(static_cast<const std::uint8_t*>(propertyData),
                                    static_cast<const std::uint8_t*>(propertyData) + dataLength);
    return Request(propSet, id, true, block.data(), dataLength);
}

HRESULT CLinuxKsPropertySet::Get(const Guid& propSet, std::uint32_t id, const void*, std::uint32_t, void* propertyData,
                                 std::uint32_t dataLength, std::uint32_t* bytesReturned) {
    const HRESULT hr = Request(propSet, id, false, static_cast<std::uint8_t*>(propertyData), dataLength);
    if (bytesReturned) *bytesReturned = hr == S_OK ? dataLength : 0;
    return hr;
}

}  // namespace lumo::os::linuxworld
