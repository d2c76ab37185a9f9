#include "tool/qt/LumoMPWindow.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "tool/ControlIds.h"
#include "tool/LumoMPDlg.h"
#include "tool/ResultText.h"
#include "tool/qt/AppIcon.h"

namespace lumo::tool {
namespace {

QString qs(const wchar_t* text) {
    return QString::fromWCharArray(text);
}

// The results area, in dialog units, below the template's lowest controls (y 168, 8 high).
constexpr int kResultsTop = 184;
constexpr int kResultsHeight = 112;
const char* const kResultColumns[] = {"#", "VID:PID", "Part No", "Plan", "Result", "Sec", "Reason"};

QWidget* makeControl(const ControlTemplate& c, QWidget* parent) {
    const QString text = qs(c.text);
    switch (c.kind) {
        case ControlKind::GroupBox: {
            // The frame fills the template's rectangle and its title sits in the top line.
            auto* group = new QGroupBox(text, parent);
            group->setStyleSheet(
                QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
                               "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
            return group;
        }
        case ControlKind::Progress: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);  // the bar is a plain bordered bar
            return bar;
        }
        case ControlKind::Button:
            return new QPushButton(text, parent);
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, parent);
            edit->setReadOnly(true);
            return edit;
        }
        case ControlKind::Combo: {
            // A drop-down combo box: an edit field with a list; the program only writes its text.
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setEditText(text);
            return combo;
        }
        case ControlKind::Static:
            break;
    }
    auto* label = new QLabel(text, parent);
    label->setAlignment(c.id == IDC_STATIC_STATUS ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

CLumoMPWindow::CLumoMPWindow()
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_units(FindFont(qs(kDialogFont), kDialogFontPoints)) {
    setFont(FindFont(qs(kDialogFont), kDialogFontPoints));
    setWindowTitle(qs(kTemplateCaption));
    setWindowIcon(LumoAppIcon());
    setSizeGripEnabled(false);
    setFixedSize(m_units.x(kDialogWidth), m_units.y(HeightUnits()));

    for (const auto& c : kControls) {
        QWidget* w = makeControl(c, this);
        QRect r = m_units.rect(c.x, c.y, c.cx, c.cy);
        // A combo box's template height includes its drop-down list; the field itself is
        // as tall as the edit box beside it.
        if (c.kind == ControlKind::Combo) r.setHeight(m_units.y(14));
        w->setGeometry(r);
        w->setEnabled(c.enabled);
        if (c.kind == ControlKind::Static || c.kind == ControlKind::GroupBox || c.kind == ControlKind::Progress)
            w->setFocusPolicy(Qt::NoFocus);
        m_controls[c.id] = w;
    }
    static_cast<QProgressBar*>(Control(IDC_PROGRESS))->setRange(0, 99);
    // The group box frames the status and progress: keep it behind them.
    Control(IDC_GROUP_DEVICE_INFO)->lower();

    m_resultsGroup = static_cast<QGroupBox*>(
        makeControl({0, ControlKind::GroupBox, L"Last Run", 4, kResultsTop, 292, kResultsHeight - 4, true}, this));
    m_resultsGroup->setGeometry(m_units.rect(4, kResultsTop, 292, kResultsHeight - 4));
    m_resultsGroup->lower();
    m_resultsHeadline = new QLabel(QStringLiteral("No run yet"), this);
    m_resultsHeadline->setGeometry(m_units.rect(12, kResultsTop + 11, 276, 10));
    m_resultsTable = new QTableWidget(0, static_cast<int>(std::size(kResultColumns)), this);
    m_resultsTable->setGeometry(m_units.rect(12, kResultsTop + 23, 278, kResultsHeight - 31));
    QStringList headers;
    for (const char* h : kResultColumns) headers << QString::fromLatin1(h);
    m_resultsTable->setHorizontalHeaderLabels(headers);
    m_resultsTable->verticalHeader()->setVisible(false);
    m_resultsTable->verticalHeader()->setDefaultSectionSize(m_units.y(10));
    m_resultsTable->horizontalHeader()->setStretchLastSection(true);
    m_resultsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_resultsTable->horizontalHeader()->setSectionResizeMode(static_cast<int>(std::size(kResultColumns)) - 1,
                                                             QHeaderView::Stretch);
    m_resultsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_resultsTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_resultsTable->setFocusPolicy(Qt::NoFocus);
    // A point smaller than the dialog, so that a reason fits beside the other columns.
    m_resultsTable->setFont(FindFont(qs(kDialogFont), kDialogFontPoints - 1));

    connect(static_cast<QPushButton*>(Control(IDC_BUTTON_UPGRADE_FW)), &QPushButton::clicked, this, [this] {
        if (m_dlg) m_dlg->OnBnClickedButtonUpgradeFwMp();
    });
    connect(static_cast<QCheckBox*>(Control(IDC_CHECK_SPEC_SECTOR)), &QCheckBox::clicked, this, [this] {
        if (m_dlg) m_dlg->OnBnClickedCheckSpecSector();
    });

    m_endTimer.setInterval(50);
    connect(&m_endTimer, &QTimer::timeout, this, [this] { CheckPendingEnd(); });
}

CLumoMPWindow::~CLumoMPWindow() = default;

int CLumoMPWindow::HeightUnits() {
    return kResultsTop + kResultsHeight;
}

void CLumoMPWindow::ShowRunResults(const MP_RUN_SUMMARY& summary) {
    const bool failed = !summary.bInProgress && !summary.bSuccess;
    m_resultsHeadline->setText(QString::fromStdString(ResultHeadline(summary)));
    m_resultsHeadline->setStyleSheet(summary.bInProgress ? QString()
                                     : failed            ? QStringLiteral("color: #B00020; font-weight: bold;")
                                                         : QStringLiteral("color: #1B5E20; font-weight: bold;"));
    m_resultsTable->setRowCount(static_cast<int>(summary.cameras.size()));
    int row = 0;
    for (const auto& c : summary.cameras) {
        char vidPid[16];
        std::snprintf(vidPid, sizeof vidPid, "%04X:%04X", c.wVid, c.wPid);
        const bool running = c.eOutcome == MP_CAMERA_RESULT::Outcome::Running;
        const QString cells[] = {QString::number(c.bDevIdx),
                                 running ? QString() : QString::fromLatin1(vidPid),
                                 QString::fromStdString(c.szPartNo),
                                 QString::fromStdString(c.szPlan),
                                 QString::fromLatin1(OutcomeText(c.eOutcome)),
                                 running ? QString() : QString::fromStdString(ResultSeconds(c)),
                                 QString::fromStdString(c.szReason)};
        for (int col = 0; col < static_cast<int>(std::size(cells)); ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            item->setToolTip(cells[col]);  // a long reason may be cut at the table's edge
            if (col == 4 && !running) {
                const bool ok = c.eOutcome == MP_CAMERA_RESULT::Outcome::Ok;
                item->setBackground(ok ? QColor(0xC8, 0xE6, 0xC9) : QColor(0xFF, 0xCD, 0xD2));
                item->setForeground(ok ? QColor(0x1B, 0x5E, 0x20) : QColor(0xB0, 0x00, 0x20));
            }
            m_resultsTable->setItem(row, col, item);
        }
        ++row;
    }
}

QWidget* CLumoMPWindow::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QFont CLumoMPWindow::FindFont(const QString& face, qreal points, bool* found) {
    const bool have = QFontDatabase::hasFamily(face);
    if (found) *found = have;
    QFont font = have ? QFont(face) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(points);
    return font;
}

void CLumoMPWindow::SetControlFont(int id, const QString& face, qreal points) {
    QWidget* w = Control(id);
    if (!w) return;
    bool found = false;
    QFont font = FindFont(face, points, &found);
    if (!found) {
        // A wider substitute would cut "Upgrade FW Fail" off at the control's edges.
        const wchar_t* texts[] = {kStatusTemplate, kStatusEnumerating, kStatusReady, kStatusUpgrading, kStatusFailed};
        while (font.pointSizeF() > 6) {
            const QFontMetrics fm(font);
            int widest = 0;
            for (const wchar_t* t : texts) widest = std::max(widest, fm.horizontalAdvance(qs(t)));
            if (widest <= w->width() && fm.height() <= w->height()) break;
            font.setPointSizeF(font.pointSizeF() - 1);
        }
    }
    w->setFont(font);
    w->update();
}

bool CLumoMPWindow::RunActive() const {
    return m_dlg && !m_dlg->IsRunIdle();
}

void CLumoMPWindow::done(int result) {
    // Closing during a run waits for the run: no camera is freed under a worker.
    if (RunActive()) {
        if (!m_pendingEnd) m_pendingEnd = result;
        m_endTimer.start();
        return;
    }
    m_pendingEnd.reset();
    m_endTimer.stop();
    QDialog::done(result);
}

void CLumoMPWindow::CheckPendingEnd() {
    if (!m_pendingEnd || RunActive()) return;
    done(*m_pendingEnd);
}

void CLumoMPWindow::closeEvent(QCloseEvent* event) {
    // The greyed Close item refuses the close (title-bar button, window-manager close).
    if (!m_closeEnabled) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CLumoMPWindow::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier) {
        // Enter on a focused push button presses it; anywhere else it ends the dialog,
        // as the dialog's default OK does.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button && button->isEnabled()) {
            button->click();
        } else {
            done(QDialog::Accepted);
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);  // Escape: reject(), which ends the dialog through done()
}

}  // namespace lumo::tool
