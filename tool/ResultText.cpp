#include "tool/ResultText.h"

#include <cstdio>

namespace lumo::tool {

const char* OutcomeText(MP_CAMERA_RESULT::Outcome outcome) {
    switch (outcome) {
        case MP_CAMERA_RESULT::Outcome::Ok:
            return "OK";
        case MP_CAMERA_RESULT::Outcome::Failed:
            return "FAIL";
        case MP_CAMERA_RESULT::Outcome::Running:
            return "RUNNING";
        case MP_CAMERA_RESULT::Outcome::NotRun:
            break;
    }
    return "NOT RUN";
}

const char* RomTypeText(std::uint32_t romSize) {
    return romSize == 65536 ? "SPI" : romSize == 0 || romSize == 0xFFFFFFFFu ? "No Device" : "I2C";
}

std::string ResultCounts(const MP_RUN_SUMMARY& summary) {
    std::size_t ok = 0;
    for (const auto& c : summary.cameras) ok += c.eOutcome == MP_CAMERA_RESULT::Outcome::Ok ? 1 : 0;
    const std::size_t n = summary.cameras.size();
    const char* plural = n == 1 ? "" : "s";
    char text[96];
    if (summary.bInProgress)
        std::snprintf(text, sizeof text, "%zu camera%s", n, plural);
    else if (summary.bSuccess)
        std::snprintf(text, sizeof text, "%zu of %zu camera%s OK", ok, n, plural);
    else
        std::snprintf(text, sizeof text, "%zu of %zu camera%s failed", n - ok, n, plural);
    return text;
}

std::string ResultHeadline(const MP_RUN_SUMMARY& summary) {
    if (summary.bRefused) return "Last run: refused, nothing was written";
    if (summary.bInProgress) return "Run in progress: " + ResultCounts(summary);
    return std::string("Last run: ") + (summary.bSuccess ? "OK, " : "FAIL, ") + ResultCounts(summary);
}

std::string ResultSeconds(const MP_CAMERA_RESULT& camera) {
    char s[32];
    std::snprintf(s, sizeof s, "%.2f", camera.dwMs / 1000.0);
    return s;
}

std::string ResultLine(const MP_CAMERA_RESULT& c) {
    char line[256];
    std::snprintf(line, sizeof line, "camera %-3u %04X:%04X  %-8s  %-11s  %-4s  %6s s%s%s", c.bDevIdx, c.wVid, c.wPid,
                  c.szPartNo.c_str(), c.szPlan.c_str(), OutcomeText(c.eOutcome), ResultSeconds(c).c_str(),
                  c.szReason.empty() ? "" : "  ", c.szReason.c_str());
    return line;
}

}  // namespace lumo::tool
