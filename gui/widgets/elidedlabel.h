#pragma once

#include <QLabel>

// A label for names and paths that may be longer than the room it gets:
// whatever does not fit is left out in the middle behind an ellipsis, and
// the whole text shows as a tool tip. text() stays the whole text, and the
// label never asks its layout for more room than an ellipsis, so a long name
// does not widen its window.
//
// User-interface thread only.
class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The text as painted in the label's current size.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textRect() const;
};
