#pragma once

#include <QImage>
#include <QObject>
#include <QString>

class Player;

// Takes snapshots of the frame a Player shows, at the video's full resolution,
// upright, at the display aspect ratio and in the stream's colours: the image
// the batch engine makes of the same frame. Reached through
// Player::videoCapture().
//
// Thread: GUI thread. capture() returns at once; exactly one of imageCaptured
// or failed follows for each call, later, on the GUI thread.
class FrameCapture : public QObject
{
    Q_OBJECT

public:
    explicit FrameCapture(Player *player);
    ~FrameCapture() override;

public slots:
    void capture();

signals:
    // The frame as a Format_ARGB32 image.
    void imageCaptured(const QImage &image);
    void failed(const QString &reason);

private:
    friend class Player;
    void takeReply(int error, const struct mpv_node *result);

    Player *m_player;
};
