#pragma once
// What a run did: one record per camera it served, and how the click ended.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumo::tool {

// What one worker of a run did to its camera.
struct MP_CAMERA_RESULT {
    enum class Outcome { NotRun, Running, Ok, Failed };
    std::uint8_t bDevIdx = 0;
    std::uint16_t wVid = 0;
    std::uint16_t wPid = 0;
    std::uint16_t wBcdDevice = 0;  // release number
    std::string szPartNo;
    std::uint32_t dwRomSize = 0;  // as the camera's ROM detection found it
    std::string szPlan;           // "whole erase", "sector N", "plain"; empty before it was chosen
    Outcome eOutcome = Outcome::NotRun;
    std::string szReason;                    // why it failed, empty otherwise
    std::optional<std::uint32_t> dwBadAddr;  // first ROM address that did not read back as written
    std::uint32_t dwMs = 0;                  // time from the worker's start to its end
};

// How a click on "Upgrade FW" ended.
struct MP_RUN_SUMMARY {
    bool bRefused = false;     // a message box stopped it, or there was no camera to run on
    bool bSuccess = false;     // every served camera ended OK, its ROM read back as written
    bool bInProgress = false;  // the run has started and its cameras are still at work
    std::vector<MP_CAMERA_RESULT> cameras;
};

// The exit code of a run for scripts: 0 every served camera OK, 1 any failed, 2 refused.
inline int RunExitCode(const MP_RUN_SUMMARY& summary) {
    return summary.bRefused ? 2 : summary.bSuccess ? 0 : 1;
}

}  // namespace lumo::tool
