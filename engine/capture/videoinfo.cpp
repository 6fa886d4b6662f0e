#include "videoinfo.h"

#include "media/codeccontext.h"
#include "media/demuxer.h"

#include <QDebug>

VideoInfo::VideoInfo(QObject *parent)
    : QObject(parent)
{
}

void VideoInfo::load(const QString &path)
{
    media::Demuxer demuxer;
    demuxer.setMedia(path);
    if (demuxer.load()) {
        // The duration is kept even when the file turns out to have no picture.
        m_duration = demuxer.duration();
        if (!demuxer.videoStreams().isEmpty()) {
            if (const media::CodecContext *codec = demuxer.videoCodecContext(-1)) {
                m_width = codec->width();
                m_height = codec->height();
                m_loaded = true;
                return;
            }
            qDebug() << "AVCodecContext did not exist";
        }
        demuxer.unload();
    }
    qDebug() << "Error loading VideoInfo";
}
