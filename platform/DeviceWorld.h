#pragma once
// The device world: what the library above the OS layer expects of the system's camera
// plumbing. Shaped after the calls the registry and the transport make, no more. Every
// world (emulated, real Linux) implements these interfaces; ownership is RAII throughout
// (shared_ptr for interfaces that several holders keep, unique_ptr for handles), so
// "release" is the end of a scope.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Guid.h"
#include "platform/Status.h"

namespace lumo::os {

// Property bag of a device moniker: "FriendlyName", "CLSID", "DevicePath".
class IPropertyBag {
public:
    virtual ~IPropertyBag() = default;
    virtual HRESULT Read(const std::wstring& name, std::wstring& value) = 0;
};

// Filter topology: nodes numbered from 0, each with a node-type GUID.
class ITopologyInfo {
public:
    virtual ~ITopologyInfo() = default;
    virtual HRESULT get_NumNodes(std::uint32_t* count) = 0;
    virtual HRESULT get_NodeType(std::uint32_t node, Guid* type) = 0;
};

// Kernel-streaming property set of a capture filter. S_OK is the only success.
class IKsPropertySet {
public:
    virtual ~IKsPropertySet() = default;
    virtual HRESULT Set(const Guid& propSet, std::uint32_t id, const void* instanceData, std::uint32_t instanceLength,
                        const void* propertyData, std::uint32_t dataLength) = 0;
    virtual HRESULT Get(const Guid& propSet, std::uint32_t id, const void* instanceData, std::uint32_t instanceLength,
                        void* propertyData, std::uint32_t dataLength, std::uint32_t* bytesReturned) = 0;
};

// Standard video controls behind the property pages (processing unit, camera terminal).
class IVideoControlValues {
public:
    virtual ~IVideoControlValues() = default;
    virtual HRESULT GetRange(std::int32_t property, std::int32_t* min, std::int32_t* max, std::int32_t* step,
                             std::int32_t* defaultValue, std::int32_t* flags) = 0;
    virtual HRESULT Get(std::int32_t property, std::int32_t* value, std::int32_t* flags) = 0;
};
using IVideoProcAmp = IVideoControlValues;
using ICameraControl = IVideoControlValues;

// A bound capture filter. Each query hands out the interface or null with a failure code.
class ICaptureFilter {
public:
    virtual ~ICaptureFilter() = default;
    virtual HRESULT QueryTopologyInfo(std::shared_ptr<ITopologyInfo>* out) = 0;
    virtual HRESULT QueryPropertySet(std::shared_ptr<IKsPropertySet>* out) = 0;
    virtual HRESULT QueryVideoProcAmp(std::shared_ptr<IVideoProcAmp>* out) = 0;
    virtual HRESULT QueryCameraControl(std::shared_ptr<ICameraControl>* out) = 0;
};

// One candidate of the video-input category.
class IMoniker {
public:
    virtual ~IMoniker() = default;
    virtual HRESULT BindToStorage(std::shared_ptr<IPropertyBag>* out) = 0;
    virtual HRESULT BindToObject(std::shared_ptr<ICaptureFilter>* out) = 0;
};

// Walk over the candidates: Next gives S_OK with a moniker, S_FALSE at the end.
class IEnumMoniker {
public:
    virtual ~IEnumMoniker() = default;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Next(std::shared_ptr<IMoniker>* out) = 0;
};

// A device-path request that did not complete at once. The buffers handed to
// DeviceIoControl belong to the caller until the request has completed or Cancel returned.
class IPendingIo {
public:
    virtual ~IPendingIo() = default;
    // WAIT_OBJECT_0 when completed within ms, WAIT_TIMEOUT otherwise.
    virtual std::uint32_t Wait(std::uint32_t ms) = 0;
    // Completion result of a completed request (non-waiting); false with *lastError on failure.
    virtual bool GetResult(std::uint32_t* bytesReturned, std::uint32_t* lastError) = 0;
    // Cancels the request; returns once it no longer touches the caller's buffers.
    virtual void Cancel() = 0;
};

// An open device path (exclusive). Closing is destruction.
class IDeviceHandle {
public:
    virtual ~IDeviceHandle() = default;
    // Kernel-streaming property I/O: input is the 32-byte node request, output the control's data.
    // Returns true when completed at once (bytesReturned set). Returns false with *lastError:
    // ERROR_IO_PENDING with *pending set (complete it through IPendingIo), or another error.
    virtual bool DeviceIoControl(std::uint32_t ioControlCode, const void* in, std::uint32_t inLength, void* out,
                                 std::uint32_t outLength, std::uint32_t* bytesReturned,
                                 std::unique_ptr<IPendingIo>* pending, std::uint32_t* lastError) = 0;
    // A small number that identifies the handle in trace lines.
    virtual std::uint32_t TraceValue() const = 0;
};

// A present device of a setup class.
struct SetupDevice {
    std::wstring instanceId;                // e.g. USB\VID_1234&PID_5678&MI_00\6&1A2B3C4D&0&0000
    std::vector<std::wstring> hardwareIds;  // e.g. USB\VID_1234&PID_5678&REV_0100&MI_00, ...
};

// The device-interface broadcast record of a device-change notice.
struct DeviceInterfaceNotice {
    std::uint32_t size = 0;        // bytes of the record in its Windows form
    std::uint32_t deviceType = 5;  // 5: device interface
    std::uint32_t reserved = 0;
    Guid classGuid;     // interface class of the interface that came or went
    std::wstring name;  // its interface path (\\?\USB#VID_...#{class})
};

inline constexpr std::uint32_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr std::uint32_t DBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr std::uint32_t DBT_DEVTYP_DEVICEINTERFACE = 5;
inline constexpr std::uint32_t DEVICE_NOTIFY_ALL_INTERFACE_CLASSES = 4;

// Called from the world's own monitor thread.
using DeviceNoticeCallback = std::function<void(std::uint32_t eventType, const DeviceInterfaceNotice& notice)>;

class IDeviceWorld {
public:
    virtual ~IDeviceWorld() = default;

    // System device enumerator: S_OK with a walk, S_FALSE when the category is empty, else a failure.
    virtual HRESULT CreateClassEnumerator(const Guid& category, std::shared_ptr<IEnumMoniker>* out) = 0;

    // Opens a device path (access and share as asked; share 0 is exclusive). Null with *lastError
    // (ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION, ...) on failure.
    virtual std::unique_ptr<IDeviceHandle> CreateFile(const std::wstring& path, std::uint32_t access,
                                                      std::uint32_t share, std::uint32_t flagsAndAttributes,
                                                      std::uint32_t* lastError) = 0;

    // Setup classes: GUIDs by class name ("Image"), then the present devices of one class.
    virtual bool SetupDiClassGuidsFromName(const std::wstring& className, std::vector<Guid>* guids) = 0;
    virtual bool SetupDiGetClassDevs(const Guid& classGuid, std::uint32_t flags, std::vector<SetupDevice>* devices) = 0;

    // Device-change notices: a non-zero handle on success, 0 with *lastError on failure.
    // The filter names an interface class; with DEVICE_NOTIFY_ALL_INTERFACE_CLASSES notices
    // come for every interface class and the recipient filters them itself.
    virtual std::uint64_t RegisterDeviceNotification(DeviceNoticeCallback recipient,
                                                     const DeviceInterfaceNotice& filter, std::uint32_t flags,
                                                     std::uint32_t* lastError) = 0;
    virtual bool UnregisterDeviceNotification(std::uint64_t handle, std::uint32_t* lastError) = 0;
};

// The world the library uses. Chosen at the first call: an installed world when a test (or
// a host) installed one, else LUMO_WORLD=emu:<line file> for an emulated line, else the real
// Linux world.
IDeviceWorld& deviceWorld();
// Installs a world directly (tests); null returns to the default choice at the next call.
void installDeviceWorld(std::shared_ptr<IDeviceWorld> world);

}  // namespace lumo::os
