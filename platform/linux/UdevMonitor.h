#pragma once
// A libudev monitor on subsystem video4linux, read on a thread of its own; each event goes
// to the sink on that thread.
#include <functional>
#include <thread>

#include "platform/linux/UdevEventTranslator.h"

struct udev;
struct udev_monitor;

namespace lumo::os::linuxworld {

class CUdevMonitor {
public:
    using Sink = std::function<void(const UdevEvent&)>;
    explicit CUdevMonitor(Sink sink) : m_sink(std::move(sink)) {}
    ~CUdevMonitor() { Stop(); }
    CUdevMonitor(const CUdevMonitor&) = delete;
    CUdevMonitor& operator=(const CUdevMonitor&) = delete;

    // Sets up the monitor and starts the thread; false with errno (positive) in *err.
    bool Start(int* err);
    void Stop();
    bool running() const { return m_thread.joinable(); }
    bool onMonitorThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    void Run();

    Sink m_sink;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    int m_stopFd = -1;
    std::thread m_thread;
};

}  // namespace lumo::os::linuxworld
