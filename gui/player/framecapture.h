#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

class Player;
class QThread;

// Takes snapshots of the frame a Player shows, at the video's full resolution,
// upright, at the display aspect ratio and in the stream's colours: the image
// the batch engine makes of the same frame. Reached through
// Player::videoCapture().
//
// Most videos are captured from libmpv's copy of the frame on show, converted
// as the engine converts. HDR and wide-gamut videos, whose tone mapping libmpv
// does its own way, are decoded once more by the engine at the frame's time on
// a thread of their own.
//
// Thread: GUI thread. capture() returns at once; exactly one of imageCaptured
// or failed follows for each call, later, on the GUI thread. Deleting it waits
// for a decoding capture to finish.
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
    void takeFrame(const QImage &image, const QString &error);
    void decode(const QString &file, qint64 ms);

    Player *m_player;
    QPointer<QThread> m_decoding;
};
