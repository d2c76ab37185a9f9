#include "tool/qt/QtDialogLayer.h"

#include <cstdio>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>

#include "platform/ExePath.h"
#include "platform/TextConv.h"
#include "tool/ControlIds.h"
#include "tool/qt/LumoMPWindow.h"

namespace lumo::tool {
namespace {

QString qs(const std::wstring& text) {
    return QString::fromStdWString(text);
}

}  // namespace

CQtDialogLayer::CQtDialogLayer(CLumoMPWindow& window, std::wstring modulePath)
    : m_window(window), m_modulePath(std::move(modulePath)), m_calls([this] {
          QMetaObject::invokeMethod(
              &m_context, [this] { m_calls.ServePending(); }, Qt::QueuedConnection);
      }) {}

CQtDialogLayer::~CQtDialogLayer() = default;

std::wstring CQtDialogLayer::GetModuleFileName() {
    if (!m_modulePath.empty()) return m_modulePath;
    return lumo::os::fromUtf8(lumo::os::GetModuleFileName());
}

void CQtDialogLayer::SetWindowText(const std::wstring& title) {
    m_window.setWindowTitle(qs(title));
}

void CQtDialogLayer::SetDlgItemText(int id, const std::wstring& text) {
    QWidget* w = m_window.Control(id);
    const QString t = qs(text);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(t);
        label->update();
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setEditText(t);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(t);
        edit->setCursorPosition(0);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(t);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(t);
    }
}

void CQtDialogLayer::EnableDlgItem(int id, bool enable) {
    if (QWidget* w = m_window.Control(id)) w->setEnabled(enable);
}

bool CQtDialogLayer::IsDlgButtonChecked(int id) {
    auto* box = qobject_cast<QAbstractButton*>(m_window.Control(id));
    return box && box->isChecked();
}

void CQtDialogLayer::CheckDlgButton(int id, bool checked) {
    // Setting the state is no click: no handler runs.
    if (auto* box = qobject_cast<QAbstractButton*>(m_window.Control(id))) box->setChecked(checked);
}

void CQtDialogLayer::SetItemFont(int id, const std::wstring& face, int pointTenths) {
    m_window.SetControlFont(id, qs(face), pointTenths / 10.0);
}

void CQtDialogLayer::SetProgressRange(int low, int high) {
    if (auto* bar = qobject_cast<QProgressBar*>(m_window.Control(IDC_PROGRESS))) bar->setRange(low, high);
}

void CQtDialogLayer::SetProgressPos(int pos) {
    if (auto* bar = qobject_cast<QProgressBar*>(m_window.Control(IDC_PROGRESS))) bar->setValue(pos);
}

void CQtDialogLayer::EnableSystemMenuClose(bool enable) {
    m_window.SetCloseEnabled(enable);
}

void CQtDialogLayer::MessageBox(const std::wstring& text, const std::wstring& caption, MsgIcon icon) {
    if (m_unattended) {
        std::fprintf(stderr, "%s: %s\n", lumo::os::toUtf8(caption).c_str(), lumo::os::toUtf8(text).c_str());
        return;
    }
    QMessageBox box(icon == MsgIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning, qs(caption), qs(text),
                    QMessageBox::Ok, &m_window);
    box.setWindowIcon(m_window.windowIcon());
    box.exec();
}

void CQtDialogLayer::ShowRunResults(const MP_RUN_SUMMARY& summary) {
    m_window.ShowRunResults(summary);
}

void CQtDialogLayer::PostToWindowThread(std::function<void()> fn) {
    QMetaObject::invokeMethod(&m_context, std::move(fn), Qt::QueuedConnection);
}

}  // namespace lumo::tool
