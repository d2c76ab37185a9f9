#include "platform/linux/LinuxWorld.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "common/trace/DEdura.h"
#include "platform/linux/ErrnoStatus.h"
#include "platform/linux/LinuxDeviceHandle.h"
#include "platform/linux/LinuxMoniker.h"
#include "platform/linux/LinuxText.h"

namespace lumo::os::linuxworld {

CLinuxWorld::CLinuxWorld(LinuxWorldConfig config)
    : m_config(std::move(config)),
      m_scanner(m_config.sysRoot, m_config.devRoot, m_config.io ? m_config.io : makeSystemVideoDeviceIo()),
      m_translator([this](const std::string& sysName) { return m_scanner.Identify(sysName); }) {}

CLinuxWorld::~CLinuxWorld() {
    std::unique_ptr<CUdevMonitor> monitor;
    {
        std::lock_guard lock(m_noticeMutex);
        monitor = std::move(m_monitor);
        m_recipients.clear();
    }
    monitor.reset();  // joins the thread outside the lock it may be waiting for
}

std::vector<CLinuxWorld::Known> CLinuxWorld::Rescan() {
    std::vector<Known> known;
    for (auto& node : m_scanner.Scan()) {
        m_translator.Remember(node);
        auto channel = std::make_shared<const CUvcXuChannel>(node.units);
        known.push_back({std::move(node), std::move(channel)});
    }
    std::lock_guard lock(m_mutex);
    m_byPath.clear();
    for (const auto& k : known) m_byPath[upperWide(k.node.devicePath)] = k;
    return known;
}

std::optional<CLinuxWorld::Known> CLinuxWorld::Lookup(const std::wstring& path) {
    const std::wstring key = upperWide(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        {
            std::lock_guard lock(m_mutex);
            if (auto it = m_byPath.find(key); it != m_byPath.end()) return it->second;
        }
        if (attempt == 0) Rescan();  // a path from before the last enumeration, or none yet
    }
    return std::nullopt;
}

HRESULT CLinuxWorld::CreateClassEnumerator(const Guid& category, std::shared_ptr<IEnumMoniker>* out) {
    if (!out) return E_POINTER;
    out->reset();
    if (category != guids::kVideoInputDeviceCategory) return S_FALSE;
    std::vector<std::shared_ptr<CLinuxCameraSession>> sessions;
    for (auto& k : Rescan()) {
        sessions.push_back(std::make_shared<CLinuxCameraSession>(std::move(k.node), k.channel, m_scanner.io()));
    }
    if (sessions.empty()) return S_FALSE;
    *out = std::make_shared<CLinuxEnumMoniker>(std::move(sessions));
    return S_OK;
}

std::unique_ptr<IDeviceHandle> CLinuxWorld::CreateFile(const std::wstring& path, std::uint32_t, std::uint32_t share,
                                                       std::uint32_t, std::uint32_t* lastError) {
    auto fail = [&](std::uint32_t error) -> std::unique_ptr<IDeviceHandle> {
        if (lastError) *lastError = error;
        return nullptr;
    };
    const auto known = Lookup(path);
    if (!known) return fail(ERROR_FILE_NOT_FOUND);
    IVideoDeviceIo& io = *m_scanner.io();
    const int fd = io.Open(known->node.devNode, O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        XTRACE(4)("open(%s) FAILED. errno = %d XXXXXXXXXX", known->node.devNode.c_str(), -fd);
        return fail(openErrnoToError(-fd));
    }
    CVideoFd owned(m_scanner.io(), fd);
    // no sharing asked: an exclusive advisory lock, so a second program cannot drive the camera
    const int rc = io.Flock(fd, (share == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB);
    if (rc != 0) {
        XTRACE(4)("flock(%s) FAILED. errno = %d: the camera is in use XXXXXXXXXX", known->node.devNode.c_str(), -rc);
        return fail(rc == -EWOULDBLOCK ? ERROR_SHARING_VIOLATION : openErrnoToError(-rc));
    }
    if (lastError) *lastError = ERROR_SUCCESS;
    return std::make_unique<CLinuxDeviceHandle>(std::move(owned), known->channel);
}

bool CLinuxWorld::SetupDiClassGuidsFromName(const std::wstring& className, std::vector<Guid>* guids) {
    if (!guids) return false;
    guids->clear();
    if (upperWide(className) == L"IMAGE") guids->push_back(guids::kImageSetupClass);
    return true;
}

bool CLinuxWorld::SetupDiGetClassDevs(const Guid& classGuid, std::uint32_t, std::vector<SetupDevice>* devices) {
    if (!devices) return false;
    devices->clear();
    if (classGuid != guids::kImageSetupClass) return true;
    for (const auto& k : Rescan()) devices->push_back({k.node.instanceId, k.node.hardwareIds});
    return true;
}

std::uint64_t CLinuxWorld::RegisterDeviceNotification(DeviceNoticeCallback recipient,
                                                      const DeviceInterfaceNotice& filter, std::uint32_t flags,
                                                      std::uint32_t* lastError) {
    if (!recipient || filter.deviceType != DBT_DEVTYP_DEVICEINTERFACE) {
        if (lastError) *lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    std::lock_guard lock(m_noticeMutex);
    if (m_config.udevMonitor && !(m_monitor && m_monitor->running())) {
        m_monitor = std::make_unique<CUdevMonitor>([this](const UdevEvent& e) { DeliverEvent(e); });
        int err = 0;
        if (!m_monitor->Start(&err)) {
            m_monitor.reset();
            if (lastError) *lastError = err == EACCES || err == EPERM ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE;
            return 0;
        }
    }
    const std::uint64_t handle = ++m_nextHandle;
    m_recipients[handle] = {std::move(recipient), filter.classGuid, (flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0};
    if (lastError) *lastError = ERROR_SUCCESS;
    return handle;
}

bool CLinuxWorld::UnregisterDeviceNotification(std::uint64_t handle, std::uint32_t* lastError) {
    std::unique_ptr<CUdevMonitor> idle;
    {
        std::lock_guard lock(m_noticeMutex);
        if (m_recipients.erase(handle) == 0) {
            if (lastError) *lastError = ERROR_INVALID_HANDLE;
            return false;
        }
        // the last recipient gone: stop watching, unless this runs on the monitor thread itself
        if (m_recipients.empty() && m_monitor && !m_monitor->onMonitorThread()) idle = std::move(m_monitor);
    }
    idle.reset();
    if (lastError) *lastError = ERROR_SUCCESS;
    return true;
}

void CLinuxWorld::DeliverEvent(const UdevEvent& event) {
    const auto translated = m_translator.Translate(event);
    if (!translated) return;
    std::vector<DeviceNoticeCallback> targets;
    {
        std::lock_guard lock(m_noticeMutex);
        for (const auto& [handle, r] : m_recipients) {
            if (r.allClasses || r.classGuid == translated->notice.classGuid) targets.push_back(r.callback);
        }
    }
    // called without the lock: a recipient may unregister from its callback
    for (const auto& callback : targets) callback(translated->eventType, translated->notice);
}

bool CLinuxWorld::monitorRunning() const {
    std::lock_guard lock(m_noticeMutex);
    return m_monitor && m_monitor->running();
}

}  // namespace lumo::os::linuxworld
