#pragma once
// The dialog layer as text on a terminal: the window's controls kept as a model and drawn as
// one frame, redrawn in place on a terminal, or printed again when something other than the
// progress changes when the output is a file or pipe (progress then prints in 10% steps).
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tool/DialogLayer.h"
#include "tool/WindowThread.h"

namespace lumo::tool {

class CConsoleDialogLayer final : public IDialogLayer {
public:
    // modulePath stands for the program's path when given.
    CConsoleDialogLayer(std::FILE* out, bool terminal, std::wstring modulePath = {});

    std::wstring GetModuleFileName() override;
    void SetWindowText(const std::wstring& title) override;
    void SetDlgItemText(int id, const std::wstring& text) override;
    void EnableDlgItem(int id, bool enable) override;
    bool IsDlgButtonChecked(int id) override;
    void CheckDlgButton(int id, bool checked) override;
    void SetItemFont(int, const std::wstring&, int) override {}
    void SetProgressRange(int low, int high) override;
    void SetProgressPos(int pos) override;
    void EnableSystemMenuClose(bool enable) override { m_closeEnabled = enable; }
    void MessageBox(const std::wstring& text, const std::wstring& caption, MsgIcon icon) override;
    // Result lines below the frame; the frame keeps the run's headline until the next run.
    void ShowRunResults(const MP_RUN_SUMMARY& summary) override;

    bool IsWindowThread() override { return m_thread->IsWindowThread(); }
    void CallOnWindowThread(const std::function<void()>& fn) override { m_thread->Call(fn); }
    void PostToWindowThread(std::function<void()> fn) override { m_thread->Post(std::move(fn)); }
    void ServeCallsUntil(const std::function<bool()>& done) override { m_thread->ServeCallsUntil(done); }
    void WakeWindowThread() override { m_thread->Wake(); }

    // Shared so that a reader of the operator's input may outlive the window.
    std::shared_ptr<CWindowThread> Thread() const { return m_thread; }
    bool IsEnabled(int id) const;
    std::wstring Text(int id) const;
    // Draws the frame if it changed since the last one.
    void Render();
    // Prints a line of its own below the frame (results, notes).
    void PrintLine(const std::string& line);

private:
    std::string Frame(bool withProgress) const;

    std::FILE* m_out;
    bool m_terminal;
    std::wstring m_modulePath;
    std::string m_lastRun;  // headline of the last run, shown in the frame
    std::shared_ptr<CWindowThread> m_thread = std::make_shared<CWindowThread>();
    std::wstring m_title = L"LumoMP";
    std::map<int, std::wstring> m_texts;
    std::map<int, bool> m_enabled;
    std::map<int, bool> m_checked;
    int m_progressLow = 0, m_progressHigh = 100, m_progressPos = 0;
    bool m_closeEnabled = true;
    std::string m_lastFrame;
    std::vector<std::string> m_notes;  // on a terminal: the lines below the frame
    int m_lastProgressStep = -1;
};

}  // namespace lumo::tool
