#pragma once
// A PNG of a window's client area as it is drawn now.
#include <QString>

class QWidget;

namespace lumo::tool {

bool SaveWindowShot(QWidget& window, const QString& path);

}  // namespace lumo::tool
