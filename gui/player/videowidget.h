#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

class Player;

// The picture of a Player: paints the frame on show at the widget's size in
// device pixels (sharp on high-DPI screens), letterboxed in black. Frames come
// from libmpv's software renderer, so no OpenGL is needed. Connect it with
// Player::setVideoWidget().
//
// Thread: GUI thread only. It does not own the player; either may be deleted
// first.
class VideoWidget : public QWidget
{
    Q_OBJECT

public:
    explicit VideoWidget(QWidget *parent = nullptr);
    ~VideoWidget() override;

    Player *player() const { return m_player; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    friend class Player;
    void setPlayer(Player *player);

    QPointer<Player> m_player;
    QImage m_surface;
};
