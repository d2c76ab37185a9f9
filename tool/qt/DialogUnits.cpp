#include "tool/qt/DialogUnits.h"

#include <QFontMetrics>

namespace lumo::tool {
namespace {

// Rounded du * base / div, like MulDiv.
int scale(int du, int base, int div) {
    const long long n = static_cast<long long>(du) * base;
    return static_cast<int>((n >= 0 ? n + div / 2 : n - div / 2) / div);
}

}  // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters + 26) / 52;
    m_baseY = fm.height();
    if (m_baseX < 1) m_baseX = 1;
    if (m_baseY < 1) m_baseY = 1;
}

int CDialogUnits::x(int du) const {
    return scale(du, m_baseX, 4);
}
int CDialogUnits::y(int du) const {
    return scale(du, m_baseY, 8);
}

QRect CDialogUnits::rect(int px, int py, int cx, int cy) const {
    // Both edges are converted, so neighbouring controls meet where the template says.
    const int left = x(px), top = y(py);
    return QRect(left, top, x(px + cx) - left, y(py + cy) - top);
}

}  // namespace lumo::tool
