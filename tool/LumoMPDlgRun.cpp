// The upgrade run of CLumoMPDlg: the click handler, the service thread and the workers.
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

#include "common/trace/DEdura.h"
#include "platform/Clock.h"
#include "platform/TextConv.h"
#include "tool/ControlIds.h"
#include "tool/LumoMPDlg.h"

namespace lumo::tool {
namespace {

constexpr std::uint32_t kBusyWaitMs = 3000;
constexpr std::uint32_t kSectorSize = 4096;
constexpr std::uint32_t kAddressSpace = 65536;  // ROM addresses are 16 bits wide
// Read-back chunk: a multiple of 32 bytes, so every piece of the sequence protocol is full.
constexpr std::uint32_t kVerifyChunk = 1024;
// The bar's share of the writing when the ROM is read back afterwards; the rest is the read-back.
constexpr std::uint32_t kWritePercent = 80;

std::string hex4(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(address));
    return text;
}

bool isWholeEraseSize(std::uint32_t rom) {
    return rom == 65536 || rom == 32768;
}

std::uint32_t blockSizeFor(std::uint32_t rom) {
    const std::uint32_t q = rom / 128;
    return q >= 32 ? 32 : q >= 5 ? 16 : 8;
}

}  // namespace

void CLumoMPDlg::OnBnClickedButtonUpgradeFwMp() {
    XTRACE(2)("%s ===>", "CLumoMPDlg::OnBnClickedButtonUpgradeFwMp");
    // A click can come while the last worker of the previous run is still on its way out.
    WaitForRunEnd();
    JoinRunThreads();

    bool refused = false;
    // A shorter image must not carry the tail of an earlier, longer one into the ROM.
    m_abBinBuf.fill(0xFF);
    const bool loaded = TAVIX_LoadBinFileFromPath(m_abBinBuf.data(), m_szBinPath.c_str(),
                                                  static_cast<std::int32_t>(m_dwSpecSectorOn)) != 0;
    if (!loaded) {
        MessageBoxOwned(kMsgSourceFileError, MsgIcon::Exclamation);
        refused = true;
    }
    if (m_dwSpecSectorOn == 0 && (m_abBinBuf[0x40] != m_szBackendSig[0] || m_abBinBuf[0x41] != m_szBackendSig[1])) {
        MessageBoxOwned(kMsgSignatureMismatch, MsgIcon::Exclamation);
        refused = true;
    }
    TAVIX_GetBinFileSize(&m_dwBinSize);
    m_bBinLoaded = loaded;
    if (loaded) {
        const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(m_dwBinSize, kBinBufSize));
        m_image.szName = lumo::os::toUtf8(m_szBinPath.substr(m_szBinPath.find_last_of(L"/\\") + 1));
        m_image.dwLength = m_dwBinSize;
        m_image.wCrc16 = static_cast<std::uint16_t>(TAVIX_CRC16Calculate(m_abBinBuf.data(), length));
    }
    m_layer.SetDlgItemText(IDC_EDIT_BINFILE, BinFileText());

    TAVIX_GetDevCount(&m_bDevCount);
    if (RefusedByCount()) refused = true;

    std::vector<std::uint8_t> indices;
    if (!refused) {
        if (m_bDevSelect != 0) {
            if (m_bDevSelect > m_bDevCount) m_bDevSelect = 1;
            if (m_bDevCount > 0) indices.push_back(static_cast<std::uint8_t>(m_bDevSelect - 1));
        } else {
            // Every registered camera: the count is one byte, and a record is kept for each.
            for (std::size_t i = 0; i < m_bDevCount; ++i) indices.push_back(static_cast<std::uint8_t>(i));
        }
        if (indices.empty()) {
            MessageBoxOwned(kMsgNoCamera, MsgIcon::Exclamation);
            refused = true;
        } else if (RefusedBySectorFit(indices)) {
            refused = true;
        }
    }
    if (refused) {
        RefuseClick();
        XTRACE(2)("%s <===", "CLumoMPDlg::OnBnClickedButtonUpgradeFwMp");
        return;
    }

    MP_RUN_SUMMARY started;
    started.bInProgress = true;
    for (std::uint8_t idx : indices) {
        MP_CAMERA_RESULT r;
        r.bDevIdx = idx;
        r.eOutcome = MP_CAMERA_RESULT::Outcome::Running;
        started.cameras.push_back(r);
    }
    {
        std::lock_guard lock(m_resultsMutex);
        m_results = started.cameras;
        m_szReportError.clear();
    }
    m_bReportFailed.store(false);
    m_layer.ShowRunResults(started);
    // The controls that alter a run go off at once, not only when the first worker's window
    // call is served: a Specific Sector click in between would change what the workers read.
    LumoMPEnableUICtrl(false);
    // Each run's bar starts at 0, whatever an earlier run left in the progress fields.
    m_wProgressMax.store(0, std::memory_order_relaxed);
    m_wProgressPos.store(0, std::memory_order_relaxed);
    m_layer.SetProgressPos(0);
    m_bRunDevCount = m_bDevCount;
    m_bRunFailed.store(false);
    // Every worker is counted before the first one starts, so none can see the run as done
    // while others have yet to start.
    const auto n = static_cast<std::int32_t>(indices.size());
    m_lRunning.store(n);
    m_lActive.store(n);
    m_lLiveThreads.store(n + 1);
    m_hIdleEvent.Reset();

    auto start = [this](auto&& fn, const char* what) {
        try {
            m_runThreads.emplace_back(std::forward<decltype(fn)>(fn));
            return true;
        } catch (...) {
            XTRACE(4)("%s: thread not started XXXXXXXXXX", what);
            return false;
        }
    };
    if (!start([this] { ServiceThdMP(this); }, "ServiceThdMP")) ThreadEnded();
    for (std::uint8_t idx : indices) {
        MP_THREAD_PARAM* param = &m_ThdParam[idx];
        param->pDlg = this;
        param->bDevIdx = idx;
        if (!start([param] { TaskExecThdMP(param); }, "TaskExecThdMP")) {
            MP_CAMERA_RESULT r;
            r.bDevIdx = idx;
            Fail(r, "worker thread not started");
            WorkerFailureEnd(r);
            WorkerEnded(r);
            ThreadEnded();
        }
    }
    XTRACE(2)("%s <===", "CLumoMPDlg::OnBnClickedButtonUpgradeFwMp");
}

// A fixture that holds another number of cameras than the line expects has a camera that was
// not recognised (or one too many): the operator must know before anything is written.
bool CLumoMPDlg::RefusedByCount() {
    if (m_dwExpectedCount == 0 || m_dwExpectedCount == m_bDevCount) return false;
    wchar_t text[160];
    std::swprintf(text, 160, kMsgCountMismatch, static_cast<unsigned>(m_dwExpectedCount),
                  static_cast<unsigned>(m_bDevCount));
    MessageBoxOwned(text, MsgIcon::Exclamation);
    return true;
}

// In the Specific Sector mode the image must fit between its sector and the end of each
// camera's ROM (a camera whose ROM was not detected fails in its worker with that reason).
bool CLumoMPDlg::RefusedBySectorFit(const std::vector<std::uint8_t>& indices) {
    if (m_dwSpecSectorOn == 0) return false;
    for (std::uint8_t idx : indices) {
        std::uint32_t rom = 0;
        if (TAVIX_GetFlashSize(&rom, idx) == 0 || rom == 0 || rom == 0xFFFFFFFFu) continue;
        const std::uint32_t limit = std::min(rom, kAddressSpace);
        if (std::uint64_t{m_wSectorAddr} + m_dwBinSize <= limit) continue;
        wchar_t text[200];
        std::swprintf(text, 200, kMsgSectorFit, static_cast<unsigned>(m_dwBinSize),
                      static_cast<unsigned>(m_wSectorAddr / kSectorSize), static_cast<unsigned>(limit));
        MessageBoxOwned(text, MsgIcon::Exclamation);
        return true;
    }
    return false;
}

void CLumoMPDlg::RefuseClick() {
    MP_RUN_SUMMARY summary;
    summary.bRefused = true;
    {
        std::lock_guard lock(m_resultsMutex);
        m_results.clear();
        m_lastRun = summary;
    }
    if (m_onRunEnded) m_onRunEnded(summary);
}

unsigned CLumoMPDlg::ServiceThdMP(CLumoMPDlg* dlg) {
    XTRACE(2)("%s ===>", "CLumoMPDlg::ServiceThdMP");
    dlg->UiCall([dlg] { dlg->m_layer.SetProgressPos(0); });
    while (!dlg->m_hIdleEvent.Wait(50)) {
        const int pos = dlg->m_wProgressPos.load(std::memory_order_relaxed);
        dlg->UiCall([dlg, pos] { dlg->m_layer.SetProgressPos(pos); });
    }
    XTRACE(2)("%s <===", "CLumoMPDlg::ServiceThdMP");
    dlg->ThreadEnded();
    return 0;
}

unsigned CLumoMPDlg::TaskExecThdMP(MP_THREAD_PARAM* param) {
    CLumoMPDlg* dlg = param->pDlg;
    const std::uint8_t idx = param->bDevIdx;
    dlg->UiCall([dlg] {
        dlg->LumoMPEnableUICtrl(false);
        dlg->SetStatus(kStatusUpgrading);
    });
    XTRACE(2)("%s ===>", "CLumoMPDlg::TaskExecThdMP");

    MP_CAMERA_RESULT result;
    result.bDevIdx = idx;
    const std::uint32_t startTick = lumo::os::GetTickCount();
    bool ok = false;
    try {
        ok = dlg->RunCamera(idx, result);
    } catch (...) {
        ok = Fail(result, "exception in the worker");
    }
    result.dwMs = lumo::os::GetTickCount() - startTick;
    try {
        if (ok)
            dlg->WorkerSuccessEnd(idx, startTick, result);
        else
            dlg->WorkerFailureEnd(result);
    } catch (...) {
        // Only the reset or a window call can get here; the run cannot count as good.
        Fail(result, "exception at the end of the worker");
        dlg->m_bRunFailed.store(true);
    }
    XTRACE(2)("%s <===", "CLumoMPDlg::TaskExecThdMP");
    dlg->WorkerEnded(result);
    dlg->ThreadEnded();
    return 0;
}

// Reads back every byte the plan wrote and compares it with what was sent. The chunks are
// multiples of 32 bytes, so the command layer splits them into full pieces only.
bool CLumoMPDlg::VerifyRom(std::uint8_t idx, std::uint32_t base, std::uint32_t length, MP_CAMERA_RESULT& result) {
    std::vector<std::uint8_t> back(kVerifyChunk);
    for (std::uint32_t off = 0; off < length; off += kVerifyChunk) {
        UpdateProgress(kWritePercent + off * (100 - kWritePercent) / length);
        const std::uint32_t address = base + off;
        const std::uint32_t len = std::min(kVerifyChunk, length - off);
        if (TAVIX_ExtRomRead(static_cast<std::uint16_t>(address), len, back.data(), idx) == 0)
            return Fail(result, "read-back failed at " + hex4(address));
        const auto sent = m_abBinBuf.begin() + off;
        const auto diff = std::mismatch(back.begin(), back.begin() + len, sent).first;
        if (diff != back.begin() + len) {
            const auto bad = address + static_cast<std::uint32_t>(diff - back.begin());
            result.dwBadAddr = bad;
            return Fail(result, "verify failed at " + hex4(bad));
        }
    }
    return true;
}

bool CLumoMPDlg::Fail(MP_CAMERA_RESULT& result, const std::string& reason) {
    result.eOutcome = MP_CAMERA_RESULT::Outcome::Failed;
    if (result.szReason.empty()) result.szReason = reason;
    return false;
}

void CLumoMPDlg::UpdateProgress(std::uint32_t percent) {
    const auto p = static_cast<std::uint16_t>(percent);
    // Several workers compare and store without a lock; a lost update only shows a lower
    // percentage for a moment.
    if (p > m_wProgressMax.load(std::memory_order_relaxed)) {
        m_wProgressMax.store(p, std::memory_order_relaxed);
        m_wProgressPos.store(p, std::memory_order_relaxed);
    }
}

bool CLumoMPDlg::RunCamera(std::uint8_t idx, MP_CAMERA_RESULT& result) {
    std::uint8_t sig[4] = {};
    std::uint8_t partNo[9] = {};
    TAVIX_GetPidVid(&result.wVid, &result.wPid, idx);
    TAVIX_GetBcdDevice(&result.wBcdDevice, idx);
    const bool haveBackend = TAVIX_GetBackendInfo(sig, partNo, idx) != 0;
    result.szPartNo.assign(reinterpret_cast<const char*>(partNo));

    // Each worker plans with its own camera's ROM, never with camera 0's.
    std::uint32_t rom = 0;
    if (TAVIX_GetFlashSize(&rom, idx) == 0) return Fail(result, "ROM size not available");
    result.dwRomSize = rom;
    if (rom == 0 || rom == 0xFFFFFFFFu) return Fail(result, "ROM not detected");
    // A camera of another chip would be bricked by this image.
    if (m_dwSpecSectorOn == 0 && (!haveBackend || sig[0] != m_abBinBuf[0x40] || sig[1] != m_abBinBuf[0x41]))
        return Fail(result, "chip signature differs from the image");

    const std::uint32_t block = blockSizeFor(rom);
    // Nothing is written at or above this address: an EEPROM aliases, so a write past its
    // size would land on the image's own start.
    const std::uint32_t limit = std::min(rom, kAddressSpace);

    Plan plan = Plan::Plain;
    if (m_dwSpecSectorOn != 0)
        plan = Plan::SpecificSector;
    else if (isWholeEraseSize(rom))
        plan = Plan::WholeErase;
    result.szPlan = plan == Plan::Plain        ? "plain"
                    : plan == Plan::WholeErase ? "whole erase"
                                               : "sector " + std::to_string(m_wSectorAddr / kSectorSize);

    std::uint32_t base = 0;        // ROM address of buffer offset 0
    std::uint32_t writeEnd = 0;    // offsets below this are written
    std::uint32_t progressOf = 0;  // the percentage is taken of this
    switch (plan) {
        case Plan::Plain:
            if (m_dwBinSize > limit) return Fail(result, "image longer than the ROM");
            writeEnd = m_dwBinSize;
            progressOf = rom;
            break;
        case Plan::WholeErase: {
            // The last 32-byte block with a byte other than 0xFF ends the write (an erased chip
            // already reads 0xFF above it), but at least the first 0x4000 + 32 bytes are written.
            std::uint32_t p = kBinBufSize - 1;
            while (p > 0x4000 && m_abBinBuf[p] == 0xFF) --p;
            writeEnd = (p & ~31u) + 32;
            if (writeEnd > limit) return Fail(result, "write length longer than the ROM");
            progressOf = writeEnd;
            break;
        }
        case Plan::SpecificSector: {
            base = m_wSectorAddr;
            const std::uint32_t length = (m_dwBinSize & ~31u) + 32;
            // The image itself must fit between the sector and the end of the ROM; the padding
            // block behind it is cut there rather than wrapped to address 0.
            if (base + m_dwBinSize > limit) return Fail(result, "image does not fit above the chosen sector");
            writeEnd = std::min(length, limit - base);
            progressOf = length;
            break;
        }
    }

    if (TAVIX_ExtRomWriteEnable(1, idx) == 0) return Fail(result, "write enable failed");

    if (plan == Plan::WholeErase) {
        if (TAVIX_EraseAll(idx) == 0) return Fail(result, "chip erase failed");
        if (TAVIX_SpiWaitBusReady(kBusyWaitMs, idx) == 0) return Fail(result, "flash not ready after erase");
    } else if (plan == Plan::SpecificSector && isWholeEraseSize(rom)) {
        // Every sector from the chosen one up to the top of the ROM.
        for (std::uint32_t a = base; a < limit; a += kSectorSize)
            if (TAVIX_SpiCmdSectorEraseByAddr(static_cast<std::uint16_t>(a), idx) == 0)
                return Fail(result, "sector erase failed");
        if (TAVIX_SpiWaitBusReady(kBusyWaitMs, idx) == 0) return Fail(result, "flash not ready after erase");
    }

    // With the read-back the bar's first part is the writing and the rest the verifying.
    const std::uint32_t writeShare = m_dwVerify != 0 ? kWritePercent : 100;
    std::uint32_t written = 0;  // bytes from base on that the blocks covered
    for (std::uint32_t off = 0; off < writeEnd; off += block) {
        UpdateProgress(off * writeShare / progressOf);
        const std::uint32_t address = base + off;
        const std::uint32_t len = std::min(block, limit - address);
        if (TAVIX_ExtRomWrite(static_cast<std::uint16_t>(address), len, m_abBinBuf.data() + off, idx) == 0)
            return Fail(result, "write failed at " + hex4(address));
        written = off + len;
    }
    if (m_dwVerify != 0 && !VerifyRom(idx, base, written, result)) return false;

    if (TAVIX_ExtRomWriteEnable(0, idx) == 0) return Fail(result, "write protection not restored");
    result.eOutcome = MP_CAMERA_RESULT::Outcome::Ok;
    return true;
}

void CLumoMPDlg::WorkerSuccessEnd(std::uint8_t idx, std::uint32_t startTick, MP_CAMERA_RESULT& result) {
    if (m_lRunning.fetch_sub(1) != 1) return;  // others still run, or one has failed
    // The last worker of a fully successful run.
    XTRACE(2)("Upgrade OK");
    UiCall([this] { SetStatus(kStatusReady); });
    XTRACE(2)("dwTimeInterval =%d", static_cast<int>(lumo::os::GetTickCount() - startTick));
    m_wProgressMax.store(0, std::memory_order_relaxed);
    if (m_dwReset != 0) {
        // The controls stay disabled: the cameras' return makes the window ready again.
        XTRACE(2)("Device Reset");
        for (std::uint32_t i = 0; i < m_bRunDevCount; ++i) TAVIX_DeviceReset(static_cast<std::uint8_t>(i));
    } else {
        UiCall([this] { LumoMPEnableUICtrl(true); });
    }
}

void CLumoMPDlg::WorkerFailureEnd(MP_CAMERA_RESULT& result) {
    m_bRunFailed.store(true);
    m_wProgressMax.store(0, std::memory_order_relaxed);
    UiCall([this] {
        m_layer.EnableSystemMenuClose(true);
        SetStatus(kStatusFailed);
    });
    XTRACE(4)("Upgrade FW Fail XXXXXXXXXX");
}

void CLumoMPDlg::WorkerEnded(MP_CAMERA_RESULT& result) {
    // The line of the run report is written as soon as the camera's verdict is known.
    std::string reportError;
    if (!m_report.Append(m_image, result, &reportError)) {
        XTRACE(4)("run report %s: %s XXXXXXXXXX", m_report.Path().c_str(), reportError.c_str());
        std::lock_guard lock(m_resultsMutex);
        if (m_szReportError.empty()) m_szReportError = reportError;
        m_bReportFailed.store(true);
    }
    {
        std::lock_guard lock(m_resultsMutex);
        for (auto& r : m_results)
            if (r.bDevIdx == result.bDevIdx) r = result;
    }
    if (m_lActive.fetch_sub(1) != 1) return;
    // The last worker of the run to end, whichever way.
    MP_RUN_SUMMARY summary;
    {
        std::lock_guard lock(m_resultsMutex);
        summary.cameras = m_results;
    }
    // OK only when every served camera proved its ROM.
    summary.bSuccess = !m_bRunFailed.load() && !summary.cameras.empty() &&
                       std::all_of(summary.cameras.begin(), summary.cameras.end(), [](const MP_CAMERA_RESULT& c) {
                           return c.eOutcome == MP_CAMERA_RESULT::Outcome::Ok;
                       });
    if (!summary.bSuccess) {
        // A worker that started after another failed showed "Upgrade FW" again.
        UiCall([this] {
            m_layer.EnableSystemMenuClose(true);
            SetStatus(kStatusFailed);
        });
    }
    {
        std::lock_guard lock(m_resultsMutex);
        m_lastRun = summary;
    }
    m_layer.PostToWindowThread([this, alive = m_alive, summary] {
        if (*alive) RunEnded(summary);
    });
    m_hIdleEvent.Set();
}

// On the window thread, once per run: the results go on show until the next run starts.
void CLumoMPDlg::RunEnded(const MP_RUN_SUMMARY& summary) {
    m_layer.ShowRunResults(summary);
    if (m_bReportFailed.load()) {
        std::string error;
        {
            std::lock_guard lock(m_resultsMutex);
            error = m_szReportError;
        }
        MessageBoxOwned(L"Run report not written: " + lumo::os::fromUtf8(m_report.Path() + ": " + error),
                        MsgIcon::Exclamation);
    }
    if (m_onRunEnded) m_onRunEnded(summary);
}

void CLumoMPDlg::ThreadEnded() {
    IDialogLayer& layer = m_layer;
    m_lLiveThreads.fetch_sub(1, std::memory_order_acq_rel);
    layer.WakeWindowThread();
}

}  // namespace lumo::tool
