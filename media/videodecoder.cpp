#include "videodecoder.h"
#include "medialog.h"

#include "codeccontext.h"
#include "ffmpegptr.h"
#include "packet.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <atomic>

namespace media {

namespace {

std::atomic<qint64> decodedPictures { 0 };

}

qint64 VideoDecoder::picturesDecoded()
{
    return decodedPictures.load(std::memory_order_relaxed);
}

void VideoDecoder::CodecFreer::operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
void VideoDecoder::ParametersFreer::operator()(AVCodecParameters *p) const { avcodec_parameters_free(&p); }
void VideoDecoder::FrameFreer::operator()(AVFrame *f) const { av_frame_free(&f); }

std::unique_ptr<VideoDecoder> VideoDecoder::create(const QString &name)
{
    if (name != QLatin1String("FFmpeg"))
        return nullptr;
    return std::unique_ptr<VideoDecoder>(new VideoDecoder);
}

VideoDecoder::VideoDecoder()
    : m_decoded(av_frame_alloc())
{
}

VideoDecoder::~VideoDecoder() = default;

void VideoDecoder::setCodecContext(const CodecContext *context)
{
    close();
    m_parameters.reset();
    if (!context || !context->parameters())
        return;
    m_parameters.reset(avcodec_parameters_alloc());
    if (m_parameters && avcodec_parameters_copy(m_parameters.get(), context->parameters()) < 0)
        m_parameters.reset();
    m_timeBaseNum = context->timeBaseNum();
    m_timeBaseDen = context->timeBaseDen();
    m_display.aspectNum = context->aspectNum();
    m_display.aspectDen = context->aspectDen();
    m_display.rotation = context->rotation();
}

bool VideoDecoder::open()
{
    close();
    if (!m_parameters || !m_decoded)
        return false;
    const AVCodec *codec = avcodec_find_decoder(m_parameters->codec_id);
    if (!codec) {
        qCDebug(lcMedia) << "no decoder for codec" << avcodec_get_name(m_parameters->codec_id);
        return false;
    }
    m_codec.reset(avcodec_alloc_context3(codec));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), m_parameters.get()) < 0) {
        m_codec.reset();
        return false;
    }
    m_codec->pkt_timebase = AVRational{ m_timeBaseNum, m_timeBaseDen };
    // Two frame threads: decoding towards a target runs through whole groups
    // of pictures, and the second core shortens that by about a quarter. The
    // price, one frame more of delay, is paid back by draining at the end.
    m_codec->thread_count = 2;
    const int ret = avcodec_open2(m_codec.get(), codec, nullptr);
    if (ret < 0) {
        qCDebug(lcMedia) << "cannot open decoder:" << ffmpeg::errorText(ret);
        m_codec.reset();
        return false;
    }
    applyOptions();
    return true;
}

void VideoDecoder::close()
{
    m_codec.reset();
    m_draining = false;
    m_ready.clear();
    m_frame = VideoFrame();
    m_counting = false;
    m_counted = 0;
}

void VideoDecoder::flush()
{
    if (m_codec)
        avcodec_flush_buffers(m_codec.get());
    m_draining = false;
    m_ready.clear();
    m_frame = VideoFrame();
    m_counting = false;
    m_counted = 0;
}

// Takes every picture the decoder has ready into the queue.
bool VideoDecoder::receiveFrames()
{
    for (;;) {
        const int ret = avcodec_receive_frame(m_codec.get(), m_decoded.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return true;
        if (ret < 0) {
            qCDebug(lcMedia) << "receiving a frame failed:" << ffmpeg::errorText(ret);
            return false;
        }
        int64_t time = m_decoded->best_effort_timestamp != AV_NOPTS_VALUE
            ? m_decoded->best_effort_timestamp : m_decoded->pts;
        if (m_counting)
            time = m_countedFrom + m_counted++ * m_countedDuration;
        const double seconds = time == AV_NOPTS_VALUE ? 0.0 : double(time) * m_timeBaseNum / m_timeBaseDen;
        const qint64 ms = time == AV_NOPTS_VALUE
            ? 0 : av_rescale_rnd(time, int64_t(m_timeBaseNum) * 1000, m_timeBaseDen, AV_ROUND_ZERO);
        m_ready.emplace_back(m_decoded.get(), seconds, ms, m_display);
        decodedPictures.fetch_add(1, std::memory_order_relaxed);
        av_frame_unref(m_decoded.get());
    }
}

bool VideoDecoder::decode(const Packet &packet)
{
    m_frame = VideoFrame();
    if (!m_codec)
        return false;
    if (packet.isEmpty())
        return drain();
    if (packet.timedByCount && !m_counting) {
        m_counting = true;
        m_countedFrom = packet.avPacket()->dts;
        m_countedDuration = packet.avPacket()->duration;
    }
    int ret = avcodec_send_packet(m_codec.get(), packet.avPacket());
    if (ret == AVERROR(EAGAIN)) {
        // The decoder holds pictures we have not taken yet: take them, then retry.
        if (!receiveFrames())
            return false;
        ret = avcodec_send_packet(m_codec.get(), packet.avPacket());
    }
    if (ret < 0) {
        qCDebug(lcMedia) << "decoding failed:" << ffmpeg::errorText(ret);
        return false;
    }
    if (!receiveFrames())
        return false;
    if (!m_ready.empty()) {
        m_frame = m_ready.front();
        m_ready.pop_front();
    }
    return true;
}

bool VideoDecoder::drain()
{
    if (!m_draining) {
        m_draining = true;
        const int ret = avcodec_send_packet(m_codec.get(), nullptr);
        if (ret < 0 && ret != AVERROR_EOF)
            return false;
        if (!receiveFrames())
            return false;
    }
    if (m_ready.empty())
        return false;
    m_frame = m_ready.front();
    m_ready.pop_front();
    return true;
}

QVariantHash VideoDecoder::skippingOptions(bool nonReferenceOnly)
{
    // FFmpeg's discard levels: AVDISCARD_NONREF and AVDISCARD_DEFAULT.
    const int level = nonReferenceOnly ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    QVariantHash codec;
    codec.insert(QStringLiteral("skip_frame"), level);
    codec.insert(QStringLiteral("skip_loop_filter"), level);
    QVariantHash options;
    options.insert(QStringLiteral("avcodec"), codec);
    return options;
}

void VideoDecoder::setOptions(const QVariantHash &options)
{
    m_options = options;
    applyOptions();
}

void VideoDecoder::applyOptions()
{
    if (!m_codec)
        return;
    const QVariantHash codecOptions = m_options.value(QStringLiteral("avcodec")).toHash();
    for (auto it = codecOptions.cbegin(); it != codecOptions.cend(); ++it) {
        const QByteArray key = it.key().toUtf8();
        bool isNumber = false;
        const qlonglong number = it.value().toLongLong(&isNumber);
        const int ret = isNumber
            ? av_opt_set_int(m_codec.get(), key.constData(), number, AV_OPT_SEARCH_CHILDREN)
            : av_opt_set(m_codec.get(), key.constData(), it.value().toString().toUtf8().constData(),
                         AV_OPT_SEARCH_CHILDREN);
        if (ret < 0)
            qCDebug(lcMedia) << "option" << it.key() << "not set:" << ffmpeg::errorText(ret);
    }
}

}
