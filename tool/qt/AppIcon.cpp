#include "tool/qt/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace lumo::tool {
namespace {

// A camera body with its lens, and a down arrow: firmware going into the camera.
QPixmap drawIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1F, 0x4E, 0x8C));
    p.drawRoundedRect(QRectF(0.04 * s, 0.04 * s, 0.92 * s, 0.92 * s), 0.18 * s, 0.18 * s);
    p.setBrush(QColor(0xF2, 0xF2, 0xF2));
    p.drawRoundedRect(QRectF(0.16 * s, 0.36 * s, 0.68 * s, 0.46 * s), 0.08 * s, 0.08 * s);
    p.drawRect(QRectF(0.38 * s, 0.28 * s, 0.24 * s, 0.1 * s));
    p.setBrush(QColor(0x1F, 0x4E, 0x8C));
    p.drawEllipse(QPointF(0.5 * s, 0.59 * s), 0.16 * s, 0.16 * s);
    p.setBrush(QColor(0x4F, 0xC3, 0xF7));
    p.drawEllipse(QPointF(0.5 * s, 0.59 * s), 0.09 * s, 0.09 * s);
    QPainterPath arrow;
    arrow.moveTo(0.5 * s, 0.27 * s);
    arrow.lineTo(0.36 * s, 0.13 * s);
    arrow.lineTo(0.44 * s, 0.13 * s);
    arrow.lineTo(0.44 * s, 0.06 * s);
    arrow.lineTo(0.56 * s, 0.06 * s);
    arrow.lineTo(0.56 * s, 0.13 * s);
    arrow.lineTo(0.64 * s, 0.13 * s);
    arrow.closeSubpath();
    p.setBrush(QColor(0xFF, 0xC1, 0x07));
    p.drawPath(arrow);
    return pm;
}

}  // namespace

QIcon LumoAppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(drawIcon(size));
    return icon;
}

}  // namespace lumo::tool
