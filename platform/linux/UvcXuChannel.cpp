#include "platform/linux/UvcXuChannel.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>

#include "common/trace/DEdura.h"
#include "platform/Status.h"
#include "platform/linux/ErrnoStatus.h"

namespace lumo::os::linuxworld {

std::optional<std::uint8_t> CUvcXuChannel::UnitFor(const Guid& propertySet) const {
    for (const auto& unit : m_units) {
        if (unit.kind == UvcUnitKind::Extension && unit.guidExtensionCode == propertySet) return unit.unitId;
    }
    return std::nullopt;
}

int CUvcXuChannel::Query(IVideoDeviceIo& io, int fd, std::uint8_t unit, std::uint8_t selector, std::uint8_t query,
                         std::uint8_t* data, std::uint16_t size) const {
    uvc_xu_control_query q{};
    q.unit = unit;
    q.selector = selector;
    q.query = query;
    q.size = size;
    q.data = data;
    return io.Ioctl(fd, UVCIOC_CTRL_QUERY, &q);
}

std::uint32_t CUvcXuChannel::ControlLength(IVideoDeviceIo& io, int fd, const Guid& propertySet, std::uint32_t selector,
                                           std::uint16_t* length) const {
    const auto unit = UnitFor(propertySet);
    if (!unit) return ERROR_SET_NOT_FOUND;
    if (selector > 0xFF) return ERROR_NOT_FOUND;
    const auto key = static_cast<std::uint16_t>((*unit << 8) | selector);
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_lengths.find(key); it != m_lengths.end()) {
            *length = it->second;
            return ERROR_SUCCESS;
        }
    }
    std::uint8_t le[2] = {0, 0};
    const int rc = Query(io, fd, *unit, static_cast<std::uint8_t>(selector), UVC_GET_LEN, le, 2);
    if (rc != 0) {
        const std::uint32_t error = ioctlErrnoToError(-rc);
        XTRACE(4)
        ("UVCIOC_CTRL_QUERY(unit %u, selector 0x%02X, GET_LEN) FAILED. errno = %d, error = %u XXXXXXXXXX",
         unsigned{*unit}, static_cast<unsigned>(selector), -rc, static_cast<unsigned>(error));
        return error;
    }
    *length = static_cast<std::uint16_t>(le[0] | (le[1] << 8));
    std::lock_guard lock(m_mutex);
    m_lengths[key] = *length;
    return ERROR_SUCCESS;
}

std::uint32_t CUvcXuChannel::Transfer(IVideoDeviceIo& io, int fd, const Guid& propertySet, std::uint32_t selector,
                                      bool set, std::uint8_t* data, std::uint32_t size) const {
    const auto unit = UnitFor(propertySet);
    if (!unit) {
        XTRACE(4)("no extension unit %s on this camera XXXXXXXXXX", propertySet.toString().c_str());
        return ERROR_SET_NOT_FOUND;
    }
    if (selector > 0xFF || size == 0 || size > 0xFFFF || !data) {
        XTRACE(4)
        ("extension-unit request selector 0x%X, %u bytes: not a control request XXXXXXXXXX",
         static_cast<unsigned>(selector), static_cast<unsigned>(size));
        return ERROR_INVALID_PARAMETER;
    }
    const auto sel = static_cast<std::uint8_t>(selector);
    const int rc = Query(io, fd, *unit, sel, set ? UVC_SET_CUR : UVC_GET_CUR, data, static_cast<std::uint16_t>(size));
    if (rc == 0) return ERROR_SUCCESS;
    const std::uint32_t error = ioctlErrnoToError(-rc);
    XTRACE(4)
    ("UVCIOC_CTRL_QUERY(unit %u, selector 0x%02X, %s, %u bytes) FAILED. errno = %d, error = %u XXXXXXXXXX",
     unsigned{*unit}, unsigned{sel}, set ? "SET_CUR" : "GET_CUR", static_cast<unsigned>(size), -rc,
     static_cast<unsigned>(error));
    if (rc == -ENOBUFS || rc == -EOVERFLOW) {
        std::uint16_t expected = 0;
        if (ControlLength(io, fd, propertySet, selector, &expected) == ERROR_SUCCESS) {
            XTRACE(4)
            ("    the request carries %u bytes, the control's GET_LEN is %u XXXXXXXXXX", static_cast<unsigned>(size),
             unsigned{expected});
        }
    }
    return error;
}

}  // namespace lumo::os::linuxworld
