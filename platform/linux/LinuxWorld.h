#pragma once
// The real Linux world over a sysfs root and a /dev root.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/DeviceWorld.h"
#include "platform/linux/SysfsVideoScanner.h"
#include "platform/linux/UdevEventTranslator.h"
#include "platform/linux/UdevMonitor.h"
#include "platform/linux/UvcXuChannel.h"

namespace lumo::os::linuxworld {

struct LinuxWorldConfig {
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    std::shared_ptr<IVideoDeviceIo> io;  // null: the system's calls
    bool udevMonitor = true;             // false: notices only from DeliverEvent (tests)
};

class CLinuxWorld final : public IDeviceWorld {
public:
    explicit CLinuxWorld(LinuxWorldConfig config);
    ~CLinuxWorld() override;

    HRESULT CreateClassEnumerator(const Guid& category, std::shared_ptr<IEnumMoniker>* out) override;
    std::unique_ptr<IDeviceHandle> CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                                              std::uint32_t flagsAndAttributes, std::uint32_t* lastError) override;
    bool SetupDiClassGuidsFromName(const std::wstring& className, std::vector<Guid>* guids) override;
    bool SetupDiGetClassDevs(const Guid& classGuid, std::uint32_t flags, std::vector<SetupDevice>* devices) override;
    std::uint64_t RegisterDeviceNotification(DeviceNoticeCallback recipient, const DeviceInterfaceNotice& filter,
                                             std::uint32_t flags, std::uint32_t* lastError) override;
    bool UnregisterDeviceNotification(std::uint64_t handle, std::uint32_t* lastError) override;

    // One udev event as the monitor thread hands it over: translated and sent to every recipient.
    void DeliverEvent(const UdevEvent& event);
    bool monitorRunning() const;

private:
    struct Known {
        LinuxVideoNode node;
        std::shared_ptr<const CUvcXuChannel> channel;
    };
    struct Recipient {
        DeviceNoticeCallback callback;
        Guid classGuid;
        bool allClasses = false;
    };

    std::vector<Known> Rescan();
    std::optional<Known> Lookup(const std::wstring& path);

    LinuxWorldConfig m_config;
    CSysfsVideoScanner m_scanner;
    CUdevEventTranslator m_translator;

    std::mutex m_mutex;
    std::map<std::wstring, Known> m_byPath;  // upper-case device path -> node

    mutable std::mutex m_noticeMutex;
    std::map<std::uint64_t, Recipient> m_recipients;
    std::uint64_t m_nextHandle = 0;
    std::unique_ptr<CUdevMonitor> m_monitor;
};

}  // namespace lumo::os::linuxworld
