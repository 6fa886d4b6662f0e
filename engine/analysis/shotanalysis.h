#pragma once

#include "analysis/shotdetector.h"

#include <QString>
#include <QVector>

#include <functional>

// Splits a stretch of a video into shots and picks the frame to take from
// each, with ShotDetector. A first pass decodes only the frames that others
// are predicted from (about half of them in video with B-frames); then every
// frame between a hard cut found and the frame looked at before it is
// decoded, so that each cut lands on its exact frame.
//
// Thread: runs on the caller's thread, decoding with the threads of one
// decoder while a thread of its own judges the frames of the first pass; the
// progress report and the stop check are called on the caller's thread,
// between frames.
class ShotAnalysis
{
public:
    struct Shot {
        qint64 startMs;     // the first frame, ms from the start of the video
        qint64 endMs;       // where the next shot starts, or the stretch ends
        qint64 startFrame;  // frame numbers from 0, the last frame of the shot; -1 unknown
        qint64 endFrame;
        qint64 imageMs;     // the frame to take
        bool blank;         // that frame is blank: the shot has no other
    };

    explicit ShotAnalysis(const QString &source);

    // ShotDetector's threshold, percent.
    void setThreshold(double percent) { m_threshold = percent; }
    // Shots shorter than this join a neighbour.
    void setMinShot(qint64 ms) { m_minShot = ms; }
    // Told how far the analysis is, from 0 to 1.
    void setProgress(std::function<void(float)> report) { m_progress = std::move(report); }
    // Asked between frames; true stops the analysis.
    void setStopCheck(std::function<bool()> check) { m_stopCheck = std::move(check); }

    // Analyses the frames from fromMs to toMs. False when the video cannot be
    // decoded there (errorString() says why), or when stopped.
    bool run(qint64 fromMs, qint64 toMs);

    const QVector<Shot> &shots() const { return m_shots; }
    // Every frame looked at was blank.
    bool allBlank() const { return m_allBlank; }
    QString errorString() const { return m_error; }

private:
    bool stopped() const { return m_stopCheck && m_stopCheck(); }
    void report(float progress) const;

    QString m_source;
    double m_threshold = ShotDetector::DefaultThreshold;
    qint64 m_minShot = 600;
    std::function<void(float)> m_progress;
    std::function<bool()> m_stopCheck;
    QVector<Shot> m_shots;
    bool m_allBlank = false;
    QString m_error;
};
