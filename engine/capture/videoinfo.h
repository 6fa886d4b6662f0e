#pragma once

#include <QObject>

// Duration and frame size of a video file, read once when a video joins the
// batch job table. Failures only leave loaded() false; nothing is reported.
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

private:
    qint64 m_duration = 0;
    int m_width = 0;
    int m_height = 0;
    bool m_loaded = false;
};
