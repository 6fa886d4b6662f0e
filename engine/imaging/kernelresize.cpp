#include "imaging/kernelresize.h"

#include "imaging/cbicubickernel.h"
#include "imaging/clanczoskernel.h"

#include <QThread>
#include <QVector>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

// The filter reads the bytes of 32-bit pixels in memory order, where Qt's
// 0xAARRGGBB words keep blue in the first byte.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the block filter assumes little-endian pixel words");

namespace {

// Below this block size a reduction uses the bicubic table, from it on the
// Lanczos table.
constexpr int LanczosFromBlockSize = 30;
// Largest intermediate image: four times the source, or 16 megapixels
// (64 MB) for small sources.
constexpr double MaxIntermediateGrowth = 4.0;
constexpr double MaxIntermediatePixels = 16.0 * 1024 * 1024;

// Jobs with fewer multiply-adds than this run on the calling thread alone.
constexpr qint64 ParallelFromSamples = 1 << 16;

// 32-bit formats whose four bytes are four 8-bit channels.
bool hasByteChannels(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        return true;
    default:
        return false;
    }
}

bool hasColorTable(QImage::Format format)
{
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB
        || format == QImage::Format_Indexed8;
}

// Clamps an accumulated channel to [0, 255] and rounds it half up.
inline uchar toChannel(float value)
{
    return uchar(int(std::min(std::max(value, 0.0f), 255.0f) + 0.5f));
}

// Calls function(firstRow, endRow) over [0, rows) in slices spread over the
// global thread pool, or once on this thread for small jobs.
template <typename Function>
void forEachRowSlice(int rows, qint64 samplesPerRow, const Function &function)
{
    const int slices = qint64(rows) * samplesPerRow < ParallelFromSamples
        ? 1
        : qMin(rows, 4 * qMax(1, QThread::idealThreadCount()));
    if (slices <= 1) {
        function(0, rows);
        return;
    }
    std::vector<std::pair<int, int>> ranges;
    ranges.reserve(std::size_t(slices));
    for (int k = 0; k < slices; ++k)
        ranges.emplace_back(int(qint64(rows) * k / slices), int(qint64(rows) * (k + 1) / slices));
    QtConcurrent::blockingMap(ranges, [&function](std::pair<int, int> &range) {
        function(range.first, range.second);
    });
}

// Output rows [firstRow, endRow) of a 32-bit intermediate image with byte
// channels. weights[j * n + i] is the kernel's weight(i, j).
//
// The loops run block row j, then block column i, then along the output row:
// for one (j, i) every output pixel of the row takes one sample, so the
// compiler can work on several pixels' four channels at once, and the
// accumulators of different pixels do not wait on each other. For each
// channel of each pixel the products are still formed and added block row by
// block row, column by column within a row, so the sums round exactly as a
// pixel-by-pixel loop rounds them. Columns past the image's right edge are
// left out of the count of blocks for that i, rows past its bottom out of
// the count of block rows.
void filterRows32(const QImage &in, uchar *outBits, qsizetype outStride, int outWidth,
                  const std::vector<float> &weights, int n, int firstRow, int endRow)
{
    const int usedColumns = qMin(in.width(), outWidth * n);
    std::vector<float> sums(std::size_t(outWidth) * 4);
    for (int y = firstRow; y < endRow; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        const int blockRows = qMin(n, in.height() - y * n);
        for (int j = 0; j < blockRows; ++j) {
            const uchar *bytes = in.constScanLine(y * n + j);
            const float *w = weights.data() + std::size_t(j) * std::size_t(n);
            for (int i = 0; i < n && i < usedColumns; ++i) {
                const float wi = w[i];
                const uchar *p = bytes + std::size_t(i) * 4;
                // Blocks whose column i lies inside the image.
                const int blocks = (usedColumns - i + n - 1) / n;
                float *s = sums.data();
                for (int x = 0; x < blocks; ++x) {
                    const uchar *q = p + std::size_t(x) * std::size_t(n) * 4;
                    s[4 * x] += wi * float(q[0]);
                    s[4 * x + 1] += wi * float(q[1]);
                    s[4 * x + 2] += wi * float(q[2]);
                    s[4 * x + 3] += wi * float(q[3]);
                }
            }
        }
        uchar *out = outBits + qsizetype(y) * outStride;
        for (int t = 0; t < outWidth * 4; ++t)
            out[t] = toChannel(sums[std::size_t(t)]);
    }
}

// Output rows [firstRow, endRow) of an intermediate image of any other
// depth, read through QImage::pixel. The block is summed column by column.
void filterRowsOther(const QImage &in, QRgb *words, int outWidth,
                     const std::vector<float> &weights, int n, int firstRow, int endRow)
{
    for (int y = firstRow; y < endRow; ++y) {
        for (int x = 0; x < outWidth; ++x) {
            float r = 0.0f;
            float g = 0.0f;
            float b = 0.0f;
            float a = 0.0f;
            for (int i = 0; i < n; ++i) {
                const int column = x * n + i;
                if (column >= in.width())
                    continue;
                for (int j = 0; j < n; ++j) {
                    const int sourceRow = y * n + j;
                    if (sourceRow >= in.height())
                        continue;
                    const QRgb pixel = in.pixel(column, sourceRow);
                    const float w = weights[std::size_t(j) * std::size_t(n) + std::size_t(i)];
                    r += w * float(qRed(pixel));
                    g += w * float(qGreen(pixel));
                    b += w * float(qBlue(pixel));
                    a += w * float(qAlpha(pixel));
                }
            }
            words[qsizetype(y) * outWidth + x] =
                qRgba(toChannel(r), toChannel(g), toChannel(b), toChannel(a));
        }
    }
}

// Filters every outWidth x outHeight block of n x n pixels of intermediate
// with the kernel and returns the result in source's format.
QImage filterBlocks(const QImage &source, QImage intermediate, const QSize &size,
                    const CImageInterpolationKernelBase<float> &kernel)
{
    const int n = kernel.size();
    std::vector<float> weights(std::size_t(n) * std::size_t(n));
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i)
            weights[std::size_t(j) * std::size_t(n) + std::size_t(i)] = kernel.weight(i, j);
    }
    const qint64 samplesPerRow = qint64(size.width()) * n * n;

    QImage output;
    if (intermediate.depth() == 32) {
        // The words are filtered in the intermediate's own format (Qt's
        // smooth scaling hands back a premultiplied copy of a straight
        // ARGB source); 10-bit formats are brought to bytes first.
        if (!hasByteChannels(intermediate.format())) {
            intermediate = intermediate.convertToFormat(intermediate.hasAlphaChannel()
                                                            ? QImage::Format_ARGB32_Premultiplied
                                                            : QImage::Format_RGB32);
        }
        output = QImage(size, intermediate.format());
        if (output.isNull())
            return QImage();
        uchar *bits = output.bits();
        const qsizetype stride = output.bytesPerLine();
        forEachRowSlice(size.height(), samplesPerRow, [&](int firstRow, int endRow) {
            filterRows32(intermediate, bits, stride, size.width(), weights, n, firstRow, endRow);
        });
    } else {
        // A colour table cannot hold the filtered colours: such sources are
        // filtered into 32 bits and converted back below.
        const QImage::Format format = hasColorTable(source.format())
            ? (source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32)
            : source.format();
        output = QImage(size, format);
        if (output.isNull())
            return QImage();
        QVector<QRgb> words(size.width() * size.height());
        QRgb *data = words.data();
        forEachRowSlice(size.height(), samplesPerRow, [&](int firstRow, int endRow) {
            filterRowsOther(intermediate, data, size.width(), weights, n, firstRow, endRow);
        });
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x)
                output.setPixel(x, y, data[qsizetype(y) * size.width() + x]);
        }
    }
    return output.format() == source.format() ? output : output.convertToFormat(source.format());
}

}

QImage resizeImage(const QImage &image, const QSize &size, int mode, bool ignoreAspectRatio)
{
    const Qt::AspectRatioMode aspectMode = ignoreAspectRatio ? Qt::IgnoreAspectRatio : Qt::KeepAspectRatio;
    switch (mode) {
    case Fast:
        return image.scaled(size, aspectMode, Qt::FastTransformation);
    case Smooth:
        return image.scaled(size, aspectMode, Qt::SmoothTransformation);
    case Kernel:
        return kernelResize(image, size, ignoreAspectRatio);
    default:
        return QImage();
    }
}

/*
 * Kernel resize.
 *
 * Only a true reduction (smaller in both directions) is filtered here; a
 * resize to the same size returns the image, anything else is Qt's smooth
 * scaling. A reduction works in two stages:
 *
 * 1. The fitted size s is the requested size, or the source's size scaled
 *    into it when the shapes differ (in single precision) and the aspect
 *    ratio is kept.
 * 2. With O = W / s.width and P = ceil(O), the source is rescaled by Qt to an
 *    intermediate size e that covers s * P in both directions and keeps the
 *    source's shape: l is the smaller of W / (s.width * P) and
 *    H / (s.height * P) (the larger when both exceed 1) and
 *    e = (round(W / l), round(H / l)). When O is exactly 1 or e equals the
 *    source's size the source itself is the intermediate image.
 * 3. The block size is N = e.width / s.width. Output pixel (x, y) is the
 *    weighted sum over the N x N block at (x * N, y * N) of the intermediate
 *    image, with the bicubic table (a = 0.5) for N below 30 and the Lanczos
 *    table (order 3) from 30 on. Blocks do not overlap; samples past the
 *    intermediate's right or bottom edge are skipped without renormalising,
 *    so where the requested shape differs from the source's the edge pixels
 *    come out darker and more transparent, and rows whose blocks lie wholly
 *    outside stay 0.
 * 4. All arithmetic is single precision: each product is rounded, then added
 *    to its channel's accumulator (32-bit pixels block row by block row,
 *    other depths block column by block column). Each sum is clamped to
 *    [0, 255], 0.5 is added and the result truncated to a byte.
 *
 * Results are pinned to the bit by the test suite's reference
 * implementation: changing the order of any addition changes pixels.
 */
QImage kernelResize(const QImage &image, const QSize &size, bool ignoreAspectRatio)
{
    const QSize sourceSize = image.size();
    if (size == sourceSize)
        return image;
    if (image.isNull() || size.isEmpty())
        return QImage();

    const Qt::AspectRatioMode aspectMode = ignoreAspectRatio ? Qt::IgnoreAspectRatio : Qt::KeepAspectRatio;
    const int sourceWidth = sourceSize.width();
    const int sourceHeight = sourceSize.height();
    if (size.width() >= sourceWidth || size.height() >= sourceHeight)
        return image.scaled(size, aspectMode, Qt::SmoothTransformation);

    QSize fitted = size;
    if (float(size.width()) / float(size.height()) != float(sourceWidth) / float(sourceHeight))
        fitted = sourceSize.scaled(size, aspectMode);
    if (fitted.isEmpty())
        return QImage();

    const float ratio = sourceWidth > fitted.width() ? float(sourceWidth) / float(fitted.width())
                                                     : float(fitted.width()) / float(sourceWidth);
    const int factor = int(float(std::ceil(double(ratio))));

    QSize intermediateSize = sourceSize;
    if (ratio != 1.0f) {
        const float horizontal = float(sourceWidth) / float(qint64(fitted.width()) * factor);
        const float vertical = float(sourceHeight) / float(qint64(fitted.height()) * factor);
        float scale;
        if (horizontal > 1.0f && vertical > 1.0f)
            scale = horizontal >= vertical ? horizontal : vertical;
        else
            scale = horizontal <= vertical ? horizontal : vertical;
        const double width = sourceWidth / double(scale);
        const double height = sourceHeight / double(scale);
        // Only a shape far from the target's (the aspect ratio ignored, or a
        // picture a few pixels high) needs an intermediate image larger than
        // the source. It could take gigabytes: Qt's smooth scaling does such
        // a resize in one step instead.
        const double limit = std::max(MaxIntermediateGrowth * double(sourceWidth) * double(sourceHeight),
                                      MaxIntermediatePixels);
        if (width * height > limit)
            return image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        intermediateSize = QSize(qRound(width), qRound(height));
    }

    const QImage intermediate = intermediateSize == sourceSize
        ? image
        : image.scaled(intermediateSize, Qt::IgnoreAspectRatio,
                       image.depth() == 32 ? Qt::SmoothTransformation : Qt::FastTransformation);
    if (intermediate.isNull())
        return QImage();

    const int blockSize = intermediate.width() / fitted.width();
    if (blockSize < LanczosFromBlockSize)
        return filterBlocks(image, intermediate, fitted, CBicubicKernel(blockSize, 0.5f));
    return filterBlocks(image, intermediate, fitted, CLanczosKernel(blockSize, 3));
}
