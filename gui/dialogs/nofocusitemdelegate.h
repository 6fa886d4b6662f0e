#pragma once

#include <QItemDelegate>

// An item delegate that draws no focus rectangle: the batch job table selects
// whole rows, and a dotted frame around a single cell only distracts.
// Lives on the user-interface thread, like the view that uses it.
class NoFocusItemDelegate : public QItemDelegate
{
public:
    explicit NoFocusItemDelegate(QObject *parent = nullptr);

protected:
    void drawFocus(QPainter *painter, const QStyleOptionViewItem &option, const QRect &rect) const override;
};
