#pragma once
// The window thread's queue: synchronous calls from other threads, posted tasks, and the
// loop that serves them. Front ends build their IDialogLayer threading on it.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace lumo::tool {

class CWindowThread {
public:
    // The constructing thread becomes the window thread (Bind changes it).
    CWindowThread();
    void Bind();

    bool IsWindowThread() const;
    void Call(const std::function<void()>& fn);
    void Post(std::function<void()> fn);
    void ServeCallsUntil(const std::function<bool()>& done);
    void Wake();

    // Serves calls and posted tasks until Quit. onIdle runs whenever the queue runs empty.
    void Run(const std::function<void()>& onIdle = {});
    void Quit();
    // Serves what is queued now, without blocking; false when nothing was queued.
    bool PumpPending();

private:
    struct SyncCall {
        const std::function<void()>* fn;
        bool done = false;
    };

    void RunCall(std::unique_lock<std::mutex>& lock, SyncCall* call);

    mutable std::mutex m_mutex;
    std::condition_variable m_cvWindow;  // the window thread waits here
    std::condition_variable m_cvCaller;  // callers of Call wait here
    std::deque<SyncCall*> m_calls;
    std::deque<std::function<void()>> m_posted;
    std::thread::id m_windowThread;
    unsigned m_wakes = 0;
    bool m_quit = false;
};

}  // namespace lumo::tool
