#include "lastpicturereader.h"

#include "media/demuxer.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace {

// -1 when it cannot be told.
qint64 lastPictureTime(const QString &file)
{
    media::Demuxer demuxer;
    demuxer.setMedia(file);
    if (!demuxer.load() || demuxer.videoStream() < 0 || demuxer.duration() <= 0)
        return -1;
    if (!demuxer.seek(demuxer.startTime() + demuxer.duration()))
        return -1;
    double last = -1.0;
    while (demuxer.readFrame()) {
        const media::Packet packet = demuxer.packet();
        if (demuxer.stream() == demuxer.videoStream() && packet.isValid())
            last = std::max(last, packet.pts);
    }
    return last < 0.0 ? -1 : std::llround(last * 1000.0) - demuxer.startTime();
}

}

LastPictureReader::LastPictureReader(QObject *parent)
    : QObject(parent)
{
}

void LastPictureReader::read(const QString &file)
{
    forget();
    m_reader = new QFutureWatcher<qint64>(this);
    // Takes the result as soon as it is there, so that known() has it.
    connect(m_reader, &QFutureWatcher<qint64>::finished, this, &LastPictureReader::time);
    m_reader->setFuture(QtConcurrent::run(lastPictureTime, file));
}

void LastPictureReader::forget()
{
    m_time = -1;
    if (!m_reader)
        return;
    m_reader->disconnect(this);
    m_reader->deleteLater();
    m_reader = nullptr;
}

qint64 LastPictureReader::time()
{
    if (m_reader) {
        m_time = m_reader->result();
        m_reader->deleteLater();
        m_reader = nullptr;
    }
    return m_time;
}
