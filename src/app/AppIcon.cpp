#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace AppIcon {

QPixmap picture(int size, bool alert)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    // Blue tile.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1d, 0x5f, 0xa8));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    // A folder: back with its tab, then the front, a little lower.
    painter.setBrush(QColor(0xe0, 0xa1, 0x2b));
    QPainterPath back;
    back.moveTo(10, 18);
    back.lineTo(25, 18);
    back.lineTo(29, 23);
    back.lineTo(54, 23);
    back.lineTo(54, 48);
    back.lineTo(10, 48);
    back.closeSubpath();
    painter.drawPath(back);
    painter.setBrush(QColor(0xff, 0xcc, 0x4d));
    painter.drawRoundedRect(QRectF(10, 27, 44, 23), 2, 2);

    // Green check mark in a white ring: the copy is there; a red exclamation mark: it is not.
    painter.setBrush(alert ? QColor(0xd3, 0x2f, 0x2f) : QColor(0x2e, 0xa0, 0x43));
    painter.setPen(QPen(Qt::white, 3));
    painter.drawEllipse(QPointF(45, 45), 13, 13);
    if (alert) {
        painter.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(45, 38), QPointF(45, 47));
        painter.drawPoint(QPointF(45, 53));
        return pixmap;
    }
    QPen tick(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(tick);
    painter.setBrush(Qt::NoBrush);
    QPainterPath check;
    check.moveTo(38.5, 45.5);
    check.lineTo(43.5, 50.5);
    check.lineTo(52, 40);
    painter.drawPath(check);
    return pixmap;
}

QIcon create(bool alert)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(picture(size, alert));
    return icon;
}

} // namespace AppIcon
