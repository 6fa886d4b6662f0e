#include "framegrabber.h"

#include "media/codeccontext.h"
#include "media/packet.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCapture, "tindra.capture")

namespace {

// FFmpeg's discard levels: skip non-reference frames, and the default.
constexpr int DiscardNonReference = 8;
constexpr int DiscardDefault = 0;

QVariantHash codecOptions(int level)
{
    QVariantHash codec;
    codec.insert(QStringLiteral("skip_frame"), level);
    codec.insert(QStringLiteral("skip_loop_filter"), level);
    QVariantHash options;
    options.insert(QStringLiteral("avcodec"), codec);
    return options;
}

qint64 toMs(double seconds)
{
    return qint64(seconds * 1000.0);
}

}

FrameGrabber::FrameGrabber(QObject *parent)
    : QObject(parent)
    , m_decoderNames{ QStringLiteral("FFmpeg") }
    , m_fastOptions(codecOptions(DiscardNonReference))
    , m_fullOptions(codecOptions(DiscardDefault))
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
    extractInternal(m_position);
}

void FrameGrabber::unloadAll()
{
    m_decoderRunning = false;
    m_extractionCount = 0;
    m_decoder.reset();
    m_demuxer.unload();
}

bool FrameGrabber::load()
{
    const bool demuxerLoaded = m_demuxer.fileName() == m_source && m_demuxer.isLoaded();
    if (demuxerLoaded && m_decoder)
        return true;
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

void FrameGrabber::extractInternal(qint64 pos)
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
    if (decode(pos, m_precision, &reason, &abortMark)) {
        emit frameExtracted(m_frame);
    } else if (abortMark) {
        emit aborted(QString::asprintf("Abort at position %lld: %s", pos, reason.toLatin1().constData()));
    } else {
        emit error(QString::asprintf("Cannot extract frame at position %lld: %s", pos,
                                     reason.toLatin1().constData()));
    }
}

/*
 * Seek and decode. After the seek the demuxer stands before a key frame at or
 * before the target; that frame is decoded first and is the answer when it
 * lies within the tolerance. Otherwise packets are decoded forward until a
 * frame lies within the tolerance. From the second extraction of a loaded
 * video on, packets before the target skip non-reference frames and the loop
 * filter: they only feed the reference chain, and the target decodes in full.
 *
 * When the previous extraction left the decoder inside the group of pictures
 * that holds the new target, decoding simply goes on from there: the seek
 * would return to a key frame the decoder has already passed and decode the
 * same packets again, to the same picture.
 */
bool FrameGrabber::decode(qint64 pos, int range, QString *reason, bool *abortMark)
{
    m_abortRequested = false;
    reason->clear();
    *abortMark = false;
    m_frame = media::VideoFrame();

    if (pos < m_demuxer.startTime())
        pos += m_demuxer.startTime();
    const int videoStream = m_demuxer.videoStream();
    const bool decodeOn = canDecodeOnTo(pos, range);
    m_decoderRunning = false;
    double lastPacketTime = m_lastPacketTime;
    if (decodeOn) {
        qCDebug(lcCapture) << "decoding on from" << m_lastFrameTime << "to" << pos;
    } else {
        const Verdict key = decodeKeyFrame(pos, range, videoStream, &lastPacketTime, reason, abortMark);
        if (key != Verdict::ReadOn)
            return key == Verdict::Hit;
    }

    // Decode forward.
    Verdict verdict = Verdict::ReadOn;
    while (verdict == Verdict::ReadOn && !m_demuxer.atEnd()) {
        if (abortedAt("abort seek after key frame before read", reason, abortMark))
            return false;
        if (!m_demuxer.readFrame() || m_demuxer.stream() != videoStream)
            continue;
        const media::Packet next = m_demuxer.packet();
        lastPacketTime = next.pts;
        if (!next.isValid()) {
            qCWarning(lcCapture) << "invalid packet. no decode";
            continue;
        }
        const QVariantHash &options =
            (m_extractionCount != 0 && toMs(next.pts) < pos) ? m_fastOptions : m_fullOptions;
        if (options != m_optionsSet)
            setDecoderOptions(options);
        if (!m_decoder->decode(next)) {
            qCWarning(lcCapture) << "!!!!!!!!!decode failed!!!!";
            m_frame = media::VideoFrame();
            *reason = QStringLiteral("decode failed");
            return false;
        }
        verdict = takeFrame(m_decoder->frame(), pos, range, lastPacketTime, reason);
        if (verdict == Verdict::Failed)
            return false;
    }
    // At the end of the file the decoder still holds the last pictures.
    while (verdict == Verdict::ReadOn && m_demuxer.atEnd() && m_decoder->decode(media::Packet())) {
        verdict = takeFrame(m_decoder->frame(), pos, range, lastPacketTime, reason);
        if (verdict == Verdict::Failed)
            return false;
    }

    ++m_extractionCount;
    if (m_demuxer.atEnd()) {
        // Past the end the last picture is the answer; but when the data stops
        // well before the end its header promises (a file cut short), that
        // picture is not the one asked for.
        const qint64 frameTime = m_frame.isValid() ? toMs(m_frame.timestamp()) : pos;
        const bool cutShort = pos - frameTime > range && pos <= m_demuxer.videoEndTime();
        unloadAll();
        if (cutShort) {
            *reason = QString::asprintf("data ends at %lld", frameTime);
            m_frame = media::VideoFrame();
            return false;
        }
    } else if (verdict == Verdict::Hit) {
        m_decoderRunning = true;
        m_lastPacketTime = lastPacketTime;
        m_lastFrameTime = toMs(m_frame.timestamp());
    }
    // A stream that ends before any picture decodes has nothing to give.
    if (!m_frame.isValid()) {
        *reason = QStringLiteral("no frame decoded");
        return false;
    }
    return true;
}

// Seeks to the key frame at or before pos and decodes it: Hit when it is the
// answer, ReadOn when decoding has to go on from it. May widen the tolerance.
FrameGrabber::Verdict FrameGrabber::decodeKeyFrame(qint64 pos, int &range, int videoStream,
                                                   double *lastPacketTime, QString *reason, bool *abortMark)
{
    m_demuxer.seek(pos);

    // Key-frame search.
    media::Packet packet;
    qint64 firstTime = 0;
    bool firstTaken = false;
    bool outOfRangeLogged = false;
    bool notKeyWarned = false;
    while (!m_demuxer.atEnd()) {
        if (abortedAt("abort seek before read", reason, abortMark))
            return Verdict::Failed;
        if (!m_demuxer.readFrame() || m_demuxer.stream() != videoStream)
            continue;
        packet = m_demuxer.packet();
        const qint64 time = toMs(packet.pts);
        if (!firstTaken) {
            firstTime = time;
            firstTaken = true;
        }
        if (time - pos > range && !outOfRangeLogged) {
            qCDebug(lcCapture) << "read packet out of range";
            outOfRangeLogged = true;
        }
        if (packet.hasKeyFrame)
            break;
        if (!notKeyWarned) {
            qCWarning(lcCapture) << "Not seek to key frame!!!";
            notKeyWarned = true;
        }
    }

    const qint64 keyTime = toMs(packet.pts);
    if (firstTaken && keyTime > firstTime) {
        range = int(qMax<qint64>(range, keyTime - pos));
        qCDebug(lcCapture) << "enlarge range ==>>>> " << range;
    }

    if (!packet.isValid()) {
        qCWarning(lcCapture, "FrameGrabber failed to get a packet at %lld", pos);
        *reason = QString::asprintf("failed to get a packet at %lld", pos);
        return Verdict::Failed;
    }

    m_decoder->flush();
    setDecoderOptions(m_fullOptions);

    // A decoder that reorders pictures holds the key frame back until later
    // packets arrive. When the key frame is close enough to be the answer, the
    // second try drains the decoder to get it at once; the key packet is fed
    // again afterwards should decoding have to go on.
    const bool keyInRange = qAbs(keyTime - pos) <= range;
    bool drained = false;
    for (int attempt = 0; attempt < 2 && !m_frame.isValid(); ++attempt) {
        if (abortedAt("abort seek before decoding key frames", reason, abortMark))
            return Verdict::Failed;
        if (attempt == 0) {
            if (m_decoder->decode(packet))
                m_frame = m_decoder->frame();
        } else if (keyInRange) {
            drained = true;
            if (m_decoder->decode(media::Packet()))
                m_frame = m_decoder->frame();
        }
    }

    if (m_frame.isValid()) {
        const qint64 diff = qAbs(toMs(m_frame.timestamp()) - pos);
        if (diff <= range) {
            qCDebug(lcCapture).nospace() << "FrameGrabber: key frame found @" << m_frame.timestamp()
                                         << " diff=" << diff << ". format: " << m_frame.format();
            return Verdict::Hit;
        }
    }
    if (drained) {
        m_decoder->flush();
        m_decoder->decode(packet);
    }
    *lastPacketTime = packet.pts;
    return Verdict::ReadOn;
}

// True when an abort was asked for; the step where it was noticed becomes the reason.
bool FrameGrabber::abortedAt(const char *step, QString *reason, bool *abortMark) const
{
    if (!m_abortRequested)
        return false;
    *reason = QString::fromLatin1(step);
    *abortMark = true;
    qCDebug(lcCapture) << "FrameGrabber" << *reason;
    return true;
}

bool FrameGrabber::canDecodeOnTo(qint64 pos, int range) const
{
    if (!m_decoderRunning || pos <= m_lastFrameTime)
        return false;
    // Without an index nothing tells whether a key frame lies in between.
    const qint64 key = m_demuxer.keyFrameTime(pos);
    // Close to its key frame the target is answered by the key frame itself.
    return key >= 0 && key <= m_lastFrameTime && pos - key > range;
}

FrameGrabber::Verdict FrameGrabber::takeFrame(const media::VideoFrame &frame, qint64 pos, int range,
                                              double lastPacketTime, QString *reason)
{
    if (!frame.isValid())
        return Verdict::ReadOn;
    m_frame = frame;
    const qint64 time = toMs(frame.timestamp());
    if (time < pos)
        return Verdict::ReadOn;
    const qint64 diff = time - pos;
    if (diff <= range) {
        qCDebug(lcCapture, "got frame at %fs, diff=%lld", frame.timestamp(), diff);
        return Verdict::Hit;
    }
    // Pictures come out later than the packets go in; one past the tolerance
    // while still behind the packets means the target was skipped.
    if (frame.timestamp() < lastPacketTime) {
        *reason = QString::asprintf("out pts out of range. diff=%lld, range=%d", diff, range);
        qCWarning(lcCapture) << *reason;
        m_frame = media::VideoFrame();
        return Verdict::Failed;
    }
    return Verdict::ReadOn;
}
