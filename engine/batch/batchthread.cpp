#include "batchthread.h"

#include "batch/batchworker.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBatchThread, "tindra.batch.thread")

BatchThread::BatchThread(QObject *parent)
    : QThread(parent)
{
}

void BatchThread::addWorker(Worker *worker)
{
    if (isRunning() || isFinished())
        qFatal("You can't add workers after calling start");
    worker->setParent(this);
    QMutexLocker locker(&m_workersLock);
    m_workers.append(worker);
}

void BatchThread::requestInterruption()
{
    qCDebug(lcBatchThread) << "BatchThread::requestInterruption()";
    m_interruptionRequested.storeRelease(1);
    // A worker taken off the list is deleted later by this thread's event
    // loop, so every worker still listed is alive here.
    QMutexLocker locker(&m_workersLock);
    for (Worker *worker : qAsConst(m_workers))
        worker->requestInterruption();
}

bool BatchThread::isInterruptionRequested() const
{
    return m_interruptionRequested.loadAcquire() != 0;
}

float BatchThread::overall(float current) const
{
    if (m_initialCount == 0)
        return 0.0f;
    QMutexLocker locker(&m_workersLock);
    const float value = (m_initialCount - m_workers.size() + current) / float(m_initialCount);
    return qBound(0.0f, value, 1.0f);
}

void BatchThread::run()
{
    qCDebug(lcBatchThread) << "BatchThread::run()" << m_interruptionRequested.loadAcquire();
    m_workersLock.lock();
    m_initialCount = m_workers.size();
    m_workersLock.unlock();
    while (!isInterruptionRequested()) {
        m_workersLock.lock();
        Worker *worker = m_workers.isEmpty() ? nullptr : m_workers.first();
        m_workersLock.unlock();
        if (!worker)
            break;
        qCDebug(lcBatchThread) << "Running a worker";
        if (auto *batchWorker = qobject_cast<BatchWorker *>(worker))
            connect(batchWorker, &BatchWorker::progressUpdate, this, &BatchThread::workerProgressUpdate);
        qCDebug(lcBatchThread) << "Running";
        worker->run();
        if (isInterruptionRequested())
            break;
        qCDebug(lcBatchThread) << "Ran";
        emit progressUpdate(overall(1.0f), 1.0f);
        disconnect(worker, nullptr, nullptr, nullptr);
        worker->deleteLater();
        m_workersLock.lock();
        m_workers.removeFirst();
        m_workersLock.unlock();
        QThread::msleep(200);
    }
    emit threadDone();
}

void BatchThread::workerProgressUpdate(BatchWorker *, float m_progress)
{
    if (isInterruptionRequested())
        return;
    emit progressUpdate(overall(m_progress), m_progress);
}
