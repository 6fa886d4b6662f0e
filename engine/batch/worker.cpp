#include "worker.h"
#include "batchlog.h"

Worker::Worker(QObject *parent)
    : QObject(parent)
{
    // The batch thread deletes finished workers itself, through deleteLater.
    setAutoDelete(false);
}

void Worker::requestInterruption()
{
    qCDebug(lcBatch) << "Worker::requestInterruption()";
    m_interruptionRequested.storeRelease(1);
}

bool Worker::isInterruptionRequested() const
{
    return m_interruptionRequested.loadAcquire() != 0 || (m_watchedFlag && *m_watchedFlag != 0);
}

void Worker::watchInterruptionFlag(const std::atomic_int *flag)
{
    m_watchedFlag = flag;
}
