#pragma once
// Extension-unit I/O of one camera node: a request addressed by property set (the unit's
// GUID) and selector becomes UVCIOC_CTRL_QUERY on the node, with the unit id of the
// extension unit that carries that GUID, whatever node id the caller named.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Guid.h"
#include "platform/linux/UvcDescriptorParser.h"
#include "platform/linux/VideoDeviceIo.h"

namespace lumo::os::linuxworld {

class CUvcXuChannel {
public:
    explicit CUvcXuChannel(std::vector<UvcUnit> units) : m_units(std::move(units)) {}

    // The extension unit that carries this GUID.
    std::optional<std::uint8_t> UnitFor(const Guid& propertySet) const;

    // One UVC_SET_CUR or UVC_GET_CUR of exactly size bytes. A Win32-style error (0: done).
    // The driver insists that size equals the control's GET_LEN; a mismatch is traced with
    // both lengths.
    std::uint32_t Transfer(IVideoDeviceIo& io, int fd, const Guid& propertySet, std::uint32_t selector, bool set,
                           std::uint8_t* data, std::uint32_t size) const;

    // The control's GET_LEN (cached per unit and selector), or a Win32-style error.
    std::uint32_t ControlLength(IVideoDeviceIo& io, int fd, const Guid& propertySet, std::uint32_t selector,
                                std::uint16_t* length) const;

    const std::vector<UvcUnit>& units() const { return m_units; }

private:
    int Query(IVideoDeviceIo& io, int fd, std::uint8_t unit, std::uint8_t selector, std::uint8_t query,
              std::uint8_t* data, std::uint16_t size) const;

    std::vector<UvcUnit> m_units;
    mutable std::mutex m_mutex;
    mutable std::map<std::uint16_t, std::uint16_t> m_lengths;  // (unit << 8 | selector) -> GET_LEN
};

}  // namespace lumo::os::linuxworld
