#pragma once

#include <QAtomicInt>
#include <QHash>
#include <QMutex>
#include <QThread>
#include <QVector>

class BatchWorker;
class Worker;

// Runs the workers of one batch one after another on a thread of its own and
// turns their progress into the progress of the whole batch.
//
// Threads: the object is created, filled and started on the user-interface
// thread and lives there; run() and every worker's run() execute on the new
// thread. requestInterruption() may be called from the user-interface thread
// at any time.
class BatchThread : public QThread
{
    Q_OBJECT

public:
    explicit BatchThread(QObject *parent = nullptr);

    // Takes the worker as a child. Only before start().
    void addWorker(Worker *worker);
    void requestInterruption();
    bool isInterruptionRequested() const;

signals:
    void progressUpdate(float overall, float current);
    void threadDone();

protected:
    void run() override;

protected slots:
    void workerProgressUpdate(BatchWorker *worker, float m_progress);

private:
    float overall(const Worker *worker, float current) const;

    // The list shrinks on the batch thread while the user-interface thread
    // interrupts the workers in it and works out progress.
    mutable QMutex m_workersLock;
    QVector<Worker *> m_workers;
    int m_initialCount = 0;
    // Each worker's place in the batch, from 0. Progress reaches the
    // user-interface thread late; the worker's own place, unlike the length
    // of the list by then, keeps the overall value from going back.
    QHash<const Worker *, int> m_places;
    QAtomicInt m_interruptionRequested { 0 };
};
