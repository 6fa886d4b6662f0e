#pragma once

#include <QObject>

class QBoxLayout;
class QScrollArea;
class QWidget;

// Keeps windows usable on small or strongly scaled screens (a laptop at
// twice the scale has room for 800 x 500 pixels of ours): a window is never
// shown larger than the free area of its screen, and a form that does not
// fit scrolls its body while its buttons stay in reach. Where the screen
// has room, windows and forms keep the size they would have without it.
//
// User-interface thread only.
class ScreenFit : public QObject
{
public:
    // Whenever window is shown from now on, it shrinks to the free area of
    // its screen when it is larger (letting its scroll areas below scroll)
    // and moves inside it.
    static void keepOnScreen(QWidget *window);
    // Moves every item of layout but the last `kept` ones (the buttons) into
    // a frameless scroll area that takes their place.
    static QScrollArea *scrollBody(QBoxLayout *layout, int kept);
    // A frameless scroll area around content, to take its place.
    static QScrollArea *scrollArea(QWidget *content, QWidget *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ScreenFit(QWidget *window);
    static void fit(QWidget *window);
};
