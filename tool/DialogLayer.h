#pragma once
// The dialog layer: everything the window logic asks of a front end. CLumoMPDlg calls the
// control operations on the window thread only; worker threads reach them through
// CallOnWindowThread. Front ends (console, Qt) and the tests' recording layer implement it.
#include <functional>
#include <string>

#include "tool/RunResult.h"

namespace lumo::tool {

enum class MsgIcon { Exclamation, Stop };

class IDialogLayer {
public:
    virtual ~IDialogLayer() = default;

    // Full path of the program's executable (the settings file and the image sit beside it).
    virtual std::wstring GetModuleFileName() = 0;

    // Controls (window thread only).
    virtual void SetWindowText(const std::wstring& title) = 0;
    virtual void SetDlgItemText(int id, const std::wstring& text) = 0;
    virtual void EnableDlgItem(int id, bool enable) = 0;
    virtual bool IsDlgButtonChecked(int id) = 0;
    virtual void CheckDlgButton(int id, bool checked) = 0;
    virtual void SetItemFont(int id, const std::wstring& face, int pointTenths) = 0;
    virtual void SetProgressRange(int low, int high) = 0;
    virtual void SetProgressPos(int pos) = 0;
    // The Close item of the system menu: enabled, or greyed and disabled.
    virtual void EnableSystemMenuClose(bool enable) = 0;
    // Modal message box with an OK button, owned by the window.
    virtual void MessageBox(const std::wstring& text, const std::wstring& caption, MsgIcon icon) = 0;
    // The per-camera results of the last run (or of the run that has just started), shown
    // until the next run starts. A layer without a place for them ignores them.
    virtual void ShowRunResults(const MP_RUN_SUMMARY& /*summary*/) {}

    // Threads.
    virtual bool IsWindowThread() = 0;
    // Runs fn on the window thread and returns when it has run (at once on the window thread).
    virtual void CallOnWindowThread(const std::function<void()>& fn) = 0;
    // Queues fn for the window thread (device-change notices, operator input).
    virtual void PostToWindowThread(std::function<void()> fn) = 0;
    // On the window thread: serves CallOnWindowThread requests, and nothing that was posted,
    // until done() holds. done() is checked again after every served call and every Wake.
    virtual void ServeCallsUntil(const std::function<bool()>& done) = 0;
    // Makes a ServeCallsUntil check its condition again.
    virtual void WakeWindowThread() = 0;
};

}  // namespace lumo::tool
