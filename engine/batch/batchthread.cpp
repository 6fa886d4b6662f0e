#include "batchthread.h"
#include "batchlog.h"

#include "batch/batchworker.h"

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
    qCDebug(lcBatch) << "BatchThread::requestInterruption()";
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

float BatchThread::overall(const Worker *worker, float current) const
{
    QMutexLocker locker(&m_workersLock);
    if (m_initialCount == 0)
        return 0.0f;
    const float value = (m_places.value(worker) + current) / float(m_initialCount);
    return qBound(0.0f, value, 1.0f);
}

void BatchThread::run()
{
    qCDebug(lcBatch) << "BatchThread::run()" << m_interruptionRequested.loadAcquire();
    m_workersLock.lock();
    m_initialCount = m_workers.size();
    for (int i = 0; i < m_workers.size(); ++i)
        m_places.insert(m_workers.at(i), i);
    m_workersLock.unlock();
    while (!isInterruptionRequested()) {
        m_workersLock.lock();
        Worker *worker = m_workers.isEmpty() ? nullptr : m_workers.first();
        m_workersLock.unlock();
        if (!worker)
            break;
        qCDebug(lcBatch) << "Running a worker";
        if (auto *batchWorker = qobject_cast<BatchWorker *>(worker))
            connect(batchWorker, &BatchWorker::progressUpdate, this, &BatchThread::workerProgressUpdate);
        qCDebug(lcBatch) << "Running";
        worker->run();
        if (isInterruptionRequested())
            break;
        qCDebug(lcBatch) << "Ran";
        emit progressUpdate(overall(worker, 1.0f), 1.0f);
        // Off the list first: once deleteLater is called the user-interface
        // thread may delete it at any moment. Only the connection made here
        // goes; the saves still queued for the worker run before its deletion
        // and their status, images and outcome still reach whoever listens.
        m_workersLock.lock();
        m_workers.removeFirst();
        m_workersLock.unlock();
        if (auto *batchWorker = qobject_cast<BatchWorker *>(worker))
            disconnect(batchWorker, &BatchWorker::progressUpdate, this, &BatchThread::workerProgressUpdate);
        // Queued behind those saves: a deletion posted now could be sent
        // ahead of them, as event loops that send deferred deletions first do.
        QMetaObject::invokeMethod(worker, &QObject::deleteLater, Qt::QueuedConnection);
        QThread::msleep(200);
    }
    emit threadDone();
}

void BatchThread::workerProgressUpdate(BatchWorker *worker, float m_progress)
{
    if (isInterruptionRequested())
        return;
    emit progressUpdate(overall(worker, m_progress), m_progress);
}
