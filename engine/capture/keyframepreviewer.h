#pragma once

#include <QImage>
#include <QObject>
#include <QString>

class FrameGrabber;
class QThread;

#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <optional>

// Small pictures of a video for positions asked for at a high rate, such as
// a pointer moving over a position slider: for each, the key frame nearest to
// it, made by a grabber in key-frame mode on a thread of its own, so that
// neither the asker nor a player is ever kept waiting.
//
// Only the latest request counts: one that comes while a picture is in the
// making replaces the one waiting, and a picture finished after a newer
// request was made is not delivered, so that work never queues up behind the
// pointer. The last pictures made are kept, by key frame, and a position
// whose key frame is among them is answered without decoding.
//
// Thread: the object belongs to the thread that creates it, which calls
// setSource(), setPictureHeight() and request(); previewReady is emitted
// there, from its event loop.
class KeyFramePreviewer : public QObject
{
    Q_OBJECT

public:
    explicit KeyFramePreviewer(QObject *parent = nullptr);
    // Waits for the picture in the making, if any.
    ~KeyFramePreviewer() override;

    // The video; an empty path closes it. Forgets the pictures kept.
    void setSource(const QString &path);
    // Height of the pictures in pixels (the width follows the video's
    // shape); 90 unless set. Forgets the pictures kept.
    void setPictureHeight(int pixels);
    int pictureHeight() const;

    // Asks for the picture at ms (as positions count from the first frame).
    void request(qint64 ms);

signals:
    // The picture for the latest request, position: the key frame at keyFrame ms.
    void previewReady(qint64 position, qint64 keyFrame, const QImage &picture);

private:
    struct Picture {
        qint64 keyFrame;
        QImage image;
    };

    void work();
    static QImage picture(FrameGrabber &grabber, qint64 position, int height);
    void deliver(qint64 position, const Picture &picture, quint64 generation);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    QString m_source;
    int m_height = 90;
    // Bumped by every change of source or height: pictures of an earlier one are dropped.
    quint64 m_generation = 0;
    std::optional<qint64> m_waiting;
    qint64 m_latest = -1;
    bool m_quit = false;
    // A new source waits to be opened.
    bool m_opening = false;
    // Most recently used first.
    std::list<Picture> m_kept;
    std::unique_ptr<QThread> m_thread;
};
