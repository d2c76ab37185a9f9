#pragma once
// A dialog layer that keeps the window's state and a history of every change, for tests.
// The test's thread is the window thread.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tool/ControlIds.h"
#include "tool/DialogLayer.h"
#include "tool/WindowThread.h"

namespace lumo::tool::test {

class RecordingDialogLayer final : public IDialogLayer {
public:
    explicit RecordingDialogLayer(std::wstring modulePath) : m_modulePath(std::move(modulePath)) {
        for (const auto& c : kControls) {
            texts[c.id] = c.text;
            enabled[c.id] = c.enabled;
        }
    }

    struct Box {
        std::wstring text, caption;
        MsgIcon icon;
    };

    std::wstring GetModuleFileName() override { return m_modulePath; }
    void SetWindowText(const std::wstring& t) override {
        check();
        title = t;
    }
    void SetDlgItemText(int id, const std::wstring& t) override {
        check();
        texts[id] = t;
        if (id == IDC_STATIC_STATUS) statusHistory.push_back(t);
    }
    void EnableDlgItem(int id, bool e) override {
        check();
        enabled[id] = e;
    }
    bool IsDlgButtonChecked(int id) override {
        check();
        return checked[id];
    }
    void CheckDlgButton(int id, bool c) override {
        check();
        checked[id] = c;
    }
    void SetItemFont(int, const std::wstring&, int) override { check(); }
    void SetProgressRange(int lo, int hi) override {
        check();
        progressLow = lo;
        progressHigh = hi;
    }
    void SetProgressPos(int pos) override {
        check();
        progressPos = pos;
        progressHistory.push_back(pos);
    }
    void EnableSystemMenuClose(bool e) override {
        check();
        closeEnabled = e;
    }
    void MessageBox(const std::wstring& text, const std::wstring& caption, MsgIcon icon) override {
        check();
        boxes.push_back({text, caption, icon});
    }
    void ShowRunResults(const MP_RUN_SUMMARY& summary) override {
        check();
        shownResults.push_back(summary);
    }

    bool IsWindowThread() override { return m_thread.IsWindowThread(); }
    void CallOnWindowThread(const std::function<void()>& fn) override { m_thread.Call(fn); }
    void PostToWindowThread(std::function<void()> fn) override { m_thread.Post(std::move(fn)); }
    void ServeCallsUntil(const std::function<bool()>& done) override { m_thread.ServeCallsUntil(done); }
    void WakeWindowThread() override { m_thread.Wake(); }

    bool Pump() { return m_thread.PumpPending(); }
    CWindowThread& Thread() { return m_thread; }

    // Window state.
    std::wstring title;
    std::map<int, std::wstring> texts;
    std::map<int, bool> enabled;
    std::map<int, bool> checked;
    int progressLow = 0, progressHigh = 100, progressPos = 0;
    bool closeEnabled = true;
    std::vector<Box> boxes;
    std::vector<std::wstring> statusHistory;
    std::vector<int> progressHistory;
    std::vector<MP_RUN_SUMMARY> shownResults;  // every ShowRunResults, in order
    // Control operations made off the window thread (must stay 0).
    std::atomic<int> offThreadCalls{0};

private:
    void check() {
        if (!m_thread.IsWindowThread()) ++offThreadCalls;
    }

    std::wstring m_modulePath;
    CWindowThread m_thread;
};

}  // namespace lumo::tool::test
