#pragma once

#include <QAtomicInt>
#include <QObject>
#include <QRunnable>

// A unit of batch work that can be asked to stop. The request may come from
// any thread; the work polls isInterruptionRequested() at its own checkpoints.
class Worker : public QObject, public QRunnable
{
    Q_OBJECT

public:
    explicit Worker(QObject *parent = nullptr);

    void requestInterruption();
    bool isInterruptionRequested() const;

private:
    QAtomicInt m_interruptionRequested { 0 };
};
