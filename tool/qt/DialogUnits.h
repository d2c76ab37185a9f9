#pragma once
// Dialog units to pixels, as a dialog manager converts them: the base units are the dialog
// font's average character width (over the 52 Latin letters, rounded) and its height; a
// horizontal unit is a quarter of the width, a vertical unit an eighth of the height.
#include <QFont>
#include <QRect>

namespace lumo::tool {

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }
    int x(int du) const;
    int y(int du) const;
    QRect rect(int x, int y, int cx, int cy) const;

private:
    int m_baseX;
    int m_baseY;
};

}  // namespace lumo::tool
