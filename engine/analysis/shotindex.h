#pragma once

#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>

class QThread;

// Where the shots of one video start, found in the background: for the
// desktop program's Previous Shot and Next Shot. setSource() starts a
// ShotAnalysis of the whole video on a thread of its own, at idle priority
// (its decoder's threads too), so that it never takes time from playback;
// ready() comes once the shots are known.
//
// Thread: the object lives on the thread that creates it (the user interface
// thread), which gets every signal; the analysis reports to it queued.
class ShotIndex : public QObject
{
    Q_OBJECT

public:
    explicit ShotIndex(QObject *parent = nullptr);
    // Stops the analysis and waits for it.
    ~ShotIndex() override;

    // Analyses path; an empty path (or another one) stops the running analysis.
    void setSource(const QString &path);
    QString source() const { return m_source; }

    bool isReady() const { return m_ready; }
    // How far the analysis is, from 0 to 1.
    float progress() const { return m_progress; }
    // The start (ms) of the last shot that starts before ms, or of the first
    // that starts after it; -1 when there is none or the shots are not known yet.
    qint64 shotBefore(qint64 ms) const;
    qint64 shotAfter(qint64 ms) const;

signals:
    void ready();
    void failed(const QString &reason);

private:
    void stop();
    void finished(quint64 run, const QVector<qint64> &starts, const QString &error);

    QString m_source;
    QThread *m_thread = nullptr;
    std::shared_ptr<std::atomic_bool> m_stop;
    quint64 m_run = 0;
    bool m_ready = false;
    std::atomic<float> m_progress { 0.0f };
    QVector<qint64> m_starts;
};
