#pragma once
// The dialog layer for the Qt window: controls of CLumoMPWindow, message boxes, and the
// window thread (the Qt GUI thread) for workers and device-change notices.
#include <QObject>
#include <functional>
#include <string>

#include "tool/DialogLayer.h"
#include "tool/qt/WindowCalls.h"

namespace lumo::tool {

class CLumoMPWindow;

class CQtDialogLayer final : public IDialogLayer {
public:
    // Construct on the GUI thread. modulePath stands for the program's path when given.
    explicit CQtDialogLayer(CLumoMPWindow& window, std::wstring modulePath = {});
    ~CQtDialogLayer() override;
    CQtDialogLayer(const CQtDialogLayer&) = delete;
    CQtDialogLayer& operator=(const CQtDialogLayer&) = delete;

    std::wstring GetModuleFileName() override;
    void SetWindowText(const std::wstring& title) override;
    void SetDlgItemText(int id, const std::wstring& text) override;
    void EnableDlgItem(int id, bool enable) override;
    bool IsDlgButtonChecked(int id) override;
    void CheckDlgButton(int id, bool checked) override;
    void SetItemFont(int id, const std::wstring& face, int pointTenths) override;
    void SetProgressRange(int low, int high) override;
    void SetProgressPos(int pos) override;
    void EnableSystemMenuClose(bool enable) override;
    void MessageBox(const std::wstring& text, const std::wstring& caption, MsgIcon icon) override;
    void ShowRunResults(const MP_RUN_SUMMARY& summary) override;

    bool IsWindowThread() override { return m_calls.IsWindowThread(); }
    void CallOnWindowThread(const std::function<void()>& fn) override { m_calls.Call(fn); }
    void PostToWindowThread(std::function<void()> fn) override;
    void ServeCallsUntil(const std::function<bool()>& done) override { m_calls.ServeCallsUntil(done); }
    void WakeWindowThread() override { m_calls.Wake(); }

    // Unattended (no screen to show them on): message boxes print "caption: text" on stderr
    // instead of waiting for an operator.
    void SetUnattended(bool unattended) { m_unattended = unattended; }

private:
    CLumoMPWindow& m_window;
    std::wstring m_modulePath;
    bool m_unattended = false;
    // Queued work runs in this object's context: whatever is still queued when the layer
    // goes is dropped with it instead of running on a dead layer.
    QObject m_context;
    CWindowCalls m_calls;
};

}  // namespace lumo::tool
