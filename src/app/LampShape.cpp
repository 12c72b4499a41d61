#include "LampShape.h"

#include "BackupHost.h"

#include <QPainter>

LampShape::LampShape(QWidget* parent) : QWidget(parent), m_bgr(LampColour::lightYellow)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LampShape::setFillColour(std::uint32_t bgr)
{
    bgr &= 0xFFFFFF;
    if (bgr == m_bgr)
        return;
    m_bgr = bgr;
    update();
}

QColor LampShape::toQColor(std::uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QSize LampShape::sizeHint() const
{
    return {40, 24};
}

void LampShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(toQColor(m_bgr));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
