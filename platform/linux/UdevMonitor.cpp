#include "platform/linux/UdevMonitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "common/trace/DEdura.h"

namespace lumo::os::linuxworld {

bool CUdevMonitor::Start(int* err) {
    if (running()) return true;
    auto failWith = [&](int e) {
        if (m_monitor) udev_monitor_unref(m_monitor);
        if (m_udev) udev_unref(m_udev);
        if (m_stopFd >= 0) ::close(m_stopFd);
        m_monitor = nullptr;
        m_udev = nullptr;
        m_stopFd = -1;
        if (err) *err = e;
        XTRACE(4)("udev monitor set-up FAILED. errno = %d XXXXXXXXXX", e);
        return false;
    };
    m_udev = udev_new();
    if (!m_udev) return failWith(errno ? errno : ENOMEM);
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor) return failWith(errno ? errno : EPROTONOSUPPORT);
    if (int rc = udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "video4linux", nullptr); rc < 0)
        return failWith(-rc);
    if (int rc = udev_monitor_enable_receiving(m_monitor); rc < 0) return failWith(-rc);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0) return failWith(errno);
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CUdevMonitor::Stop() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_monitor) udev_monitor_unref(m_monitor);
    if (m_udev) udev_unref(m_udev);
    if (m_stopFd >= 0) ::close(m_stopFd);
    m_monitor = nullptr;
    m_udev = nullptr;
    m_stopFd = -1;
}

void CUdevMonitor::Run() {
    pollfd fds[2] = {{udev_monitor_get_fd(m_monitor), POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        udev_device* dev = udev_monitor_receive_device(m_monitor);
        if (!dev) continue;
        UdevEvent event;
        if (const char* s = udev_device_get_action(dev)) event.action = s;
        if (const char* s = udev_device_get_sysname(dev)) event.sysName = s;
        if (const char* s = udev_device_get_devpath(dev)) event.devPath = s;
        for (udev_list_entry* e = udev_device_get_properties_list_entry(dev); e; e = udev_list_entry_get_next(e)) {
            const char* name = udev_list_entry_get_name(e);
            const char* value = udev_list_entry_get_value(e);
            if (name) event.properties[name] = value ? value : "";
        }
        udev_device_unref(dev);
        if (m_sink) m_sink(event);
    }
}

}  // namespace lumo::os::linuxworld
