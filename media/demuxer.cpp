#include "demuxer.h"
#include "medialog.h"

#include "codeccontext.h"
#include "ffmpegptr.h"

#include <QFile>
#include <QFileInfo>

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
        qCDebug(lcMedia) << "cannot open" << m_fileName << ffmpeg::errorText(ret);
        return false;
    }
    m_format.reset(format);
    ret = avformat_find_stream_info(format, nullptr);
    if (ret < 0) {
        qCDebug(lcMedia) << "no stream information in" << m_fileName << ffmpeg::errorText(ret);
        m_format.reset();
        return false;
    }
    const QList<int> video = videoStreams();
    if (!video.isEmpty())
        setStreamIndex(VideoStream, 0);
    if (format->duration == AV_NOPTS_VALUE && m_videoStream >= 0)
        scanStream();
    return true;
}

/*
 * A file that states no duration (a raw elementary stream: .h264, .hevc,
 * .m2v) is read through once, without decoding: its packets give the
 * duration. Where they carry no times at all, they are counted, one frame
 * duration each, and the key frames' places in the file are kept, so that
 * seeks go by bytes to the key frame at or before a time and the count
 * goes on from there.
 */
void Demuxer::scanStream()
{
    const AVStream *stream = m_format->streams[m_videoStream];
    const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    m_frameTicks = rate.num > 0 && rate.den > 0 ? av_rescale_q(1, av_inv_q(rate), stream->time_base) : 0;
    ffmpeg::PacketPtr raw(av_packet_alloc());
    if (!raw)
        return;
    bool timed = false;
    int64_t count = 0;
    qint64 end = 0;
    int failed = 0;
    for (;;) {
        const int ret = av_read_frame(m_format.get(), raw.get());
        if (ret < 0) {
            if (ret == AVERROR_EOF || avio_feof(m_format->pb) || ++failed >= MaxFailedReads)
                break;
            continue;
        }
        failed = 0;
        if (raw->stream_index == m_videoStream) {
            const int64_t time = raw->pts != AV_NOPTS_VALUE ? raw->pts : raw->dts;
            if (time != AV_NOPTS_VALUE) {
                timed = true;
                end = qMax<qint64>(end, av_rescale_q(time + raw->duration, stream->time_base, AVRational { 1, 1000 }));
            }
            if (raw->flags & AV_PKT_FLAG_KEY)
                m_countedKeys.push_back({ raw->pos, count });
            ++count;
        }
        av_packet_unref(raw.get());
    }
    m_counting = !timed && m_frameTicks > 0 && !m_countedKeys.empty();
    if (m_counting)
        end = countedTime(count);
    else
        m_countedKeys.clear();
    m_scannedDuration = end;
    av_seek_frame(m_format.get(), -1, 0, AVSEEK_FLAG_BYTE);
    m_nextCount = 0;
}

// Time in ms of the count-th packet of a stream timed by counting.
qint64 Demuxer::countedTime(int64_t count) const
{
    return av_rescale_q(count * m_frameTicks, m_format->streams[m_videoStream]->time_base, AVRational { 1, 1000 });
}

void Demuxer::unload()
{
    m_queue.clear();
    m_codec.reset();
    m_format.reset();
    m_videoStream = -1;
    m_atEnd = false;
    m_failedReads = 0;
    m_dataEnd = 0;
    m_scannedDuration = 0;
    m_counting = false;
    m_frameTicks = 0;
    m_nextCount = 0;
    m_countedKeys.clear();
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
    if (!m_format)
        return 0;
    if (m_format->duration == AV_NOPTS_VALUE)
        return m_scannedDuration;
    return m_format->duration < 0 ? 0 : m_format->duration / 1000;
}

qint64 Demuxer::videoEndTime() const
{
    const AVStream *stream = m_videoStream >= 0 ? m_format->streams[m_videoStream] : nullptr;
    if (!stream || stream->duration == AV_NOPTS_VALUE || stream->duration <= 0)
        return startTime() + duration();
    const AVRational millisecond { 1, 1000 };
    const qint64 start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    return av_rescale_q(start + stream->duration, stream->time_base, millisecond);
}

qint64 Demuxer::startTime() const
{
    if (!m_format || m_format->start_time == AV_NOPTS_VALUE)
        return 0;
    return m_format->start_time / 1000;
}

double Demuxer::frameRate() const
{
    if (!m_format || m_videoStream < 0)
        return 0.0;
    AVStream *stream = m_format->streams[m_videoStream];
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = av_guess_frame_rate(m_format.get(), stream, nullptr);
    return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
}

const CodecContext *Demuxer::videoCodecContext(int stream) const
{
    if (!m_codec || (stream >= 0 && stream != m_videoStream))
        return nullptr;
    return m_codec.get();
}

// Time in microseconds of the current video stream's first packet, as the
// file's probe found it; the file's start when the stream does not say.
qint64 Demuxer::videoStartTime() const
{
    const AVStream *stream = m_videoStream >= 0 ? m_format->streams[m_videoStream] : nullptr;
    if (!stream || stream->start_time == AV_NOPTS_VALUE)
        return startTime() * 1000;
    return av_rescale_q(stream->start_time, stream->time_base, AVRational { 1, 1000000 });
}

double Demuxer::constantFrameRate() const
{
    const AVStream *stream = m_videoStream >= 0 ? m_format->streams[m_videoStream] : nullptr;
    if (!stream)
        return 0.0;
    // The lowest rate that times every frame equals the average one only
    // when the frames are evenly spaced.
    const AVRational rate = stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0 || av_cmp_q(rate, stream->avg_frame_rate) != 0)
        return 0.0;
    return av_q2d(rate);
}

QString Demuxer::videoCodecName() const
{
    if (m_videoStream < 0)
        return QString();
    return QString::fromLatin1(avcodec_get_name(m_format->streams[m_videoStream]->codecpar->codec_id));
}

QString Demuxer::audioCodecName() const
{
    if (!m_format)
        return QString();
    const int audio = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio < 0)
        return QString();
    return QString::fromLatin1(avcodec_get_name(m_format->streams[audio]->codecpar->codec_id));
}

qint64 Demuxer::bitRate() const
{
    return m_format && m_format->bit_rate > 0 ? m_format->bit_rate : 0;
}

QString Demuxer::tag(const char *key) const
{
    if (!m_format)
        return QString();
    const AVDictionaryEntry *entry = av_dict_get(m_format->metadata, key, nullptr, 0);
    if (!entry && m_videoStream >= 0)
        entry = av_dict_get(m_format->streams[m_videoStream]->metadata, key, nullptr, 0);
    return entry ? QString::fromUtf8(entry->value) : QString();
}

qint64 Demuxer::keyFrameTime(qint64 ms) const
{
    if (!m_format || m_videoStream < 0)
        return -1;
    if (m_counting) {
        qint64 key = -1;
        for (const CountedKey &entry : m_countedKeys) {
            if (countedTime(entry.count) > ms)
                break;
            key = countedTime(entry.count);
        }
        return key;
    }
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
            qCDebug(lcMedia) << "read failed:" << ffmpeg::errorText(ret);
        }
        return false;
    }
    m_failedReads = 0;
    const AVStream *s = m_format->streams[raw->stream_index];
    const bool counted = m_counting && raw->stream_index == m_videoStream;
    if (counted) {
        raw->dts = m_nextCount++ * m_frameTicks;
        raw->duration = m_frameTicks;
    }
    *packet = Packet(raw.get(), s->time_base.num, s->time_base.den);
    packet->timedByCount = counted;
    *stream = raw->stream_index;
    m_dataEnd = qMax(m_dataEnd, qint64((packet->pts + packet->duration) * 1000.0));
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
    if (m_counting) {
        // By bytes to the key frame at or before the time; the count goes on from it.
        const CountedKey *key = &m_countedKeys.front();
        for (const CountedKey &entry : m_countedKeys) {
            if (countedTime(entry.count) * 1000 > microseconds)
                break;
            key = &entry;
        }
        m_nextCount = key->count;
        return av_seek_frame(m_format.get(), -1, key->pos, AVSEEK_FLAG_BYTE) >= 0;
    }
    const int ret = av_seek_frame(m_format.get(), -1, microseconds, AVSEEK_FLAG_BACKWARD);
    if (ret < 0) {
        qCDebug(lcMedia) << "seek to" << microseconds << "us failed:" << ffmpeg::errorText(ret);
        return false;
    }
    return true;
}

// Reads on from the current place to the last key frame of the video stream
// at or before the target, and stops at the first video packet after the
// target. What it read from that key frame on is kept for readFrame(); what
// came before is not needed, since decoding starts there. True when there is
// such a key frame; false when the first key frame comes after the target
// (that one is kept then, with what follows it).
bool Demuxer::lastKeyFrameNotAfter(qint64 microseconds)
{
    const double target = microseconds / 1e6;
    // Reading on from a key frame already kept (after a seek to the start).
    bool found = !m_queue.empty();
    for (int i = 0; i < MaxPacketsPerCheck; ++i) {
        Packet packet;
        int stream = -1;
        if (!readPacket(&packet, &stream)) {
            if (m_atEnd)
                return found;
            continue;
        }
        const bool video = stream == m_videoStream;
        if (video && packet.hasKeyFrame && packet.pts <= target) {
            m_queue.clear();
            found = true;
        } else if (video && !found && !packet.hasKeyFrame) {
            continue;
        }
        m_queue.push_back({packet, stream});
        if (video && packet.pts > target)
            return found;
    }
    return true;
}

/*
 * Seeking. With an index (MP4, MKV, WebM) FFmpeg's backward seek lands on the
 * last key frame at or before the target. Without one (MPEG-TS) it searches
 * by timestamp and lands on a packet near the target: often no key frame, so
 * that the first key frame comes after the target and decoding from there
 * gives a later picture; or a group of pictures or more early. We read on to
 * the last key frame at or before the target and, while there is none, seek
 * again further back: 1, 2, 4... seconds before the target. The packets read
 * from that key frame on are not lost; readFrame() hands them out, so after a
 * seek the first video packet is that key frame, wherever FFmpeg landed.
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
    for (qint64 back = 1000000; !lastKeyFrameNotAfter(target); back *= 2) {
        const qint64 earlier = target - back;
        // From the first key frame, read on to the last one at or before the
        // target, as a seek that lands well would.
        if (earlier <= start) {
            if (!seekToStart())
                return false;
            lastKeyFrameNotAfter(target);
            return true;
        }
        if (!seekTo(earlier))
            return false;
    }
    return true;
}

/*
 * To the first key frame. A seek by the index (MP4, Matroska) lands there
 * exactly; a timestamp search without one (MPEG-TS) can land past it, where a
 * seek to the first byte cannot. Matroska's reader, on the other hand, loses
 * its way after a seek by bytes and finds its first key frame seconds late.
 * So the timestamp seek comes first and is kept when the video's first key
 * frame follows it; the first byte is the fallback.
 */
bool Demuxer::seekToStart()
{
    if (seekTo(startTime() * 1000) && lastKeyFrameNotAfter(videoStartTime()))
        return true;
    m_queue.clear();
    m_atEnd = false;
    m_failedReads = 0;
    m_nextCount = 0;
    if (!(m_format->iformat->flags & AVFMT_NO_BYTE_SEEK)
        && av_seek_frame(m_format.get(), -1, 0, AVSEEK_FLAG_BYTE) >= 0) {
        return true;
    }
    return seekTo(startTime() * 1000);
}

}
