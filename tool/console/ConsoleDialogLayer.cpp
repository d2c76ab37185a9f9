#include "tool/console/ConsoleDialogLayer.h"

#include "platform/ExePath.h"
#include "platform/TextConv.h"
#include "tool/ControlIds.h"
#include "tool/ResultText.h"

namespace lumo::tool {
namespace {

std::string u8(const std::wstring& s) {
    return lumo::os::toUtf8(s);
}

std::string pad(std::string s, std::size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

}  // namespace

CConsoleDialogLayer::CConsoleDialogLayer(std::FILE* out, bool terminal, std::wstring modulePath)
    : m_out(out), m_terminal(terminal), m_modulePath(std::move(modulePath)) {
    for (const auto& c : kControls) {
        m_texts[c.id] = c.text;
        m_enabled[c.id] = c.enabled;
    }
}

std::wstring CConsoleDialogLayer::GetModuleFileName() {
    if (!m_modulePath.empty()) return m_modulePath;
    return lumo::os::fromUtf8(lumo::os::GetModuleFileName());
}

void CConsoleDialogLayer::SetWindowText(const std::wstring& title) {
    m_title = title;
}
void CConsoleDialogLayer::SetDlgItemText(int id, const std::wstring& text) {
    m_texts[id] = text;
}
void CConsoleDialogLayer::EnableDlgItem(int id, bool enable) {
    m_enabled[id] = enable;
}
bool CConsoleDialogLayer::IsDlgButtonChecked(int id) {
    return m_checked[id];
}
void CConsoleDialogLayer::CheckDlgButton(int id, bool checked) {
    m_checked[id] = checked;
}
void CConsoleDialogLayer::SetProgressRange(int low, int high) {
    m_progressLow = low;
    m_progressHigh = high > low ? high : low + 1;
}
void CConsoleDialogLayer::SetProgressPos(int pos) {
    m_progressPos = pos;
}

bool CConsoleDialogLayer::IsEnabled(int id) const {
    const auto it = m_enabled.find(id);
    return it != m_enabled.end() && it->second;
}

std::wstring CConsoleDialogLayer::Text(int id) const {
    const auto it = m_texts.find(id);
    return it == m_texts.end() ? std::wstring() : it->second;
}

void CConsoleDialogLayer::MessageBox(const std::wstring& text, const std::wstring& caption, MsgIcon icon) {
    Render();
    PrintLine("ERROR: " + u8(caption) + ": " + u8(text));
}

void CConsoleDialogLayer::ShowRunResults(const MP_RUN_SUMMARY& summary) {
    m_lastRun = ResultHeadline(summary);
    if (summary.bInProgress) {
        // The results of the run before go when the next one starts.
        m_notes.clear();
        Render();
        return;
    }
    Render();
    PrintLine(std::string("Run result: ") + (summary.bSuccess ? "Upgrade OK" : "Upgrade FW Fail") + ", " +
              ResultCounts(summary));
    for (const auto& c : summary.cameras) PrintLine("  " + ResultLine(c));
}

std::string CConsoleDialogLayer::Frame(bool withProgress) const {
    std::string f;
    f += "=== " + u8(m_title) + " ===\n";
    f += " Status: " + u8(Text(IDC_STATIC_STATUS)) + "\n";
    if (withProgress) {
        const int span = m_progressHigh - m_progressLow;
        int pos = m_progressPos < m_progressLow    ? m_progressLow
                  : m_progressPos > m_progressHigh ? m_progressHigh
                                                   : m_progressPos;
        const int filled = (pos - m_progressLow) * 40 / span;
        f += " [" + std::string(filled, '#') + std::string(40 - filled, '.') + "] " + std::to_string(pos) + "%\n";
    }
    const bool checked = const_cast<CConsoleDialogLayer*>(this)->m_checked[IDC_CHECK_SPEC_SECTOR];
    f += pad(std::string(" Upgrade FW: ") + (IsEnabled(IDC_BUTTON_UPGRADE_FW) ? "ready" : "disabled"), 28) +
         "Specific Sector: [" + (checked ? "x" : " ") + "] " + u8(Text(IDC_STATIC_SECTOR)) +
         (IsEnabled(IDC_CHECK_SPEC_SECTOR) ? "" : " (locked)") + "\n";
    f += " Device Number: " + u8(Text(IDC_STATIC_DEVNUM)) + (m_closeEnabled ? "" : "    (close waits for the run)") +
         "\n";
    f += " BinFile: " + u8(Text(IDC_EDIT_BINFILE)) + "\n";
    f += pad(" EEPROM TYPE: " + u8(Text(IDC_COMBO_EEPROM_TYPE)), 28) +
         "BACKEND TYPE: " + u8(Text(IDC_COMBO_BACKEND_TYPE)) + "\n";
    f += " BCD Ver: " + u8(Text(IDC_STATIC_BCD)) + "  External FW Ver: " + u8(Text(IDC_STATIC_EXTFW)) +
         "  Set File Ver: " + u8(Text(IDC_STATIC_SETFILE)) + "\n";
    if (!m_lastRun.empty()) f += " " + m_lastRun + "\n";
    f += " Enter: Upgrade FW   s: Specific Sector   q: close\n";
    if (m_terminal)
        for (const auto& note : m_notes) f += note + "\n";
    return f;
}

void CConsoleDialogLayer::Render() {
    if (m_terminal) {
        const std::string frame = Frame(true);
        if (frame == m_lastFrame) return;
        m_lastFrame = frame;
        std::fprintf(m_out, "\x1b[H\x1b[J%s", frame.c_str());
        std::fflush(m_out);
        return;
    }
    const std::string frame = Frame(false);
    if (frame != m_lastFrame) {
        m_lastFrame = frame;
        std::fprintf(m_out, "%s", frame.c_str());
    }
    const int step = m_progressPos / 10;
    if (step != m_lastProgressStep) {
        m_lastProgressStep = step;
        if (m_progressPos > 0) std::fprintf(m_out, " progress %d%%\n", m_progressPos);
    }
    std::fflush(m_out);
}

void CConsoleDialogLayer::PrintLine(const std::string& line) {
    if (m_terminal) {
        m_notes.push_back(line);
        if (m_notes.size() > 24) m_notes.erase(m_notes.begin());
        Render();
        return;
    }
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

}  // namespace lumo::tool
