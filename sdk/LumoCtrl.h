#pragma once
// CLumoCtrl: the process-wide device registry. One static instance, constructed when the
// library is loaded (before the trace log starts) and read by every export's checks.
#include <cstdint>
#include <vector>

class CLumoDev;

class CLumoCtrl {
public:
    CLumoCtrl();
    ~CLumoCtrl();
    CLumoCtrl(const CLumoCtrl&) = delete;
    CLumoCtrl& operator=(const CLumoCtrl&) = delete;

    // The one registry of the process. Built on first use; the library's start-up touches it
    // before the trace log starts, so it exists from load to unload.
    static CLumoCtrl& Instance();

    // Registered cameras in index order; the registry owns and deletes each one. Never holds
    // an empty slot between operations.
    std::vector<CLumoDev*> m_oDevs;
    // Number of registered cameras, equal to m_oDevs.size() after every operation. The recount
    // works in 8 bits, so at most 255 cameras are held.
    std::int32_t m_nDevCount = 0;
    // The current device-change registration; 0 when none.
    std::uint64_t m_hDevNotify = 0;
    // Index of the camera whose backend signature an image is compared with; always 0.
    std::int32_t m_nRefDevIdx = 0;
};
