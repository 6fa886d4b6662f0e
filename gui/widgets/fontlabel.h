#pragma once

#include <QFont>
#include <QLabel>

// Shows a font of the watermark editor as its family and point size
// ("Times, 12pt"), written in that family at 14 points so it stays legible
// whatever size was chosen. It has no change signal.
//
// User-interface thread only.
class FontLabel : public QLabel
{
public:
    explicit FontLabel(QWidget *parent = nullptr);

    QFont selectedFont() const { return m_selectedFont; }
    void setSelectedFont(const QFont &font);

private:
    QFont m_selectedFont;
};
