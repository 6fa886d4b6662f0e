#include "framegrabber.h"
#include "capturelog.h"

#include "media/codeccontext.h"
#include "media/packet.h"

namespace {

// Where a complete file's data ends differs from the end its header gives by
// an audio frame or so; a file cut short misses more than this.
constexpr qint64 CutShortMargin = 1000;

}

FrameGrabber::FrameGrabber(QObject *parent)
    : QObject(parent)
    , m_decoderNames{ QStringLiteral("FFmpeg") }
    , m_fastOptions(media::VideoDecoder::skippingOptions(true))
    , m_fullOptions(media::VideoDecoder::skippingOptions(false))
{
    // Receivers on another thread get frameExtracted queued, also through
    // connections made by signature, which need the type registered by name.
    qRegisterMetaType<media::VideoFrame>("media::VideoFrame");
}

FrameGrabber::~FrameGrabber()
{
    m_frame = media::VideoFrame();
    m_demuxer.unload();
    m_decoder.reset();
}

void FrameGrabber::setSource(const QString &path)
{
    if (path == m_source)
        return;
    m_source = path;
    m_hasVideo = true;
    emit sourceChanged();
    m_frame = media::VideoFrame();
    unloadAll();
}

void FrameGrabber::setPrecision(int ms)
{
    if (ms == m_precision)
        return;
    m_automaticPrecision = ms < 0;
    if (ms >= 0)
        m_precision = ms;
    emit precisionChanged();
}

void FrameGrabber::setPosition(qint64 ms)
{
    if (!m_hasVideo)
        return;
    // A move smaller than the tolerance would give the same frame.
    if (qAbs(ms - m_position) < m_precision)
        return;
    m_position = ms;
    emit positionChanged();
}

qint64 FrameGrabber::duration()
{
    load();
    return m_demuxer.duration();
}

void FrameGrabber::abort()
{
    m_abortRequested = true;
}

void FrameGrabber::extract()
{
    extractAt(m_position);
}

void FrameGrabber::setKeyFramesOnly(bool on)
{
    m_keyFramesOnly = on;
}

qint64 FrameGrabber::nearestKeyFrameTime(qint64 pos)
{
    if (!load())
        return -1;
    // The demuxer moves: an exact extraction after this cannot decode on.
    m_decodedTo.reset();
    QString reason;
    bool abortMark = false;
    const media::Packet packet = nearestKeyFramePacket(pos + m_demuxer.startTime(), &reason, &abortMark);
    return packet.isValid() ? packet.ptsMs - m_demuxer.startTime() : -1;
}

void FrameGrabber::unloadAll()
{
    m_keyFrame = media::VideoFrame();
    m_decodedTo.reset();
    m_extractionCount = 0;
    m_decoder.reset();
    m_demuxer.unload();
}

bool FrameGrabber::load()
{
    const bool demuxerLoaded = m_demuxer.fileName() == m_source && m_demuxer.isLoaded();
    if (demuxerLoaded && m_decoder)
        return true;
    m_decodedTo.reset();
    m_extractionCount = 0;
    m_decoder.reset();
    if (!demuxerLoaded || m_demuxer.atEnd()) {
        m_demuxer.unload();
        m_demuxer.setMedia(m_source);
        if (!m_demuxer.load())
            return false;
    }
    m_hasVideo = !m_demuxer.videoStreams().isEmpty();
    if (!m_hasVideo) {
        m_demuxer.unload();
        return false;
    }
    if (m_decoderNames.isEmpty())
        return false;
    if (m_automaticPrecision)
        m_precision = m_demuxer.duration() > 9999 ? 500 : 250;
    m_demuxer.setStreamIndex(media::Demuxer::VideoStream, 0);
    for (const QString &name : qAsConst(m_decoderNames)) {
        std::unique_ptr<media::VideoDecoder> decoder = media::VideoDecoder::create(name);
        if (!decoder)
            continue;
        const media::CodecContext *codec = m_demuxer.videoCodecContext(-1);
        if (!codec)
            continue;
        decoder->setCodecContext(codec);
        if (!decoder->open())
            continue;
        QVariantHash display;
        display.insert(QStringLiteral("display"), QStringLiteral("X11"));
        QVariantHash options;
        options.insert(QStringLiteral("vaapi"), display);
        m_decoder = std::move(decoder);
        setDecoderOptions(options);
        break;
    }
    return m_decoder != nullptr;
}

void FrameGrabber::setDecoderOptions(const QVariantHash &options)
{
    m_decoder->setOptions(options);
    m_optionsSet = options;
}

void FrameGrabber::extractAt(qint64 pos)
{
    const int precisionBefore = m_precision;
    if (!load()) {
        emit error(QStringLiteral("Cannot open file"));
        return;
    }
    if (m_precision != precisionBefore)
        emit precisionChanged();

    QString reason;
    bool abortMark = false;
    const bool decoded = m_keyFramesOnly ? decodeNearestKeyFrame(pos, &reason, &abortMark)
                                         : decode(pos, m_precision, &reason, &abortMark);
    if (decoded) {
        emit frameExtracted(m_frame);
    } else if (abortMark) {
        emit aborted(QString::asprintf("Abort at position %lld: %s", pos, reason.toLatin1().constData()));
    } else {
        emit error(QString::asprintf("Cannot extract frame at position %lld: %s", pos,
                                     reason.toLatin1().constData()));
    }
}

/*
 * Seek and decode, in this order:
 *
 * 1. The target is the position plus the file's start time: an MPEG-TS
 *    recording's clock may start hours in, and positions count from there.
 * 2. Where decoding starts. When the last extraction stopped on a hit and the
 *    target lies ahead within the same group of pictures, decoding goes on
 *    from there: the seek would return to a key frame the decoder has already
 *    passed and decode the same packets again. Otherwise the demuxer seeks to
 *    the key frame at or before the target, which is decoded first and is the
 *    answer when it lies within the tolerance.
 * 3. Decoding forward until the frame wanted: the last key frame passed at or
 *    before the target when it lies within the tolerance, so that the answer
 *    is the same however decoding got there, else the first frame at or after
 *    the target (past the tolerance only where no frame lies within it). A key
 *    frame after the target is the answer when nothing comes before it: the
 *    video starts later. From the second extraction of a loaded video on, packets
 *    before the target skip non-reference frames and the loop filter: they
 *    only feed the reference chain, and the target decodes in full. At the
 *    end of the file the decoder gives up the pictures it still holds.
 * 4. At the end of the file the last picture is the answer, the file is let
 *    go of and the next extraction opens it afresh; unless the file was cut
 *    short of what its header promises, where that picture is not the one
 *    asked for.
 */
bool FrameGrabber::decode(qint64 pos, int range, QString *reason, bool *abortMark)
{
    reason->clear();
    *abortMark = false;
    m_frame = media::VideoFrame();

    Search search;
    search.target = pos + m_demuxer.startTime();
    search.range = range;
    search.wanted = search.target;

    Verdict verdict = Verdict::ReadOn;
    if (canDecodeOnTo(search)) {
        qCDebug(lcCapture) << "decoding on from" << m_decodedTo->frame << "to" << search.target;
        search.lastKeyFrame = m_decodedTo->keyFrame;
    } else {
        verdict = seekToKeyFrame(search, reason, abortMark);
    }
    m_decodedTo.reset();
    if (verdict == Verdict::ReadOn)
        verdict = decodeForward(search, reason, abortMark);

    switch (verdict) {
    case Verdict::Failed:
        return false;
    case Verdict::KeyFrameHit:
        return true;
    case Verdict::Hit:
        ++m_extractionCount;
        if (m_demuxer.atEnd())
            return finishAtEnd(search, reason);
        m_decodedTo = DecodedTo { m_frame.timeMs(), search.lastKeyFrame };
        return true;
    case Verdict::ReadOn:
    case Verdict::EndOfStream:
        ++m_extractionCount;
        return finishAtEnd(search, reason);
    }
    return false;
}

bool FrameGrabber::canDecodeOnTo(const Search &search) const
{
    if (!m_decodedTo || search.target <= m_decodedTo->frame)
        return false;
    // The key frame passed would be the answer, and it is behind the decoder.
    if (search.target - m_decodedTo->keyFrame <= search.range)
        return false;
    // Beyond the next key frame a seek is shorter. Without an index nothing
    // tells where that is: seek then too.
    const qint64 key = m_demuxer.keyFrameTime(search.target);
    return key >= 0 && key <= m_decodedTo->frame;
}

// Seeks to the key frame at or before the target and decodes it: KeyFrameHit
// when it is the answer, ReadOn when decoding has to go on from it.
FrameGrabber::Verdict FrameGrabber::seekToKeyFrame(Search &search, QString *reason, bool *abortMark)
{
    m_demuxer.seek(search.target);
    media::Packet packet;
    bool notKeyWarned = false;
    while (!m_demuxer.atEnd()) {
        if (abortedAt("abort seek before read", reason, abortMark))
            return Verdict::Failed;
        if (!m_demuxer.readFrame() || m_demuxer.stream() != m_demuxer.videoStream())
            continue;
        packet = m_demuxer.packet();
        if (packet.hasKeyFrame)
            break;
        if (!notKeyWarned) {
            qCWarning(lcCapture) << "Not seek to key frame!!!";
            notKeyWarned = true;
        }
    }
    if (!packet.isValid()) {
        const qint64 pos = search.target - m_demuxer.startTime();
        qCWarning(lcCapture, "FrameGrabber failed to get a packet at %lld", pos);
        *reason = QString::asprintf("failed to get a packet at %lld", pos);
        return Verdict::Failed;
    }
    const qint64 keyTime = packet.ptsMs;
    // Nothing comes before the first key frame after the target (the video
    // starts later than the file, or its stream begins mid-way): it is the
    // nearest frame there is.
    if (keyTime > search.target && keyTime - search.target > search.range) {
        search.range = int(qMin<qint64>(keyTime - search.target, INT_MAX));
        qCDebug(lcCapture) << "enlarge range ==>>>> " << search.range;
    }
    passKeyFrame(search, keyTime);

    m_decoder->flush();
    setDecoderOptions(m_fullOptions);
    if (abortedAt("abort seek before decoding key frames", reason, abortMark))
        return Verdict::Failed;
    // A decoder that reorders pictures holds the key frame back until later
    // packets arrive. When the key frame is the answer, draining the decoder
    // gives it at once; the key packet is fed again afterwards should
    // decoding have to go on.
    if (m_decoder->decode(packet))
        m_frame = m_decoder->frame();
    const bool keyInRange = qAbs(keyTime - search.target) <= search.range;
    bool drained = false;
    if (!m_frame.isValid() && keyInRange) {
        if (abortedAt("abort seek before decoding key frames", reason, abortMark))
            return Verdict::Failed;
        drained = true;
        if (m_decoder->decode(media::Packet()))
            m_frame = m_decoder->frame();
    }
    if (m_frame.isValid() && qAbs(m_frame.timeMs() - search.target) <= search.range) {
        qCDebug(lcCapture).nospace() << "FrameGrabber: key frame found @" << m_frame.timestamp() << " diff="
                                     << qAbs(m_frame.timeMs() - search.target)
                                     << ". format: " << m_frame.format();
        return Verdict::KeyFrameHit;
    }
    if (drained) {
        m_decoder->flush();
        m_decoder->decode(packet);
    }
    return Verdict::ReadOn;
}

// Feeds video packets, and at the end of the file the pictures the decoder
// still holds, until the frame wanted comes out: Hit, EndOfStream or Failed.
FrameGrabber::Verdict FrameGrabber::decodeForward(Search &search, QString *reason, bool *abortMark)
{
    for (;;) {
        if (abortedAt("abort seek after key frame before read", reason, abortMark))
            return Verdict::Failed;
        if (m_demuxer.atEnd()) {
            if (!m_decoder->decode(media::Packet()))
                return Verdict::EndOfStream;
        } else {
            if (!m_demuxer.readFrame() || m_demuxer.stream() != m_demuxer.videoStream())
                continue;
            const media::Packet packet = m_demuxer.packet();
            const qint64 time = packet.ptsMs;
            if (!packet.isValid()) {
                qCWarning(lcCapture) << "invalid packet. no decode";
                continue;
            }
            if (packet.hasKeyFrame)
                passKeyFrame(search, time);
            const QVariantHash &options =
                (m_extractionCount != 0 && time < search.target) ? m_fastOptions : m_fullOptions;
            if (options != m_optionsSet)
                setDecoderOptions(options);
            if (!m_decoder->decode(packet)) {
                qCWarning(lcCapture) << "!!!!!!!!!decode failed!!!!";
                m_frame = media::VideoFrame();
                *reason = QStringLiteral("decode failed");
                return Verdict::Failed;
            }
        }
        if (takeFrame(m_decoder->frame(), search) == Verdict::Hit)
            return Verdict::Hit;
    }
}

// A key frame at or before the target within the tolerance is the answer, as
// it is after a seek, also when decoding on passes it.
void FrameGrabber::passKeyFrame(Search &search, qint64 time) const
{
    search.lastKeyFrame = time;
    if (time <= search.target && search.target - time <= search.range)
        search.wanted = time;
}

// The first frame at or after the frame wanted is the answer. Within the
// tolerance as a rule; past it only where no frame lies within it (a video
// with gaps, or positions closer than a frame), and then the next frame
// there is is still the one shown from that position on.
FrameGrabber::Verdict FrameGrabber::takeFrame(const media::VideoFrame &frame, const Search &search)
{
    if (!frame.isValid())
        return Verdict::ReadOn;
    m_frame = frame;
    const qint64 time = frame.timeMs();
    if (time < search.wanted)
        return Verdict::ReadOn;
    const qint64 diff = time - search.target;
    if (diff <= search.range)
        qCDebug(lcCapture, "got frame at %fs, diff=%lld", frame.timestamp(), diff);
    else
        qCDebug(lcCapture, "no frame within %d ms; the next is at %fs, diff=%lld", search.range, frame.timestamp(), diff);
    return Verdict::Hit;
}

/*
 * The end of the file: the last picture is the answer to a target past the
 * end of the video. When the data of every stream stops well before the end
 * the header gives (a file cut short), a target in between has no picture:
 * the last one is not the frame asked for. A video stream that simply ends
 * before the others (audio that outlasts it) is not cut short.
 */
bool FrameGrabber::finishAtEnd(const Search &search, QString *reason)
{
    const qint64 start = m_demuxer.startTime();
    // The video's own end: a file's duration may or may not count a late
    // start of its video in (MP4's does).
    const qint64 fileEnd = m_demuxer.videoEndTime();
    const qint64 frameTime = m_frame.isValid() ? m_frame.timeMs() : search.target;
    const bool cutShort = search.target - frameTime > search.range && search.target <= fileEnd
        && fileEnd - m_demuxer.dataEndTime() > CutShortMargin;
    unloadAll();
    if (cutShort) {
        *reason = QString::asprintf("data ends at %lld", frameTime - start);
        m_frame = media::VideoFrame();
        return false;
    }
    // A stream that ends before any picture decodes has nothing to give.
    if (!m_frame.isValid()) {
        *reason = QStringLiteral("no frame decoded");
        return false;
    }
    return true;
}

/*
 * Key-frame mode: the key frame nearest to the target, decoded alone. The
 * decoder is drained for it (a decoder that reorders pictures would hold it
 * back until later packets came) and flushed afterwards, so that no picture
 * after it is ever decoded; nothing is left in the decoder for decoding on,
 * and an exact extraction after it seeks afresh.
 */
bool FrameGrabber::decodeNearestKeyFrame(qint64 pos, QString *reason, bool *abortMark)
{
    reason->clear();
    *abortMark = false;
    m_frame = media::VideoFrame();
    m_decodedTo.reset();
    const media::Packet packet = nearestKeyFramePacket(pos + m_demuxer.startTime(), reason, abortMark);
    if (!packet.isValid()) {
        if (!*abortMark) {
            qCWarning(lcCapture, "FrameGrabber failed to get a packet at %lld", pos);
            *reason = QString::asprintf("failed to get a packet at %lld", pos);
        }
        return false;
    }
    if (m_keyFrame.isValid() && m_keyFrameTime == packet.ptsMs) {
        m_frame = m_keyFrame;
        return true;
    }
    if (abortedAt("abort seek before decoding key frames", reason, abortMark))
        return false;
    m_keyFrame = media::VideoFrame();
    m_decoder->flush();
    setDecoderOptions(m_fullOptions);
    const bool decoded = m_decoder->decode(packet);
    if (decoded) {
        m_frame = m_decoder->frame();
        if (!m_frame.isValid() && m_decoder->decode(media::Packet()))
            m_frame = m_decoder->frame();
    }
    m_decoder->flush();
    if (!m_frame.isValid()) {
        qCWarning(lcCapture) << "no picture from the key frame at" << packet.pts;
        *reason = decoded ? QStringLiteral("no frame decoded") : QStringLiteral("decode failed");
        return false;
    }
    qCDebug(lcCapture) << "key frame at" << m_frame.timestamp() << "for" << pos;
    m_keyFrame = m_frame;
    m_keyFrameTime = packet.ptsMs;
    return true;
}

/*
 * The packet of the key frame nearest to the target, found without decoding.
 * The seek lands on the last key frame at or before the target (the first
 * one, where the video starts later); from there the packets are read on,
 * only while a key frame to come could still be nearer. Packets come in
 * decoding order, and no picture is shown before it is decoded: once a
 * packet's decoding time lies as far after the target as the key frame found
 * lies before it, every key frame to come is at least as far. An invalid
 * packet when there is none, or when the search was aborted.
 */
media::Packet FrameGrabber::nearestKeyFramePacket(qint64 target, QString *reason, bool *abortMark)
{
    m_demuxer.seek(target);
    media::Packet nearest;
    while (!m_demuxer.atEnd()) {
        if (abortedAt("abort seek before read", reason, abortMark))
            return media::Packet();
        if (!m_demuxer.readFrame() || m_demuxer.stream() != m_demuxer.videoStream())
            continue;
        const media::Packet packet = m_demuxer.packet();
        const bool key = packet.hasKeyFrame && packet.isValid();
        if (!nearest.isValid()) {
            if (key)
                nearest = packet;
            if (key && packet.ptsMs >= target)
                break;
            continue;
        }
        const qint64 before = target - nearest.ptsMs;
        if (key) {
            if (qAbs(packet.ptsMs - target) < before)
                nearest = packet;
            if (packet.ptsMs >= target)
                break;
        } else if (qint64(packet.dts * 1000.0) - target >= before) {
            break;
        }
    }
    return nearest;
}

// True when an abort was asked for, which it answers; the step where it was
// noticed becomes the reason.
bool FrameGrabber::abortedAt(const char *step, QString *reason, bool *abortMark)
{
    if (!m_abortRequested.exchange(false))
        return false;
    *reason = QString::fromLatin1(step);
    *abortMark = true;
    qCDebug(lcCapture) << "FrameGrabber" << *reason;
    return true;
}
