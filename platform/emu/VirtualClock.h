#pragma once
// A clock for tests: time moves only when a thread sleeps, spins on the high-resolution
// counter or reads the tick count, so the product's pauses cost no real time. The emulated
// world's own timers (erase, write cycle, reset re-arrival) run on whatever clock is installed.
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/Clock.h"

namespace lumo::os::emu {

class VirtualClock final : public IClock {
public:
    static constexpr std::int64_t kFrequency = 10'000'000;  // counts per second (100 ns)

    // Sleep(ms) moves time to (the time the sleep began) + ms; concurrent sleeps overlap.
    void Sleep(std::uint32_t milliseconds) override;
    std::uint32_t GetTickCount() override;
    // Every read moves time by spinStepUs, so a busy wait on the counter terminates.
    std::int64_t QueryPerformanceCounter() override;
    std::int64_t QueryPerformanceFrequency() override { return kFrequency; }

    std::uint64_t nowUs() const { return m_nowUs.load(std::memory_order_acquire); }
    void advanceUs(std::uint64_t us);
    void advanceToUs(std::uint64_t us);  // never moves backwards
    void setSpinStepUs(std::uint32_t us) { m_spinStepUs = us; }

    // Makes a fresh virtual clock the process clock and returns it.
    static std::shared_ptr<VirtualClock> install();

private:
    std::atomic<std::uint64_t> m_nowUs{1'000'000};  // starts at 1 s so tick differences are never negative
    std::atomic<std::uint32_t> m_spinStepUs{10};
};

// Time as the emulated world sees it, in microseconds, on the installed clock.
std::uint64_t worldNowUs();
// Lets time pass until the given world time: advances a virtual clock, sleeps on a real one.
void worldWaitUntilUs(std::uint64_t deadlineUs);

}  // namespace lumo::os::emu
