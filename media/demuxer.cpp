#include "demuxer.h"

#include "codeccontext.h"
#include "ffmpegptr.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDemuxer, "tindra.media.demuxer")

namespace media {

namespace {

// A read error that is not the end of the file is skipped, but this many in a
// row end the stream, so a damaged file cannot keep a reader busy for ever.
constexpr int MaxFailedReads = 64;
// How far a checked seek reads to find the first key frame.
constexpr int MaxPacketsPerCheck = 4096;

}

void Demuxer::FormatCloser::operator()(AVFormatContext *c) const
{
    avformat_close_input(&c);
}

Demuxer::Demuxer() = default;

Demuxer::~Demuxer() = default;

void Demuxer::setMedia(const QString &fileName)
{
    m_fileName = fileName;
}

bool Demuxer::load()
{
    unload();
    if (m_fileName.isEmpty())
        return false;
    AVFormatContext *format = nullptr;
    // Always a local file: without the "file:" protocol FFmpeg would read
    // names such as "pipe:0" or "http://..." as other protocols.
    const QByteArray path = "file:" + QFile::encodeName(QFileInfo(m_fileName).absoluteFilePath());
    int ret = avformat_open_input(&format, path.constData(), nullptr, nullptr);
    if (ret < 0) {
        qCDebug(lcDemuxer) << "cannot open" << m_fileName << ffmpeg::errorText(ret);
        return false;
    }
    m_format.reset(format);
    ret = avformat_find_stream_info(format, nullptr);
    if (ret < 0) {
        qCDebug(lcDemuxer) << "no stream information in" << m_fileName << ffmpeg::errorText(ret);
        m_format.reset();
        return false;
    }
    const QList<int> video = videoStreams();
    if (!video.isEmpty())
        setStreamIndex(VideoStream, 0);
    return true;
}

void Demuxer::unload()
{
    m_queue.clear();
    m_codec.reset();
    m_format.reset();
    m_videoStream = -1;
    m_atEnd = false;
    m_failedReads = 0;
    m_packet = Packet();
    m_packetStream = -1;
}

bool Demuxer::isLoaded() const
{
    return m_format != nullptr;
}

QList<int> Demuxer::videoStreams() const
{
    QList<int> streams;
    if (!m_format)
        return streams;
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        const AVStream *s = m_format->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
            streams.append(int(i));
    }
    return streams;
}

bool Demuxer::setStreamIndex(StreamType, int index)
{
    const QList<int> video = videoStreams();
    if (index < 0 || index >= video.size())
        return false;
    m_videoStream = video.at(index);
    m_codec = std::make_unique<CodecContext>(m_format.get(), m_format->streams[m_videoStream]);
    return true;
}

qint64 Demuxer::duration() const
{
    if (!m_format || m_format->duration == AV_NOPTS_VALUE || m_format->duration < 0)
        return 0;
    return m_format->duration / 1000;
}

qint64 Demuxer::startTime() const
{
    if (!m_format || m_format->start_time == AV_NOPTS_VALUE)
        return 0;
    return m_format->start_time / 1000;
}

const CodecContext *Demuxer::videoCodecContext(int stream) const
{
    if (!m_codec || (stream >= 0 && stream != m_videoStream))
        return nullptr;
    return m_codec.get();
}

qint64 Demuxer::videoEndTime() const
{
    if (!m_format)
        return 0;
    if (m_videoStream >= 0) {
        const AVStream *stream = m_format->streams[m_videoStream];
        if (stream->duration > 0 && stream->start_time != AV_NOPTS_VALUE)
            return av_rescale_q(stream->start_time + stream->duration, stream->time_base, AVRational { 1, 1000 });
    }
    return startTime() + duration();
}

qint64 Demuxer::keyFrameTime(qint64 ms) const
{
    if (!m_format || m_videoStream < 0)
        return -1;
    AVStream *stream = m_format->streams[m_videoStream];
    const AVRational millisecond { 1, 1000 };
    const int index = av_index_search_timestamp(stream, av_rescale_q(ms, millisecond, stream->time_base),
                                                AVSEEK_FLAG_BACKWARD);
    const AVIndexEntry *entry = index >= 0 ? avformat_index_get_entry(stream, index) : nullptr;
    return entry ? av_rescale_q(entry->timestamp, stream->time_base, millisecond) : -1;
}

bool Demuxer::readPacket(Packet *packet, int *stream)
{
    ffmpeg::PacketPtr raw(av_packet_alloc());
    if (!raw)
        return false;
    const int ret = av_read_frame(m_format.get(), raw.get());
    if (ret < 0) {
        if (ret == AVERROR_EOF || avio_feof(m_format->pb) || ++m_failedReads >= MaxFailedReads) {
            m_atEnd = true;
        } else if (ret != AVERROR(EAGAIN)) {
            qCDebug(lcDemuxer) << "read failed:" << ffmpeg::errorText(ret);
        }
        return false;
    }
    m_failedReads = 0;
    const AVStream *s = m_format->streams[raw->stream_index];
    *packet = Packet(raw.get(), s->time_base.num, s->time_base.den);
    *stream = raw->stream_index;
    return true;
}

bool Demuxer::readFrame()
{
    if (!m_format)
        return false;
    if (!m_queue.empty()) {
        m_packet = m_queue.front().packet;
        m_packetStream = m_queue.front().stream;
        m_queue.pop_front();
        return true;
    }
    if (m_atEnd)
        return false;
    Packet packet;
    int stream = -1;
    if (!readPacket(&packet, &stream))
        return false;
    m_packet = packet;
    m_packetStream = stream;
    return true;
}

bool Demuxer::seekTo(qint64 microseconds)
{
    m_queue.clear();
    m_atEnd = false;
    m_failedReads = 0;
    const int ret = av_seek_frame(m_format.get(), -1, microseconds, AVSEEK_FLAG_BACKWARD);
    if (ret < 0) {
        qCDebug(lcDemuxer) << "seek to" << microseconds << "us failed:" << ffmpeg::errorText(ret);
        return false;
    }
    return true;
}

// Reads on from the current place until the first key frame of the video
// stream, keeping what it read for readFrame() but the video packets before
// that key frame, which nothing could decode. True when that key frame is at
// or before the target.
bool Demuxer::keyFrameNotAfter(qint64 microseconds)
{
    const double target = microseconds / 1e6;
    for (int i = 0; i < MaxPacketsPerCheck; ++i) {
        Packet packet;
        int stream = -1;
        if (!readPacket(&packet, &stream)) {
            if (m_atEnd)
                return false;
            continue;
        }
        if (stream == m_videoStream && !packet.hasKeyFrame)
            continue;
        m_queue.push_back({packet, stream});
        if (stream == m_videoStream)
            return packet.pts <= target;
    }
    return true;
}

/*
 * Seeking. With an index (MP4, MKV, WebM) FFmpeg's backward seek lands on a
 * key frame at or before the target. Without one (MPEG-TS) it searches by
 * timestamp and often lands on a packet near the target that is no key frame,
 * so the first key frame comes after the target and decoding from there
 * gives a later picture. We check where the first key frame lies and, while
 * it is late, seek again further back: 1, 2, 4... seconds before the target.
 * The packets read for the check are not lost; readFrame() hands them out,
 * so after a seek the first video packet is that key frame.
 */
bool Demuxer::seek(qint64 ms)
{
    if (!m_format)
        return false;
    const qint64 target = ms * 1000;
    const qint64 start = startTime() * 1000;
    if (!seekTo(target))
        return false;
    if (m_videoStream < 0)
        return true;
    for (qint64 back = 1000000; !keyFrameNotAfter(target); back *= 2) {
        const qint64 earlier = target - back;
        if (earlier <= start)
            return seekToStart();
        if (!seekTo(earlier))
            return false;
    }
    return true;
}

// A timestamp search for the first frame can land past it; the first byte cannot.
bool Demuxer::seekToStart()
{
    m_queue.clear();
    m_atEnd = false;
    m_failedReads = 0;
    if (!(m_format->iformat->flags & AVFMT_NO_BYTE_SEEK)
        && av_seek_frame(m_format.get(), -1, 0, AVSEEK_FLAG_BYTE) >= 0) {
        return true;
    }
    return seekTo(startTime() * 1000);
}

}
