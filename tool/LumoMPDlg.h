#pragma once
// CLumoMPDlg: the LumoMP window's members and logic, over a dialog layer. It reaches the
// cameras only through the TAVIX_* exports.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sdk/LumoSDK.h"
#include "tool/DialogLayer.h"
#include "tool/IdleEvent.h"
#include "tool/RunReport.h"
#include "tool/RunResult.h"

namespace lumo::tool {

class CLumoMPDlg;

// The argument of one worker.
struct MP_THREAD_PARAM {
    CLumoMPDlg* pDlg = nullptr;
    std::uint8_t bDevIdx = 0;
};

class CLumoMPDlg {
public:
    // One worker per registered camera; the registry index allows 255 of them.
    static constexpr std::size_t kMaxWorkers = 255;
    static constexpr std::size_t kBinBufSize = 65536;

    explicit CLumoMPDlg(IDialogLayer& layer);
    ~CLumoMPDlg();
    CLumoMPDlg(const CLumoMPDlg&) = delete;
    CLumoMPDlg& operator=(const CLumoMPDlg&) = delete;

    bool OnInitDialog();
    bool OnDeviceChange(std::uint32_t eventType, const TAVIX_DEVICE_INTERFACE_NOTICE* data);
    void LumoMPEnableUICtrl(bool enable);
    void ShowInformation();
    void DeleteInformation();
    void OnBnClickedCheckSpecSector();
    void OnBnClickedButtonUpgradeFwMp();

    static unsigned ServiceThdMP(CLumoMPDlg* dlg);
    static unsigned TaskExecThdMP(MP_THREAD_PARAM* param);

    // Front ends: told on the window thread when a run (or a refused click) has ended.
    void SetRunEndedHandler(std::function<void(const MP_RUN_SUMMARY&)> handler);
    // No worker, no service thread and no reset of a run is active.
    bool IsRunIdle() const;
    // On the window thread: waits for the end of any run, serving the run's window calls.
    void WaitForRunEnd();
    // How the last click ended (refused, or the run's results once its last worker ended).
    std::optional<MP_RUN_SUMMARY> LastRun() const;

    // Read-only views for front ends and tests (window thread).
    std::uint8_t DevSelect() const { return m_bDevSelect; }
    std::uint32_t SpecSectorOn() const { return m_dwSpecSectorOn; }
    std::uint16_t SectorAddr() const { return m_wSectorAddr; }
    std::uint32_t FlashSize() const { return m_dwFlashSize; }
    const std::wstring& BinPath() const { return m_szBinPath; }
    const std::wstring& IniPath() const { return m_szIniPath; }
    std::uint16_t ProgressPos() const { return m_wProgressPos.load(std::memory_order_relaxed); }
    bool VerifyOn() const { return m_dwVerify != 0; }
    std::uint32_t ExpectedCount() const { return m_dwExpectedCount; }
    const std::string& ReportPath() const { return m_report.Path(); }

private:
    enum class Plan { Plain, WholeErase, SpecificSector };

    void UiCall(const std::function<void()>& fn) { m_layer.CallOnWindowThread(fn); }
    void SetStatus(const wchar_t* text);
    void MessageBoxOwned(const std::wstring& text, MsgIcon icon);
    void ShowDevCount();
    void UpdateProgress(std::uint32_t percent);
    void EnumerateAndShow(bool clearOnEnumFailure);
    void DisableRunControls();
    void JoinRunThreads();
    std::wstring BinFileText() const;
    bool RefusedByCount();
    bool RefusedBySectorFit(const std::vector<std::uint8_t>& indices);
    void RefuseClick();
    void RunEnded(const MP_RUN_SUMMARY& summary);

    // Worker pieces.
    bool RunCamera(std::uint8_t idx, MP_CAMERA_RESULT& result);
    bool VerifyRom(std::uint8_t idx, std::uint32_t base, std::uint32_t length, MP_CAMERA_RESULT& result);
    void WorkerSuccessEnd(std::uint8_t idx, std::uint32_t startTick, MP_CAMERA_RESULT& result);
    void WorkerFailureEnd(MP_CAMERA_RESULT& result);
    void WorkerEnded(MP_CAMERA_RESULT& result);
    void ThreadEnded();
    static bool Fail(MP_CAMERA_RESULT& result, const std::string& reason);

    static void NoticeCallback(void* context, std::uint32_t eventType, const TAVIX_DEVICE_INTERFACE_NOTICE* notice);
    // The tool's message-box service (the trace's "WriteFile Fail" among its users): shown
    // to the operator by the dialog layer.
    static std::int32_t OperatorMessageBox(std::uint64_t owner, const std::wstring& text, const std::wstring& caption,
                                           std::uint32_t type);

    IDialogLayer& m_layer;

    CIdleEvent m_hIdleEvent{true};
    std::uint32_t m_dwFlashSize = 0;
    std::uint32_t m_dwBinSize = 0;
    std::array<std::uint8_t, kBinBufSize> m_abBinBuf;
    std::array<std::uint8_t, 4> m_szBackendSig{};
    std::array<std::uint8_t, 8> m_szBackendPartNo{};
    std::uint16_t m_wExtSensorApId = 0;
    std::uint16_t m_wExtFwVer = 0;
    std::array<std::uint8_t, 12> m_szSetfileVer{};
    std::uint16_t m_wBcdDevice = 0;
    std::wstring m_szIniPath;
    std::wstring m_szBinFile;
    std::wstring m_szBinPath;
    std::wstring m_szModulePath;
    std::wstring m_szModuleName;  // file name without extension: the message boxes' caption
    std::wstring m_strRemovedPath;
    std::uint16_t m_wSpecificSector = 0;
    std::uint32_t m_dwFlashSectorFeature = 0;
    std::uint32_t m_dwReset = 0;
    std::uint32_t m_dwSpecSectorOn = 0;
    std::uint16_t m_wSectorAddr = 0;
    std::uint8_t m_bDevSelect = 0;
    std::uint32_t m_dwVerify = 1;         // "Verify": read every written byte back
    std::uint32_t m_dwExpectedCount = 0;  // "ExpectedCount": cameras the fixture holds, 0 any
    bool m_bBinLoaded = false;            // the buffer holds the image named by "BinFile"
    MP_IMAGE_INFO m_image;                // name, length and CRC-16 of the loaded image
    std::array<MP_THREAD_PARAM, kMaxWorkers> m_ThdParam{};
    // Workers of the run that have not yet ended successfully.
    std::atomic<std::int32_t> m_lRunning{0};
    // Workers of the run that have not yet ended at all (resets included); idle at 0.
    std::atomic<std::int32_t> m_lActive{0};
    // Threads of the run (workers and service thread) still inside their procedure.
    std::atomic<std::int32_t> m_lLiveThreads{0};
    std::atomic<bool> m_bRunFailed{false};
    std::atomic<std::uint16_t> m_wProgressMax{0};
    std::atomic<std::uint16_t> m_wProgressPos{0};
    std::uint8_t m_bDevCount = 0;
    std::uint8_t m_bRunDevCount = 0;  // camera count the run's resets cover

    // Per-camera results of the current run, guarded by m_resultsMutex.
    mutable std::mutex m_resultsMutex;
    std::vector<MP_CAMERA_RESULT> m_results;
    std::optional<MP_RUN_SUMMARY> m_lastRun;
    std::function<void(const MP_RUN_SUMMARY&)> m_onRunEnded;

    CRunReport m_report;
    std::atomic<bool> m_bReportFailed{false};
    std::string m_szReportError;  // guarded by m_resultsMutex

    // Work posted to the window thread checks that the window still exists.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::atomic<bool> m_bBoxPending{false};  // an operator message box is queued

    std::vector<std::thread> m_runThreads;
    TAVIX_NOTICE_RECIPIENT m_recipient{};
    bool m_bNoticesRegistered = false;
};

}  // namespace lumo::tool
