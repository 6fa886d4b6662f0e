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
    const QRect swatch(0, 0, 40, height());
    painter.fillRect(swatch, m_color);
    // An outline, so white or nearly transparent colours still show where they are.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}
