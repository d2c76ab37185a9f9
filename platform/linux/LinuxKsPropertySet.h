#pragma once
// The filter's property set: a request by property-set GUID and id goes to the same
// extension-unit ioctl as a device-path request. The block's data area starts at offset 24
// and reaches to the property length (32 bytes, or 24 + length for larger blocks); the
// control's own length (GET_LEN) says how much of it travels.
#include <memory>

#include "platform/DeviceWorld.h"
#include "platform/linux/LinuxCameraSession.h"

namespace lumo::os::linuxworld {

class CLinuxKsPropertySet final : public IKsPropertySet {
public:
    explicit CLinuxKsPropertySet(std::shared_ptr<CLinuxCameraSession> session) : m_session(std::move(session)) {}

    HRESULT Set(const Guid& propSet, std::uint32_t id, const void* instanceData, std::uint32_t instanceLength,
                const void* propertyData, std::uint32_t dataLength) override;
    HRESULT Get(const Guid& propSet, std::uint32_t id, const void* instanceData, std::uint32_t instanceLength,
                void* propertyData, std::uint32_t dataLength, std::uint32_t* bytesReturned) override;

private:
    HRESULT Request(const Guid& propSet, std::uint32_t id, bool set, std::uint8_t* block, std::uint32_t dataLength);

    std::shared_ptr<CLinuxCameraSession> m_session;
};

}  // namespace lumo::os::linuxworld
