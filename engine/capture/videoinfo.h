#pragma once

#include <QDateTime>
#include <QObject>
#include <QSize>
#include <QString>

// What a video file says about itself: duration and frame size (read when a
// video joins the batch job table), and the details a contact sheet's header,
// watermark texts and image manifests show. Failures only leave loaded()
// false; nothing is reported.
class VideoInfo : public QObject
{
    Q_OBJECT

public:
    explicit VideoInfo(QObject *parent = nullptr);

    void load(const QString &path);

    qint64 duration() const { return m_duration; }  // ms
    int width() const { return m_width; }            // pixels of the stored picture
    int height() const { return m_height; }
    bool loaded() const { return m_loaded; }

    QString path() const { return m_path; }
    qint64 fileSize() const { return m_fileSize; }   // bytes
    // The picture as shown: turned upright, non-square pixels stretched.
    QSize displaySize() const { return m_displaySize; }
    // Constant frames per second; 0 when the rate varies or is not known.
    double frameRate() const { return m_frameRate; }
    QString videoCodec() const { return m_videoCodec; }
    QString audioCodec() const { return m_audioCodec; }  // empty without sound
    qint64 bitRate() const { return m_bitRate; }         // bits per second; 0 when not known
    // When the video was recorded, where the file states it; invalid otherwise.
    QDateTime recorded() const { return m_recorded; }

    // A frame's time (ms on the container's clock, as media::VideoFrame
    // gives it) from the start of the video, as a player shows it.
    qint64 timeOf(qint64 frameTimeMs) const { return qMax<qint64>(0, frameTimeMs - m_startTime); }
    // The frame's number counted from 0 at the first frame; -1 where the
    // frame rate varies or is not known.
    qint64 frameNumberOf(qint64 frameTimeMs) const;

private:
    QString m_path;
    qint64 m_duration = 0;
    int m_width = 0;
    int m_height = 0;
    bool m_loaded = false;
    qint64 m_fileSize = 0;
    QSize m_displaySize;
    double m_frameRate = 0.0;
    QString m_videoCodec;
    QString m_audioCodec;
    qint64 m_bitRate = 0;
    QDateTime m_recorded;
    qint64 m_startTime = 0;
    qint64 m_firstFrame = 0;
};
