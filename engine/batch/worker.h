#pragma once

#include <QAtomicInt>
#include <QObject>
#include <QRunnable>

#include <atomic>

// A unit of batch work that can be asked to stop. The request may come from
// any thread; the work polls isInterruptionRequested() at its own checkpoints.
class Worker : public QObject, public QRunnable
{
    Q_OBJECT

public:
    explicit Worker(QObject *parent = nullptr);

    void requestInterruption();
    bool isInterruptionRequested() const;
    // Interruption is also requested while *flag is not 0, for flags that a
    // signal handler sets (only an atomic store is safe there). The flag
    // outlives the worker.
    void watchInterruptionFlag(const std::atomic_int *flag);

private:
    QAtomicInt m_interruptionRequested { 0 };
    const std::atomic_int *m_watchedFlag = nullptr;
};
