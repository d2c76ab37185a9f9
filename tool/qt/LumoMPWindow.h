#pragma once
// The LumoMP window under Qt Widgets: dialog template 102 built from the control table, laid
// out in dialog units of the dialog font, with the dialog's close rules. The window logic
// (CLumoMPDlg) is attached to it; the dialog layer (CQtDialogLayer) drives its controls.
#include <QDialog>
#include <QTimer>
#include <map>
#include <optional>

#include "tool/RunResult.h"
#include "tool/qt/DialogUnits.h"

class QGroupBox;
class QLabel;
class QTableWidget;

namespace lumo::tool {

class CLumoMPDlg;

class CLumoMPWindow final : public QDialog {
public:
    CLumoMPWindow();
    ~CLumoMPWindow() override;

    // The widget of a template control, or null for an id the template does not hold.
    QWidget* Control(int id) const;
    const CDialogUnits& Units() const { return m_units; }

    // The window logic that button clicks and the close rules go to (may be null).
    void Attach(CLumoMPDlg* dlg) { m_dlg = dlg; }

    // The Close item of the system menu; while it is disabled the window refuses to close.
    void SetCloseEnabled(bool enable) { m_closeEnabled = enable; }
    bool IsCloseEnabled() const { return m_closeEnabled; }

    // Gives a control a font of this face and size; where the face is not installed, the
    // system's monospace font, made small enough that the status texts fit the control.
    void SetControlFont(int id, const QString& face, qreal points);

    // The results area below the template's controls: the last run's verdict per camera,
    // kept until the next run starts.
    void ShowRunResults(const MP_RUN_SUMMARY& summary);
    QLabel* ResultsHeadline() const { return m_resultsHeadline; }
    QTableWidget* ResultsTable() const { return m_resultsTable; }
    // Window height in dialog units: the template's and the results area's.
    static int HeightUnits();

    // Ends the dialog at once, or, while a run is active, as soon as it has ended.
    void done(int result) override;
    bool IsEndPending() const { return m_pendingEnd.has_value(); }

    // The face if installed, else the system's monospace font, at this size.
    static QFont FindFont(const QString& face, qreal points, bool* found = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool RunActive() const;
    void CheckPendingEnd();

    CDialogUnits m_units;
    std::map<int, QWidget*> m_controls;
    QGroupBox* m_resultsGroup = nullptr;
    QLabel* m_resultsHeadline = nullptr;
    QTableWidget* m_resultsTable = nullptr;
    CLumoMPDlg* m_dlg = nullptr;
    bool m_closeEnabled = true;
    std::optional<int> m_pendingEnd;
    QTimer m_endTimer;
};

}  // namespace lumo::tool
