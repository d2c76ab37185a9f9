#pragma once
// A manual-reset event: signalled while no upgrade run is active.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace lumo::tool {

class CIdleEvent {
public:
    explicit CIdleEvent(bool signalled) : m_signalled(signalled) {}

    void Set() {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
        m_cv.notify_all();
    }
    void Reset() {
        std::lock_guard lock(m_mutex);
        m_signalled = false;
    }
    bool IsSet() const {
        std::lock_guard lock(m_mutex);
        return m_signalled;
    }
    // True when signalled within ms. This is a display refresh interval, not a device pause,
    // so it runs on the real clock.
    bool Wait(unsigned ms) const {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_signalled; });
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    bool m_signalled;
};

}  // namespace lumo::tool
