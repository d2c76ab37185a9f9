#include "platform/emu/EmuLineFollower.h"

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace lumo::os::emu {
namespace {

// What tells a changed file from an unchanged one without reading it.
struct FileStamp {
    bool exists = false;
    std::int64_t mtimeNs = 0;
    std::int64_t size = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp stampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            static_cast<std::int64_t>(st.st_size)};
}

constexpr auto kPollInterval = std::chrono::milliseconds(250);

}  // namespace

struct EmuLineFollower::Watcher {
    std::string path;
    FileStamp seen;
    bool reportedError = false;
    std::mutex mu;
    std::condition_variable wake;
    bool stop = false;
    std::thread thread;
};

EmuLineFollower::EmuLineFollower(std::shared_ptr<EmuWorld> world, std::string lineFile)
    : m_world(std::move(world)), m_watcher(std::make_unique<Watcher>()) {
    m_watcher->path = std::move(lineFile);
    m_watcher->seen = stampOf(m_watcher->path);
    // real time on purpose: the file is edited by a person, not by the product's clock
    m_watcher->thread = std::thread([this] {
        std::unique_lock lock(m_watcher->mu);
        while (!m_watcher->wake.wait_for(lock, kPollInterval, [this] { return m_watcher->stop; })) {
            lock.unlock();
            poll();
            lock.lock();
        }
    });
}

EmuLineFollower::~EmuLineFollower() {
    {
        std::lock_guard lock(m_watcher->mu);
        m_watcher->stop = true;
    }
    m_watcher->wake.notify_all();
    m_watcher->thread.join();
}

void EmuLineFollower::poll() {
    const FileStamp now = stampOf(m_watcher->path);
    if (now == m_watcher->seen) return;
    // a file that is gone or half written keeps the line as it is; the next change is read again
    LineDescription line;
    std::string error;
    if (!now.exists || !parseLineFile(m_watcher->path, &line, &error)) {
        if (!m_watcher->reportedError)
            std::fprintf(stderr, "LUMO_WORLD: %s; the line stays as it was\n",
                         now.exists ? error.c_str() : (m_watcher->path + ": cannot be read").c_str());
        m_watcher->reportedError = true;
        m_watcher->seen = now;
        return;
    }
    m_watcher->reportedError = false;
    m_watcher->seen = now;
    followLine(*m_world, line);
}

HRESULT EmuLineFollower::CreateClassEnumerator(const Guid& category, std::shared_ptr<IEnumMoniker>* out) {
    return m_world->CreateClassEnumerator(category, out);
}
std::unique_ptr<IDeviceHandle> EmuLineFollower::CreateFile(const std::wstring& path, std::uint32_t access,
                                                           std::uint32_t share, std::uint32_t flagsAndAttributes,
                                                           std::uint32_t* lastError) {
    return m_world->CreateFile(path, access, share, flagsAndAttributes, lastError);
}
bool EmuLineFollower::SetupDiClassGuidsFromName(const std::wstring& className, std::vector<Guid>* guids) {
    return m_world->SetupDiClassGuidsFromName(className, guids);
}
bool EmuLineFollower::SetupDiGetClassDevs(const Guid& classGuid, std::uint32_t flags,
                                          std::vector<SetupDevice>* devices) {
    return m_world->SetupDiGetClassDevs(classGuid, flags, devices);
}
std::uint64_t EmuLineFollower::RegisterDeviceNotification(DeviceNoticeCallback recipient,
                                                          const DeviceInterfaceNotice& filter, std::uint32_t flags,
                                                          std::uint32_t* lastError) {
    return m_world->RegisterDeviceNotification(std::move(recipient), filter, flags, lastError);
}
bool EmuLineFollower::UnregisterDeviceNotification(std::uint64_t handle, std::uint32_t* lastError) {
    return m_world->UnregisterDeviceNotification(handle, lastError);
}

}  // namespace lumo::os::emu
