#include "tool/WindowThread.h"

namespace lumo::tool {

CWindowThread::CWindowThread() : m_windowThread(std::this_thread::get_id()) {}

void CWindowThread::Bind() {
    std::lock_guard lock(m_mutex);
    m_windowThread = std::this_thread::get_id();
}

bool CWindowThread::IsWindowThread() const {
    std::lock_guard lock(m_mutex);
    return m_windowThread == std::this_thread::get_id();
}

void CWindowThread::Call(const std::function<void()>& fn) {
    if (IsWindowThread()) {
        fn();
        return;
    }
    SyncCall call{&fn};
    std::unique_lock lock(m_mutex);
    m_calls.push_back(&call);
    m_cvWindow.notify_all();
    m_cvCaller.wait(lock, [&] { return call.done; });
}

void CWindowThread::Post(std::function<void()> fn) {
    std::lock_guard lock(m_mutex);
    m_posted.push_back(std::move(fn));
    m_cvWindow.notify_all();
}

void CWindowThread::Wake() {
    std::lock_guard lock(m_mutex);
    ++m_wakes;
    m_cvWindow.notify_all();
}

void CWindowThread::RunCall(std::unique_lock<std::mutex>& lock, SyncCall* call) {
    lock.unlock();
    (*call->fn)();
    lock.lock();
    call->done = true;
    m_cvCaller.notify_all();
}

void CWindowThread::ServeCallsUntil(const std::function<bool()>& done) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        while (!m_calls.empty()) {
            SyncCall* call = m_calls.front();
            m_calls.pop_front();
            RunCall(lock, call);
        }
        const unsigned wakes = m_wakes;
        lock.unlock();
        if (done()) return;
        lock.lock();
        // A Wake between the check and here changed m_wakes, so no wake-up is lost.
        m_cvWindow.wait(lock, [&] { return !m_calls.empty() || m_wakes != wakes; });
    }
}

void CWindowThread::Run(const std::function<void()>& onIdle) {
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (!m_calls.empty()) {
            SyncCall* call = m_calls.front();
            m_calls.pop_front();
            RunCall(lock, call);
            continue;
        }
        if (!m_posted.empty()) {
            auto task = std::move(m_posted.front());
            m_posted.pop_front();
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        if (onIdle) {
            lock.unlock();
            onIdle();
            lock.lock();
            if (!m_calls.empty() || !m_posted.empty() || m_quit) continue;
        }
        m_cvWindow.wait(lock, [&] { return m_quit || !m_calls.empty() || !m_posted.empty(); });
    }
    m_quit = false;
}

void CWindowThread::Quit() {
    std::lock_guard lock(m_mutex);
    m_quit = true;
    m_cvWindow.notify_all();
}

bool CWindowThread::PumpPending() {
    std::unique_lock lock(m_mutex);
    bool any = false;
    while (!m_calls.empty() || !m_posted.empty()) {
        any = true;
        if (!m_calls.empty()) {
            SyncCall* call = m_calls.front();
            m_calls.pop_front();
            RunCall(lock, call);
        } else {
            auto task = std::move(m_posted.front());
            m_posted.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }
    return any;
}

}  // namespace lumo::tool
