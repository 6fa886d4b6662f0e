#pragma once

#include <QObject>
#include <QString>

template<typename T> class QFutureWatcher;

// The time of a file's last picture, which the player needs where the sound
// outlasts the pictures: libmpv's position and end follow the sound. Read
// from the packets after the last key frame (demuxing only, a few
// milliseconds for a local file) on a thread of its own while the file
// plays.
//
// User-interface thread only.
class LastPictureReader : public QObject
{
    Q_OBJECT

public:
    explicit LastPictureReader(QObject *parent = nullptr);

    // Starts reading the file's; forgets the time of the one before.
    void read(const QString &file);
    void forget();
    // Ms from the start of the media as libmpv counts; negative while not
    // known. known() never waits; time() waits for a reading under way.
    qint64 known() const { return m_time; }
    qint64 time();

private:
    QFutureWatcher<qint64> *m_reader = nullptr;
    qint64 m_time = -1;
};
