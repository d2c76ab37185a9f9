#pragma once
// Calls that other threads make into the Qt window thread and wait for. A call is queued
// first and the window thread is nudged through the Qt event queue afterwards, so no nudge can
// arrive before its call. While the window thread waits for a run (ServeCallsUntil) it serves
// the queue directly, without taking any other Qt event.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace lumo::tool {

class CWindowCalls {
public:
    // The constructing thread is the window thread; nudge posts a call of ServePending to it.
    explicit CWindowCalls(std::function<void()> nudge);

    bool IsWindowThread() const { return std::this_thread::get_id() == m_windowThread; }
    // Runs fn on the window thread and returns when it has run (at once on the window thread).
    void Call(const std::function<void()>& fn);
    // Window thread: runs every queued call, without blocking.
    void ServePending();
    // Window thread: serves calls until done() holds, checked after every call and every Wake.
    void ServeCallsUntil(const std::function<bool()>& done);
    void Wake();

private:
    struct SyncCall {
        const std::function<void()>* fn;
        bool done = false;
    };
    void ServeQueued(std::unique_lock<std::mutex>& lock);

    const std::thread::id m_windowThread;
    const std::function<void()> m_nudge;
    std::mutex m_mutex;
    std::condition_variable m_cvWindow;
    std::condition_variable m_cvCaller;
    std::deque<SyncCall*> m_calls;
    unsigned m_wakes = 0;
};

}  // namespace lumo::tool
