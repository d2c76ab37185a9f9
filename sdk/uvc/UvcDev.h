#pragma once
// CUvcDev: the transport base of the camera device object. Owns the camera's capture
// filter, property-set interface and device handle, and carries every extension-unit get
// and set in one of two driver modes.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/DeviceWorld.h"

// One property-page value record (28 bytes, seven signed 32-bit fields).
struct PropPageCtrl {
    std::int32_t Enable = 0;
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t Step = 0;
    std::int32_t Default = 0;
    std::int32_t Flags = 0;
    std::int32_t Val = 0;
};
static_assert(sizeof(PropPageCtrl) == 28);

enum DriverType : std::uint32_t {
    DRIVER_NA = 0,
    INBOX_UVC = 1,           // the class driver: node properties on the device path
    DRIVER_NO_TOPOLOGY = 2,  // the filter has no topology interface
    TAVIX_AVStream = 3,      // the maker's driver: the filter's property set
};

class CUvcDev {
public:
    CUvcDev();
    virtual ~CUvcDev();
    CUvcDev(const CUvcDev&) = delete;
    CUvcDev& operator=(const CUvcDev&) = delete;

    std::int32_t QueryPropBagParams(lumo::os::IPropertyBag* pPropertyBag);
    std::int32_t QueryDriverType();
    std::int32_t FindXuNodeId(lumo::os::ITopologyInfo* pTopologyInfo, std::uint32_t* pNodeId);
    std::int32_t AcquireIoHandle();
    void ReleaseIoHandle();

    // One get or set of a vendor-unit control, or of an H.264-unit control.
    std::int32_t SetExtensionProperty(std::uint8_t selector, std::uint8_t* data, std::uint32_t length,
                                      std::uint32_t* bytesReturned);
    std::int32_t GetExtensionProperty(std::uint8_t selector, std::uint8_t* data, std::uint32_t length,
                                      std::uint32_t* bytesReturned);
    std::int32_t SetH264ExtensionProperty(std::uint8_t selector, std::uint8_t* data, std::uint32_t length,
                                          std::uint32_t* bytesReturned);
    std::int32_t GetH264ExtensionProperty(std::uint8_t selector, std::uint8_t* data, std::uint32_t length,
                                          std::uint32_t* bytesReturned);

    // The device-path I/O of one request in class-driver mode (block: the node request).
    std::int32_t SendXuCmd(const std::uint8_t* requestBlock, std::uint8_t* data, std::uint32_t length,
                           std::uint32_t* bytesReturned);

    // The camera's hardware ID list as the setup registry property holds it: NUL-terminated
    // strings and a closing NUL, padded with NULs to 260 characters (see lumo::uvc::ParseBcdDevice).
    std::int32_t SetupDiGetDevice(std::wstring* hardwareIds);
    // Copies 13 and 8 records in and reads those whose Enable is exactly 1.
    std::int32_t QueryPropertyPages(const PropPageCtrl* processingUnit13, const PropPageCtrl* cameraTerminal8);

    // Fields, in declaration order.
    std::shared_ptr<lumo::os::ICaptureFilter> m_pBaseFilter;
    std::shared_ptr<lumo::os::IKsPropertySet> m_pKsPropertySet;
    std::unique_ptr<lumo::os::IDeviceHandle> m_hDev;  // null is the invalid handle
    std::uint32_t m_eDriver = DRIVER_NA;
    PropPageCtrl m_ProcessingUnit[13]{};
    PropPageCtrl m_CameraTerminal[8]{};
    std::wstring m_szDevPath;
    std::wstring m_szVidPid;
    std::wstring m_szFriendlyName;
    std::uint16_t m_wBcdDevice = 0;
    std::uint32_t m_dwXuNodeId = 0;
    std::uint32_t m_dwH264XuNodeId = 1;
    std::wstring m_szClsid;
};

// Cuts the third backslash-separated part of a device instance ID (split in place).
void FilterHardwareID(wchar_t* instanceId, wchar_t* out);
