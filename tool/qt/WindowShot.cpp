#include "tool/qt/WindowShot.h"

#include <QPixmap>
#include <QWidget>

namespace lumo::tool {

bool SaveWindowShot(QWidget& window, const QString& path) {
    const QPixmap shot = window.grab();
    return !shot.isNull() && shot.save(path, "PNG");
}

}  // namespace lumo::tool
