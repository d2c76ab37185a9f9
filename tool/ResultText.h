#pragma once
// The run's results as the operator reads them, the same in every front end.
#include <string>

#include "tool/RunResult.h"

namespace lumo::tool {

// "OK", "FAIL", "RUNNING" or "NOT RUN".
const char* OutcomeText(MP_CAMERA_RESULT::Outcome outcome);
// The ROM type as the window shows it for a ROM size: "SPI", "I2C" or "No Device".
const char* RomTypeText(std::uint32_t romSize);
// "4 of 4 cameras OK", "1 of 3 cameras failed", or "4 cameras" while the run is on.
std::string ResultCounts(const MP_RUN_SUMMARY& summary);
// One line for the whole run, e.g. "Last run: FAIL, 1 of 3 cameras failed".
std::string ResultHeadline(const MP_RUN_SUMMARY& summary);
// One line per camera: index, VID:PID, part number, plan, outcome, seconds, reason.
std::string ResultLine(const MP_CAMERA_RESULT& camera);
// Seconds with two decimals.
std::string ResultSeconds(const MP_CAMERA_RESULT& camera);

}  // namespace lumo::tool
