#pragma once

#include <QWidget>

#include <cstdint>

/// The status lamp: a filled rectangle with a thin border, in a colour the program sets as
/// 0x00BBGGRR.
class LampShape : public QWidget
{
    Q_OBJECT
public:
    explicit LampShape(QWidget* parent = nullptr);

    /// The fill colour, 0x00BBGGRR (the high byte is ignored).
    void setFillColour(std::uint32_t bgr);
    std::uint32_t fillColour() const { return m_bgr; }

    /// 0x00BBGGRR as a Qt colour: 0xC0FFFF is red 255, green 255, blue 192.
    static QColor toQColor(std::uint32_t bgr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t m_bgr;
};
