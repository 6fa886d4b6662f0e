#include "smallpicture.h"

#include "media/videoframe.h"

#include <cmath>
#include <cstdint>
#include <type_traits>

namespace {

// Reduction factor that brings a width to at most SmallPicture::DetailWidth.
int detailFactor(int width)
{
    return qMax(1, (width + SmallPicture::DetailWidth - 1) / SmallPicture::DetailWidth);
}

}

SmallPicture::SmallPicture()
{
    m_luma.fill(0.0f);
    m_cb.fill(0.0f);
    m_cr.fill(0.0f);
}

/*
 * Block means by an integer factor, the blocks at the right and bottom edges
 * as wide as the picture leaves them. The rows of a block are first added
 * column by column (a plain loop over the row, which the compiler
 * vectorises: this pass over the plane is the bulk of the cost of a
 * picture), then each block's columns; integer samples are summed as
 * integers. The means are offset and scaled into the picture's units.
 */
template<typename Sample>
SmallPicture::Reduced SmallPicture::reduce(const uchar *data, int stride, int width, int height, int factor,
                                           float offset, float scale)
{
    using Sum = std::conditional_t<std::is_floating_point<Sample>::value, float, std::uint32_t>;
    Reduced out;
    out.width = (width + factor - 1) / factor;
    out.height = (height + factor - 1) / factor;
    out.values.resize(size_t(out.width) * size_t(out.height));
    std::vector<Sum> columns(static_cast<size_t>(width));
    for (int oy = 0; oy < out.height; ++oy) {
        std::fill(columns.begin(), columns.end(), Sum(0));
        const int y0 = oy * factor;
        const int y1 = qMin(height, y0 + factor);
        for (int y = y0; y < y1; ++y) {
            const auto *row = reinterpret_cast<const Sample *>(data + qptrdiff(y) * stride);
            Sum *sums = columns.data();
            for (int x = 0; x < width; ++x)
                sums[x] += Sum(row[x]);
        }
        float *values = out.values.data() + size_t(oy) * size_t(out.width);
        for (int ox = 0; ox < out.width; ++ox) {
            const int x0 = ox * factor;
            const int x1 = qMin(width, x0 + factor);
            Sum sum = 0;
            for (int x = x0; x < x1; ++x)
                sum += columns[size_t(x)];
            values[ox] = (float(sum) / float((x1 - x0) * (y1 - y0)) - offset) * scale;
        }
    }
    return out;
}

// Each cell the mean of the reduced pixels it covers; at least one pixel
// each, so that pictures smaller than the grid repeat their pixels.
void SmallPicture::toGrid(const Reduced &plane, std::array<float, Cells> *grid)
{
    for (int gy = 0; gy < GridHeight; ++gy) {
        const int y0 = qMin(plane.height - 1, gy * plane.height / GridHeight);
        const int y1 = qMax(y0 + 1, (gy + 1) * plane.height / GridHeight);
        for (int gx = 0; gx < GridWidth; ++gx) {
            const int x0 = qMin(plane.width - 1, gx * plane.width / GridWidth);
            const int x1 = qMax(x0 + 1, (gx + 1) * plane.width / GridWidth);
            float sum = 0.0f;
            for (int y = y0; y < y1; ++y) {
                const float *row = plane.values.data() + size_t(y) * size_t(plane.width);
                for (int x = x0; x < x1; ++x)
                    sum += row[x];
            }
            (*grid)[size_t(index(gx, gy))] = sum / float((y1 - y0) * (x1 - x0));
        }
    }
}

float SmallPicture::laplacian(const Reduced &luma)
{
    if (luma.width < 3 || luma.height < 3)
        return 0.0f;
    double total = 0.0;
    for (int y = 1; y < luma.height - 1; ++y) {
        const float *above = luma.values.data() + size_t(y - 1) * size_t(luma.width);
        const float *row = above + luma.width;
        const float *below = row + luma.width;
        float sum = 0.0f;
        for (int x = 1; x < luma.width - 1; ++x)
            sum += std::fabs(4.0f * row[x] - row[x - 1] - row[x + 1] - above[x] - below[x]);
        total += sum;
    }
    return float(total / (double(luma.width - 2) * double(luma.height - 2)));
}

SmallPicture SmallPicture::fromFrame(const media::VideoFrame &frame)
{
    media::VideoFrame::Planes planes;
    if (!frame.planes(&planes))
        return fromImage(frame.toImage(QImage::Format_ARGB32));

    SmallPicture picture;
    const float unit = float(1 << (planes.bitDepth - 8));
    const float lumaOffset = planes.fullRange ? 0.0f : 16.0f * unit;
    const float lumaScale = planes.fullRange ? 255.0f / float((1 << planes.bitDepth) - 1) : 255.0f / (219.0f * unit);
    const float chromaOffset = 128.0f * unit;
    const float chromaScale = planes.fullRange ? 255.0f / float((1 << planes.bitDepth) - 1) : 255.0f / (224.0f * unit);
    const auto reducePlane = [&](int i, int width, int height, int factor, float offset, float scale) {
        return planes.bitDepth > 8
            ? reduce<quint16>(planes.data[i], planes.stride[i], width, height, factor, offset, scale)
            : reduce<quint8>(planes.data[i], planes.stride[i], width, height, factor, offset, scale);
    };

    const int factor = detailFactor(planes.width);
    const Reduced luma = reducePlane(0, planes.width, planes.height, factor, lumaOffset, lumaScale);
    toGrid(luma, &picture.m_luma);
    picture.m_detail = laplacian(luma);
    if (planes.data[1] && planes.data[2]) {
        const int width = (planes.width + (1 << planes.chromaShiftX) - 1) >> planes.chromaShiftX;
        const int height = (planes.height + (1 << planes.chromaShiftY) - 1) >> planes.chromaShiftY;
        const int chromaFactor = qMax(1, factor >> planes.chromaShiftX);
        toGrid(reducePlane(1, width, height, chromaFactor, chromaOffset, chromaScale), &picture.m_cb);
        toGrid(reducePlane(2, width, height, chromaFactor, chromaOffset, chromaScale), &picture.m_cr);
    }
    return picture;
}

SmallPicture SmallPicture::fromImage(const QImage &source)
{
    SmallPicture picture;
    if (source.isNull())
        return picture;
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    std::vector<float> y(size_t(width) * size_t(height));
    std::vector<float> cb(y.size());
    std::vector<float> cr(y.size());
    for (int row = 0; row < height; ++row) {
        const QRgb *pixels = reinterpret_cast<const QRgb *>(image.constScanLine(row));
        for (int x = 0; x < width; ++x) {
            const float r = float(qRed(pixels[x]));
            const float g = float(qGreen(pixels[x]));
            const float b = float(qBlue(pixels[x]));
            const size_t i = size_t(row) * size_t(width) + size_t(x);
            y[i] = 0.299f * r + 0.587f * g + 0.114f * b;
            cb[i] = -0.168736f * r - 0.331264f * g + 0.5f * b;
            cr[i] = 0.5f * r - 0.418688f * g - 0.081312f * b;
        }
    }
    const int stride = width * int(sizeof(float));
    const int factor = detailFactor(width);
    const Reduced luma = reduce<float>(reinterpret_cast<const uchar *>(y.data()), stride, width, height, factor, 0.0f, 1.0f);
    toGrid(luma, &picture.m_luma);
    picture.m_detail = laplacian(luma);
    toGrid(reduce<float>(reinterpret_cast<const uchar *>(cb.data()), stride, width, height, factor, 0.0f, 1.0f),
           &picture.m_cb);
    toGrid(reduce<float>(reinterpret_cast<const uchar *>(cr.data()), stride, width, height, factor, 0.0f, 1.0f),
           &picture.m_cr);
    return picture;
}
