#pragma once

#include <QColor>
#include <QLabel>

// Shows a colour of the watermark editor as an outlined swatch 40 pixels
// wide at the label's left edge; the label's text is never painted. It has no change
// signal: the editor reads the colour when it needs it.
//
// User-interface thread only.
class ColorLabel : public QLabel
{
public:
    explicit ColorLabel(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};
