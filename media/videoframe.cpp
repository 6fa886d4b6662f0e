#include "videoframe.h"
#include "medialog.h"

#include "colourmapper.h"
#include "ffmpegptr.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <QTransform>

#include <cmath>
#include <memory>
#include <new>

namespace media {

namespace {

// Untagged video uses the matrix of its class: HD and larger BT.709, smaller BT.601.
int colourMatrix(const AVFrame *frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_FCC: return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
    default:
        // HDR and wide-gamut video is BT.2020 throughout in practice.
        if (ColourMapper::isNeeded(frame))
            return SWS_CS_BT2020;
        return (frame->width >= 1280 || frame->height > 576) ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

bool isFullRange(const AVFrame *frame)
{
    if (frame->color_range == AVCOL_RANGE_JPEG)
        return true;
    switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return false;
    }
}

// The yuvj formats are the plain ones with full range; swscale wants the
// plain format and the range set separately.
AVPixelFormat withoutRangeAlias(int format)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: return AV_PIX_FMT_YUV411P;
    default: return AVPixelFormat(format);
    }
}

// Size shown for a stored size and pixel aspect ratio: the picture grows in
// one direction, never shrinks, as players do.
QSize displaySize(int width, int height, int aspectNum, int aspectDen)
{
    if (aspectNum <= 0 || aspectDen <= 0 || aspectNum == aspectDen)
        return QSize(width, height);
    const double aspect = double(aspectNum) / aspectDen;
    if (aspect > 1.0)
        return QSize(int(std::lround(width * aspect)), height);
    return QSize(width, int(std::lround(height / aspect)));
}

}

VideoFrame::VideoFrame(const AVFrame *frame, double timestamp, qint64 timeMs, const Display &display)
    : m_timestamp(timestamp)
    , m_timeMs(timeMs)
    , m_display(display)
{
    AVFrame *copy = av_frame_clone(frame);
    if (copy) {
        m_frame.reset(copy, [](const AVFrame *f) {
            auto *owned = const_cast<AVFrame *>(f);
            av_frame_free(&owned);
        });
    }
}

bool VideoFrame::isValid() const
{
    return m_frame && m_frame->width > 0 && m_frame->height > 0 && m_frame->data[0];
}

QString VideoFrame::format() const
{
    if (!isValid())
        return QString();
    const char *name = av_get_pix_fmt_name(AVPixelFormat(m_frame->format));
    return name ? QString::fromLatin1(name) : QString::number(m_frame->format);
}

int VideoFrame::width() const
{
    return isValid() ? m_frame->width : 0;
}

int VideoFrame::height() const
{
    return isValid() ? m_frame->height : 0;
}

bool VideoFrame::planes(Planes *planes) const
{
    if (!isValid())
        return false;
    const AVFrame *frame = m_frame.get();
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (!descriptor || (descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_PAL
                                             | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_FLOAT)))
        return false;
    const bool grey = descriptor->nb_components <= 2;
    const int planeCount = grey ? 1 : 3;
    if (!(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) && !grey)
        return false;
    const int depth = descriptor->comp[0].depth;
    const int bytes = depth > 8 ? 2 : 1;
    // One sample per step in a plane of its own, right-aligned: what the readers expect.
    for (int i = 0; i < planeCount; ++i) {
        const AVComponentDescriptor &component = descriptor->comp[i];
        if (component.plane != i || component.step != bytes || component.shift != 0 || component.depth != depth
            || !frame->data[i])
            return false;
    }
    if (depth > 16 || (descriptor->flags & AV_PIX_FMT_FLAG_BE) != 0)
        return false;
    *planes = Planes();
    for (int i = 0; i < planeCount; ++i) {
        planes->data[i] = frame->data[i];
        planes->stride[i] = frame->linesize[i];
    }
    planes->width = frame->width;
    planes->height = frame->height;
    planes->chromaShiftX = descriptor->log2_chroma_w;
    planes->chromaShiftY = descriptor->log2_chroma_h;
    planes->bitDepth = depth;
    planes->fullRange = isFullRange(frame);
    return true;
}

QImage VideoFrame::toImage(QImage::Format format) const
{
    return converted(format, QSize());
}

QImage VideoFrame::toImage(QImage::Format format, int height) const
{
    if (!isValid() || height < 1)
        return QImage();
    const QSize full = displaySize(m_frame->width, m_frame->height, m_display.aspectNum, m_display.aspectDen);
    // The height asked for is that of the picture shown, after any quarter turn.
    const bool turned = m_display.rotation % 180 != 0;
    const QSize shown = turned ? full.transposed() : full;
    const QSize small(qMax(1, qRound(double(shown.width()) * height / shown.height())), height);
    return converted(format, turned ? small.transposed() : small);
}

QImage VideoFrame::converted(QImage::Format format, QSize size) const
{
    if (!isValid())
        return QImage();
    const AVFrame *frame = m_frame.get();
    if (size.isEmpty())
        size = displaySize(frame->width, frame->height, m_display.aspectNum, m_display.aspectDen);

    // HDR and wide-gamut pictures go through the colour mapper: 10-bit 4:2:0
    // ones shown at their stored size directly, others after libswscale has
    // made 16-bit planar R'G'B' of them (several times faster than packed).
    const bool mapped = ColourMapper::isNeeded(frame);
    if (mapped && ColourMapper::readsFrame(frame) && size == QSize(frame->width, frame->height)) {
        QImage image(size, QImage::Format_ARGB32);
        if (image.isNull())
            return QImage();
        ColourMapper::forFrame(frame)->map(frame, image.bits(), int(image.bytesPerLine()));
        return finished(image, format);
    }
    // BGRA in memory is Qt's ARGB32 on little-endian machines.
    ffmpeg::ScalePtr scaler(sws_getContext(frame->width, frame->height, withoutRangeAlias(frame->format),
                                           size.width(), size.height(), mapped ? AV_PIX_FMT_GBRP16 : AV_PIX_FMT_BGRA,
                                           SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                           nullptr, nullptr, nullptr));
    if (!scaler) {
        qCWarning(lcMedia) << "cannot convert pixel format" << this->format();
        return QImage();
    }
    int *inverseTable = nullptr;
    int *table = nullptr;
    int sourceRange = 0;
    int destinationRange = 0;
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    // Only YUV sources have a matrix to set; RGB ones report failure here.
    if (sws_getColorspaceDetails(scaler.get(), &inverseTable, &sourceRange, &table, &destinationRange,
                                 &brightness, &contrast, &saturation) >= 0) {
        sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(colourMatrix(frame)), isFullRange(frame),
                                 table, 1, brightness, contrast, saturation);
    }

    QImage image(size, QImage::Format_ARGB32);
    if (image.isNull())
        return QImage();
    if (mapped) {
        const qsizetype plane = qsizetype(size.width()) * size.height();
        // Left uninitialised: libswscale writes every sample.
        const std::unique_ptr<quint16[]> rgb(new (std::nothrow) quint16[size_t(plane) * 3]);
        if (!rgb)
            return QImage();
        uint8_t *destination[4] = { reinterpret_cast<uint8_t *>(rgb.get()),
                                    reinterpret_cast<uint8_t *>(rgb.get() + plane),
                                    reinterpret_cast<uint8_t *>(rgb.get() + 2 * plane), nullptr };
        const int destinationStride[4] = { size.width() * 2, size.width() * 2, size.width() * 2, 0 };
        sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, destination, destinationStride);
        ColourMapper::forFrame(frame)->map(destination, destinationStride, image.bits(),
                                           int(image.bytesPerLine()), size.width(), size.height());
    } else {
        uint8_t *destination[4] = { image.bits(), nullptr, nullptr, nullptr };
        const int destinationStride[4] = { int(image.bytesPerLine()), 0, 0, 0 };
        sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, destination, destinationStride);
    }

    return finished(image, format);
}

QImage VideoFrame::finished(QImage image, QImage::Format format) const
{
    if (m_display.rotation != 0)
        image = image.transformed(QTransform().rotate(m_display.rotation));
    if (format != QImage::Format_ARGB32)
        image = image.convertToFormat(format);
    return image;
}

}
