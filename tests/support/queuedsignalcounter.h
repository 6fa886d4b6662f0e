#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

// Counts a signal on the thread that made the counter, however many threads
// away it is emitted: the emissions arrive queued, so nothing is written on
// the emitting thread (QSignalSpy fills its list there). wait() runs an event
// loop, as QSignalSpy::wait() does.
class QueuedSignalCounter : public QObject
{
public:
    template <typename Sender, typename Signal>
    QueuedSignalCounter(const Sender *sender, Signal signal)
    {
        connect(sender, signal, this, [this] {
            ++m_count;
            m_loop.quit();
        }, Qt::QueuedConnection);
    }

    int count() const { return m_count; }

    // True once the signal has arrived at least once, waiting up to timeout ms.
    bool wait(int timeout)
    {
        if (m_count == 0) {
            QTimer::singleShot(timeout, &m_loop, &QEventLoop::quit);
            m_loop.exec();
        }
        return m_count > 0;
    }

private:
    QEventLoop m_loop;
    int m_count = 0;
};
