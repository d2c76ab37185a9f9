#include "platform/emu/VirtualClock.h"

#include <chrono>
#include <thread>

namespace lumo::os::emu {

void VirtualClock::Sleep(std::uint32_t milliseconds) {
    advanceToUs(nowUs() + std::uint64_t{milliseconds} * 1000);
    std::this_thread::yield();  // let other threads see the time move
}

std::uint32_t VirtualClock::GetTickCount() {
    // A small step per read keeps a loop that spins on the tick count from hanging.
    return static_cast<std::uint32_t>((m_nowUs.fetch_add(1, std::memory_order_acq_rel) + 1) / 1000);
}

std::int64_t VirtualClock::QueryPerformanceCounter() {
    const std::uint64_t step = m_spinStepUs.load(std::memory_order_relaxed);
    const std::uint64_t now = m_nowUs.fetch_add(step, std::memory_order_acq_rel) + step;
    return static_cast<std::int64_t>(now) * (kFrequency / 1'000'000);
}

void VirtualClock::advanceUs(std::uint64_t us) {
    m_nowUs.fetch_add(us, std::memory_order_acq_rel);
}

void VirtualClock::advanceToUs(std::uint64_t us) {
    std::uint64_t cur = m_nowUs.load(std::memory_order_acquire);
    while (cur < us && !m_nowUs.compare_exchange_weak(cur, us, std::memory_order_acq_rel)) {
    }
}

std::shared_ptr<VirtualClock> VirtualClock::install() {
    auto c = std::make_shared<VirtualClock>();
    installClock(c);
    return c;
}

std::uint64_t worldNowUs() {
    IClock& c = clock();
    if (auto* v = dynamic_cast<VirtualClock*>(&c)) return v->nowUs();
    const std::int64_t freq = c.QueryPerformanceFrequency();
    const std::int64_t count = c.QueryPerformanceCounter();
    if (freq <= 0) return 0;
    return static_cast<std::uint64_t>(count / freq * 1'000'000 + (count % freq) * 1'000'000 / freq);
}

void worldWaitUntilUs(std::uint64_t deadlineUs) {
    IClock& c = clock();
    if (auto* v = dynamic_cast<VirtualClock*>(&c)) {
        v->advanceToUs(deadlineUs);
        return;
    }
    const std::uint64_t now = worldNowUs();
    if (deadlineUs > now) std::this_thread::sleep_for(std::chrono::microseconds(deadlineUs - now));
}

}  // namespace lumo::os::emu
