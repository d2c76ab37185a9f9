#pragma once
// Time for everything above the OS layer: pauses, millisecond ticks and the high-resolution
// counter. A test world may install a virtual clock so the product's pauses cost no real time.
#include <cstdint>
#include <memory>

namespace lumo::os {

class IClock {
public:
    virtual ~IClock() = default;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    virtual std::uint32_t GetTickCount() = 0;              // milliseconds, wraps at 2^32
    virtual std::int64_t QueryPerformanceCounter() = 0;    // counts
    virtual std::int64_t QueryPerformanceFrequency() = 0;  // counts per second
};

// The process clock (the real one unless a virtual one is installed).
IClock& clock();
// Installs a clock; null restores the real clock.
void installClock(std::shared_ptr<IClock> clock);

// Shorthands used throughout.
inline void Sleep(std::uint32_t ms) {
    clock().Sleep(ms);
}
inline std::uint32_t GetTickCount() {
    return clock().GetTickCount();
}

}  // namespace lumo::os
