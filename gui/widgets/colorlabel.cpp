#include "widgets/colorlabel.h"

// Qt
#include <QPainter>

ColorLabel::ColorLabel(QWidget *parent)
    : QLabel(parent)
{
}

void ColorLabel::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void ColorLabel::paintEvent(QPaintEvent *)
{
    if (!m_color.isValid())
        return;
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, 40, height()), m_color);
}
