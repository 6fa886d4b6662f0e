#include "shotindex.h"

#include "analysis/shotanalysis.h"

#include <QPointer>
#include <QThread>

#include <algorithm>
#include <limits>

ShotIndex::ShotIndex(QObject *parent)
    : QObject(parent)
{
}

ShotIndex::~ShotIndex()
{
    stop();
}

void ShotIndex::stop()
{
    if (m_stop)
        *m_stop = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    m_stop.reset();
}

void ShotIndex::setSource(const QString &path)
{
    stop();
    m_source = path;
    m_ready = false;
    m_progress = 0.0f;
    m_starts.clear();
    ++m_run;
    if (path.isEmpty())
        return;
    auto stopFlag = std::make_shared<std::atomic_bool>(false);
    m_stop = stopFlag;
    const quint64 run = m_run;
    const QPointer<ShotIndex> self(this);
    m_thread = QThread::create([this, self, path, stopFlag, run] {
        ShotAnalysis analysis(path);
        analysis.setProgress([this](float done) { m_progress = done; });
        analysis.setStopCheck([stopFlag] { return stopFlag->load(); });
        QVector<qint64> starts;
        QString error;
        if (analysis.run(0, std::numeric_limits<int>::max())) {
            for (const ShotAnalysis::Shot &shot : analysis.shots())
                starts.append(shot.startMs);
        } else {
            error = analysis.errorString();
        }
        if (*stopFlag)
            return;
        // Queued to the object's thread, which stops this one before it goes.
        QMetaObject::invokeMethod(self, [self, run, starts, error] {
            if (self)
                self->finished(run, starts, error);
        }, Qt::QueuedConnection);
    });
    m_thread->start(QThread::IdlePriority);
}

void ShotIndex::finished(quint64 run, const QVector<qint64> &starts, const QString &error)
{
    if (run != m_run)
        return;
    if (!error.isEmpty()) {
        emit failed(error);
        return;
    }
    m_starts = starts;
    m_ready = true;
    m_progress = 1.0f;
    emit ready();
}

qint64 ShotIndex::shotBefore(qint64 ms) const
{
    const auto after = std::lower_bound(m_starts.cbegin(), m_starts.cend(), ms);
    return after == m_starts.cbegin() ? -1 : *(after - 1);
}

qint64 ShotIndex::shotAfter(qint64 ms) const
{
    const auto after = std::upper_bound(m_starts.cbegin(), m_starts.cend(), ms);
    return after == m_starts.cend() ? -1 : *after;
}
