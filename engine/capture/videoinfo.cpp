#include "videoinfo.h"

#include "media/codeccontext.h"
#include "media/demuxer.h"

#include <QDebug>
#include <QFileInfo>

#include <cmath>

VideoInfo::VideoInfo(QObject *parent)
    : QObject(parent)
{
}

void VideoInfo::load(const QString &path)
{
    m_path = path;
    m_fileSize = QFileInfo(path).size();
    media::Demuxer demuxer;
    demuxer.setMedia(path);
    if (demuxer.load()) {
        // The duration is kept even when the file turns out to have no picture.
        m_duration = demuxer.duration();
        m_bitRate = demuxer.bitRate();
        m_audioCodec = demuxer.audioCodecName();
        m_recorded = QDateTime::fromString(demuxer.tag("creation_time"), Qt::ISODateWithMs);
        if (!demuxer.videoStreams().isEmpty()) {
            if (const media::CodecContext *codec = demuxer.videoCodecContext(-1)) {
                m_width = codec->width();
                m_height = codec->height();
                int shownWidth = m_width;
                if (codec->aspectNum() > 0 && codec->aspectDen() > 0)
                    shownWidth = int(std::lround(double(m_width) * codec->aspectNum() / codec->aspectDen()));
                m_displaySize = codec->rotation() % 180 ? QSize(m_height, shownWidth) : QSize(shownWidth, m_height);
                m_frameRate = demuxer.constantFrameRate();
                m_videoCodec = demuxer.videoCodecName();
                m_startTime = demuxer.startTime();
                m_firstFrame = demuxer.videoStart();
                m_loaded = true;
                return;
            }
            qDebug() << "AVCodecContext did not exist";
        }
        demuxer.unload();
    }
    qDebug() << "Error loading VideoInfo";
}

qint64 VideoInfo::frameNumberOf(qint64 frameTimeMs) const
{
    if (m_frameRate <= 0.0)
        return -1;
    return qMax<qint64>(0, std::llround(double(frameTimeMs - m_firstFrame) * m_frameRate / 1000.0));
}
