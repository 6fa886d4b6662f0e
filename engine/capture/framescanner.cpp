#include "framescanner.h"
#include "capturelog.h"

#include "media/codeccontext.h"
#include "media/packet.h"

#include <cmath>

FrameScanner::FrameScanner(const QString &source)
    : m_source(source)
{
}

FrameScanner::~FrameScanner() = default;

bool FrameScanner::open()
{
    if (m_decoder)
        return true;
    m_decodedTo.reset();
    m_demuxer.setMedia(m_source);
    if (!m_demuxer.load() || m_demuxer.videoStreams().isEmpty()) {
        m_demuxer.unload();
        return fail(QStringLiteral("Cannot open file"));
    }
    m_demuxer.setStreamIndex(media::Demuxer::VideoStream, 0);
    std::unique_ptr<media::VideoDecoder> decoder = media::VideoDecoder::create(QStringLiteral("FFmpeg"));
    const media::CodecContext *codec = m_demuxer.videoCodecContext(-1);
    if (!decoder || !codec)
        return fail(QStringLiteral("Cannot open file"));
    decoder->setCodecContext(codec);
    if (!decoder->open())
        return fail(QStringLiteral("Cannot open file"));
    m_decoder = std::move(decoder);
    m_optionsSet.clear();
    return true;
}

qint64 FrameScanner::duration() const
{
    return m_demuxer.duration();
}

double FrameScanner::frameRate() const
{
    return m_demuxer.frameRate();
}

qint64 FrameScanner::firstFrameTime() const
{
    return m_demuxer.videoStart() - m_demuxer.startTime();
}

qint64 FrameScanner::timeOf(const media::VideoFrame &frame) const
{
    return frame.timeMs() - m_demuxer.startTime();
}

qint64 FrameScanner::frameNumber(qint64 ms) const
{
    const double rate = frameRate();
    if (rate <= 0.0)
        return -1;
    return qMax<qint64>(0, std::llround(double(ms - firstFrameTime()) * rate / 1000.0));
}

void FrameScanner::abort()
{
    m_abortRequested = true;
}

bool FrameScanner::fail(const QString &reason)
{
    m_error = reason;
    qCDebug(lcCapture) << "FrameScanner:" << reason;
    return false;
}

void FrameScanner::setOptions(const QVariantHash &options)
{
    if (options == m_optionsSet)
        return;
    m_decoder->setOptions(options);
    m_optionsSet = options;
}

// Decoding on needs the frames from the target on still to come, decoded as
// this scan would decode them, and the key frame before the target passed.
// Without an index (MPEG-TS) nothing tells where that key frame is.
bool FrameScanner::canDecodeOnTo(qint64 target, Mode mode) const
{
    if (!m_decodedTo || m_decodedTo->mode != mode || target <= m_decodedTo->frame)
        return false;
    const qint64 key = m_demuxer.keyFrameTime(target);
    return key >= 0 && key <= m_decodedTo->frame;
}

// One frame out of the decoder: visited when it lies in the stretch. Sets
// done, and keeps the frame for a later scan, once the stretch is over.
void FrameScanner::take(const media::VideoFrame &frame, qint64 fromMs, qint64 toMs, const Visit &visit, bool *done)
{
    if (!frame.isValid())
        return;
    const qint64 ms = timeOf(frame);
    const qint64 container = ms + m_demuxer.startTime();
    if (ms > toMs) {
        *done = true;
        m_decodedTo->pending = frame;
        return;
    }
    m_decodedTo->frame = container;
    if (ms >= fromMs && !visit(frame, ms))
        *done = true;
}

/*
 * A scan seeks to the key frame at or before its start (or decodes on, see
 * canDecodeOnTo), feeds the packets of the video stream, and at the end of the
 * file the pictures the decoder still holds. Frames come out of the decoder in
 * time order; those before the start are passed over, and the first after the
 * end ends the scan and is kept for the next one. Packets before the start,
 * and all of them in ReferenceFrames mode, skip the frames no other frame is
 * predicted from, and their loop filter.
 */
bool FrameScanner::scan(qint64 fromMs, qint64 toMs, Mode mode, const Visit &visit)
{
    m_error.clear();
    if (!open())
        return false;
    const qint64 target = fromMs + m_demuxer.startTime();
    bool done = false;
    if (canDecodeOnTo(target, mode)) {
        const media::VideoFrame pending = m_decodedTo->pending;
        m_decodedTo->pending = media::VideoFrame();
        take(pending, fromMs, toMs, visit, &done);
    } else {
        m_decodedTo = DecodedTo { -1, -1, mode, media::VideoFrame() };
        m_demuxer.seek(target);
        m_decoder->flush();
    }
    const QVariantHash fast = media::VideoDecoder::skippingOptions(true);
    const QVariantHash full = media::VideoDecoder::skippingOptions(false);
    while (!done) {
        if (m_abortRequested.exchange(false)) {
            m_decodedTo.reset();
            return fail(QStringLiteral("aborted"));
        }
        if (m_demuxer.atEnd()) {
            if (!m_decoder->decode(media::Packet())) {
                // Drained: the next scan starts afresh.
                m_decodedTo.reset();
                return true;
            }
        } else {
            if (!m_demuxer.readFrame() || m_demuxer.stream() != m_demuxer.videoStream())
                continue;
            const media::Packet packet = m_demuxer.packet();
            if (!packet.isValid())
                continue;
            const qint64 time = packet.ptsMs;
            if (packet.hasKeyFrame)
                m_decodedTo->keyFrame = time;
            setOptions(mode == AllFrames && time >= target ? full : fast);
            if (!m_decoder->decode(packet)) {
                m_decodedTo.reset();
                return fail(QStringLiteral("decode failed at %1 ms").arg(time - m_demuxer.startTime()));
            }
        }
        take(m_decoder->frame(), fromMs, toMs, visit, &done);
    }
    return true;
}
