#include "widgets/screenfit.h"

// Qt
#include <QBoxLayout>
#include <QDialog>
#include <QEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

namespace {

// A scroll area as large as what it holds, until its window finds no room
// for that on the screen: then it may shrink and scroll.
class FittingScrollArea : public QScrollArea
{
public:
    explicit FittingScrollArea(QWidget *parent)
        : QScrollArea(parent)
    {
        setObjectName(QStringLiteral("screenFitScrollArea"));
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

    void squeeze()
    {
        m_squeezed = true;
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        updateGeometry();
    }

    bool hasHeightForWidth() const override
    {
        return widget() && !m_squeezed ? widget()->hasHeightForWidth() : QScrollArea::hasHeightForWidth();
    }

    int heightForWidth(int width) const override
    {
        return widget() && !m_squeezed ? widget()->heightForWidth(width) : QScrollArea::heightForWidth(width);
    }

    QSize sizeHint() const override
    {
        return widget() && !m_squeezed ? widget()->sizeHint() : QScrollArea::sizeHint();
    }

    QSize minimumSizeHint() const override
    {
        return widget() && !m_squeezed ? widget()->minimumSizeHint() : QScrollArea::minimumSizeHint();
    }

private:
    bool m_squeezed = false;
};

}

ScreenFit::ScreenFit(QWidget *window)
    : QObject(window)
{
}

void ScreenFit::keepOnScreen(QWidget *window)
{
    window->installEventFilter(new ScreenFit(window));
}

bool ScreenFit::eventFilter(QObject *watched, QEvent *event)
{
    // The show event comes before the window appears.
    if (event->type() == QEvent::Show && watched == parent())
        fit(static_cast<QWidget *>(watched));
    return false;
}

void ScreenFit::fit(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen || !window->isWindow())
        return;
    const QRect area = screen->availableGeometry();
    // What the window manager puts around the window; until the window has
    // been shown once, a title bar and thin borders are what to expect.
    QMargins frame(window->geometry().left() - window->frameGeometry().left(),
                   window->geometry().top() - window->frameGeometry().top(),
                   window->frameGeometry().right() - window->geometry().right(),
                   window->frameGeometry().bottom() - window->geometry().bottom());
    const bool framed = !frame.isNull() || window->windowFlags().testFlag(Qt::FramelessWindowHint);
    if (!framed)
        frame = QMargins(2, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window), 2, 2);
    const QSize room(area.width() - frame.left() - frame.right(), area.height() - frame.top() - frame.bottom());

    if (window->width() <= room.width() && window->height() <= room.height()
        && window->minimumWidth() <= room.width() && window->minimumHeight() <= room.height())
        return;
    // Where there is room, a little wider, so that only the height scrolls.
    QSize size = window->size();
    const auto scrollAreas = window->findChildren<FittingScrollArea *>();
    for (FittingScrollArea *scrollArea : scrollAreas)
        scrollArea->squeeze();
    if (!scrollAreas.isEmpty())
        size.rwidth() += window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
    if (QLayout *layout = window->layout()) {
        // A window fixed to the size of its contents gives way too.
        if (layout->sizeConstraint() == QLayout::SetFixedSize) {
            layout->setSizeConstraint(QLayout::SetDefaultConstraint);
            window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
        layout->activate();
    }
    window->resize(size.boundedTo(room));

    // A dialog places itself over its parent, inside the screen, once shown.
    if (qobject_cast<QDialog *>(window) && !window->testAttribute(Qt::WA_Moved))
        return;
    const QSize outer(window->width() + frame.left() + frame.right(), window->height() + frame.top() + frame.bottom());
    const QPoint at = window->frameGeometry().topLeft();
    const QPoint inside(qBound(area.left(), at.x(), qMax(area.left(), area.right() + 1 - outer.width())),
                        qBound(area.top(), at.y(), qMax(area.top(), area.bottom() + 1 - outer.height())));
    // Until the frame is known, moving a shown window places its inside.
    window->move(framed ? inside : inside + QPoint(frame.left(), frame.top()));
}

QScrollArea *ScreenFit::scrollArea(QWidget *content, QWidget *parent)
{
    auto *scrollArea = new FittingScrollArea(parent);
    scrollArea->setWidget(content);
    return scrollArea;
}

QScrollArea *ScreenFit::scrollBody(QBoxLayout *layout, int kept)
{
    auto *body = new QWidget;
    auto *bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(layout->spacing());
    for (int moved = layout->count() - kept; moved > 0; --moved) {
        const int stretch = layout->stretch(0);
        QLayoutItem *item = layout->takeAt(0);
        if (QWidget *widget = item->widget()) {
            bodyLayout->addWidget(widget, stretch, item->alignment());
            delete item;
        } else if (QLayout *inner = item->layout()) {
            bodyLayout->addLayout(inner, stretch);
        } else {
            bodyLayout->addItem(item);
        }
    }
    QScrollArea *scrollArea = ScreenFit::scrollArea(body, layout->parentWidget());
    layout->insertWidget(0, scrollArea, 1);
    return scrollArea;
}
