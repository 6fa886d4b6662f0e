#include "referenceresize.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ReferenceResize {

namespace {

using Table = std::vector<std::vector<float>>;

float bicubic(float x, float a)
{
    const float t = std::fabs(x);
    if (t <= 1.0f)
        return (a + 2.0f) * t * t * t - (a + 3.0f) * t * t + 1.0f;
    if (t < 2.0f)
        return a * t * t * t - 5.0f * a * t * t + 8.0f * a * t - 4.0f * a;
    return 0.0f;
}

float lanczos(float x, int a)
{
    const float t = std::fabs(x);
    if (t < 0.0001f)
        return 1.0f;
    if (t < float(a)) {
        const double pi = 3.141592653589793;
        const double xd = x;
        return float(a * std::sin(pi * xd) * std::sin(pi * xd / a) / (pi * pi * xd * xd));
    }
    return 0.0f;
}

// table[i][j] = k(x_i) * k(x_j) / sum, x_i = (i / n - 0.5) * 2 * radius.
template <typename Kernel>
Table makeTable(int n, float radius, Kernel k)
{
    Table table(std::size_t(n), std::vector<float>(std::size_t(n), 0.0f));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const float xi = (float(i) / float(n) - 0.5f) * 2.0f * radius;
            const float xj = (float(j) / float(n) - 0.5f) * 2.0f * radius;
            table[std::size_t(i)][std::size_t(j)] = k(xi) * k(xj);
        }
    }
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            sum += table[std::size_t(i)][std::size_t(j)];
    }
    if (sum != 0.0f) {
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j)
                table[std::size_t(i)][std::size_t(j)] /= sum;
        }
    }
    return table;
}

uint toChannel(float value)
{
    if (value < 0.0f)
        value = 0.0f;
    if (value > 255.0f)
        value = 255.0f;
    return uint(int(value + 0.5f));
}

bool hasByteChannels(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
        || format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGBX8888
        || format == QImage::Format_RGBA8888 || format == QImage::Format_RGBA8888_Premultiplied;
}

}

QImage kernelResize(const QImage &image, const QSize &size, bool ignoreAspectRatio)
{
    const int W = image.width();
    const int H = image.height();
    if (size == image.size())
        return image;
    if (image.isNull() || size.isEmpty())
        return QImage();
    const Qt::AspectRatioMode aspect = ignoreAspectRatio ? Qt::IgnoreAspectRatio : Qt::KeepAspectRatio;
    if (size.width() >= W || size.height() >= H)
        return image.scaled(size, aspect, Qt::SmoothTransformation);

    QSize s = size;
    if (float(size.width()) / float(size.height()) != float(W) / float(H))
        s = image.size().scaled(size, aspect);
    if (s.isEmpty())
        return QImage();

    const float O = W > s.width() ? float(W) / float(s.width()) : float(s.width()) / float(W);
    const int P = int(float(std::ceil(double(O))));
    QSize e(W, H);
    if (O != 1.0f) {
        const float hR = float(W) / float(qint64(s.width()) * P);
        const float vR = float(H) / float(qint64(s.height()) * P);
        float l;
        if (hR > 1.0f && vR > 1.0f)
            l = hR >= vR ? hR : vR;
        else
            l = hR <= vR ? hR : vR;
        if (W / double(l) * (H / double(l)) > std::max(4.0 * double(W) * double(H), 16.0 * 1024 * 1024))
            return image.scaled(s, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        e = QSize(qRound(W / double(l)), qRound(H / double(l)));
    }

    QImage M = e == image.size()
        ? image
        : image.scaled(e, Qt::IgnoreAspectRatio,
                       image.depth() == 32 ? Qt::SmoothTransformation : Qt::FastTransformation);
    if (M.isNull())
        return QImage();

    const int N = M.width() / s.width();
    const Table table = N < 30 ? makeTable(N, 2.0f, [](float x) { return bicubic(x, 0.5f); })
                               : makeTable(N, 3.0f, [](float x) { return lanczos(x, 3); });

    QImage out;
    if (M.depth() == 32) {
        if (!hasByteChannels(M.format())) {
            M = M.convertToFormat(M.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                      : QImage::Format_RGB32);
        }
        out = QImage(s, M.format());
    } else if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB
               || image.format() == QImage::Format_Indexed8) {
        out = QImage(s, image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    } else {
        out = QImage(s, image.format());
    }
    if (out.isNull())
        return QImage();

    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) {
            float R = 0.0f;
            float G = 0.0f;
            float B = 0.0f;
            float A = 0.0f;
            if (M.depth() == 32) {
                for (int j = 0; j < N; ++j) {
                    const int r = y * N + j;
                    if (r >= M.height())
                        continue;
                    const QRgb *line = reinterpret_cast<const QRgb *>(M.constScanLine(r));
                    for (int i = 0; i < N; ++i) {
                        const int c = x * N + i;
                        if (c >= M.width())
                            continue;
                        const QRgb p = line[c];
                        const float w = table[std::size_t(i)][std::size_t(j)];
                        R += w * float((p >> 16) & 0xff);
                        G += w * float((p >> 8) & 0xff);
                        B += w * float(p & 0xff);
                        A += w * float((p >> 24) & 0xff);
                    }
                }
            } else {
                for (int i = 0; i < N; ++i) {
                    const int c = x * N + i;
                    if (c >= M.width())
                        continue;
                    for (int j = 0; j < N; ++j) {
                        const int r = y * N + j;
                        if (r >= M.height())
                            continue;
                        const QRgb p = M.pixel(c, r);
                        const float w = table[std::size_t(i)][std::size_t(j)];
                        R += w * float(qRed(p));
                        G += w * float(qGreen(p));
                        B += w * float(qBlue(p));
                        A += w * float(qAlpha(p));
                    }
                }
            }
            const QRgb word = (toChannel(A) << 24) | (toChannel(R) << 16) | (toChannel(G) << 8) | toChannel(B);
            if (M.depth() == 32)
                reinterpret_cast<QRgb *>(out.scanLine(y))[x] = word;
            else
                out.setPixel(x, y, word);
        }
    }
    return out.format() == image.format() ? out : out.convertToFormat(image.format());
}

}
