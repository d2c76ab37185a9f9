#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace lumo::os {
namespace {

class RealClock final : public IClock {
public:
    void Sleep(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    std::uint32_t GetTickCount() override {
        using namespace std::chrono;
        return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    std::int64_t QueryPerformanceCounter() override {
        using namespace std::chrono;
        return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    }
    std::int64_t QueryPerformanceFrequency() override { return 1'000'000'000; }
};

RealClock g_realClock;
std::mutex g_clockMutex;
std::shared_ptr<IClock> g_installed;      // keeps an installed clock alive
std::atomic<IClock*> g_current{nullptr};  // read on every call without a lock

}  // namespace

IClock& clock() {
    IClock* c = g_current.load(std::memory_order_acquire);
    return c ? *c : g_realClock;
}

void installClock(std::shared_ptr<IClock> c) {
    std::lock_guard lock(g_clockMutex);
    g_current.store(c.get(), std::memory_order_release);
    g_installed = std::move(c);
}

}  // namespace lumo::os
