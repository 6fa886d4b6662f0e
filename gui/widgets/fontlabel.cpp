#include "widgets/fontlabel.h"

FontLabel::FontLabel(QWidget *parent)
    : QLabel(parent)
{
}

void FontLabel::setSelectedFont(const QFont &font)
{
    m_selectedFont = font;
    QFont shown = font;
    shown.setPointSize(14);
    setFont(shown);
    setText(font.family() + QLatin1String(", ") + QString::number(font.pointSize()) + QLatin1String("pt"));
}
