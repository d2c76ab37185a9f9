#include "tool/qt/WindowCalls.h"

namespace lumo::tool {

CWindowCalls::CWindowCalls(std::function<void()> nudge)
    : m_windowThread(std::this_thread::get_id()), m_nudge(std::move(nudge)) {}

void CWindowCalls::Call(const std::function<void()>& fn) {
    if (IsWindowThread()) {
        fn();
        return;
    }
    SyncCall call{&fn};
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(&call);
        m_cvWindow.notify_all();
    }
    m_nudge();
    std::unique_lock lock(m_mutex);
    m_cvCaller.wait(lock, [&] { return call.done; });
}

void CWindowCalls::ServeQueued(std::unique_lock<std::mutex>& lock) {
    while (!m_calls.empty()) {
        SyncCall* call = m_calls.front();
        m_calls.pop_front();
        lock.unlock();
        (*call->fn)();
        lock.lock();
        call->done = true;
        m_cvCaller.notify_all();
    }
}

void CWindowCalls::ServePending() {
    std::unique_lock lock(m_mutex);
    ServeQueued(lock);
}

void CWindowCalls::ServeCallsUntil(const std::function<bool()>& done) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        ServeQueued(lock);
        const unsigned wakes = m_wakes;
        lock.unlock();
        if (done()) return;
        lock.lock();
        // A Wake between the check and here changed m_wakes, so none is lost.
        m_cvWindow.wait(lock, [&] { return !m_calls.empty() || m_wakes != wakes; });
    }
}

void CWindowCalls::Wake() {
    std::lock_guard lock(m_mutex);
    ++m_wakes;
    m_cvWindow.notify_all();
}

}  // namespace lumo::tool
