#include "colourmapper.h"

extern "C" {
#include <libavutil/csp.h>
#include <libavutil/frame.h>
#include <libavutil/mastering_display_metadata.h>
}

#include <QMutex>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cmath>

namespace media {

namespace {

// Light of SDR white in cd/m² (BT.2408): HDR pictures are shown with this as
// the display's white, so a reference-white scene looks as it does in SDR.
constexpr double referenceWhite = 203.0;
// Nominal peak of an HLG display, and the peak assumed for PQ video that
// states none (the most common mastering peak).
constexpr double defaultPeak = 1000.0;
constexpr double hlgSystemGamma = 1.2;
// Colours may leave BT.709 by this share of their brightest channel (coding
// noise around a saturated colour does) and are clipped; further out they are
// pulled towards grey, which lifts the other channels visibly in dark areas.
constexpr float gamutTolerance = 0.05f;

constexpr int decodeBits = 14;
constexpr int toneSize = 1024;
constexpr int encodeSize = 4096;

using Matrix = std::array<double, 9>;

// SMPTE ST 2084: signal to cd/m², and back.
double pqToLight(double signal)
{
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double p = std::pow(std::clamp(signal, 0.0, 1.0), 1.0 / m2);
    return 10000.0 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1.0 / m1);
}

double lightToPq(double light)
{
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double y = std::pow(std::clamp(light / 10000.0, 0.0, 1.0), m1);
    return std::pow((c1 + c2 * y) / (1.0 + c3 * y), m2);
}

// BT.2100 HLG: signal to scene light (0..1).
double hlgToScene(double signal)
{
    constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
    signal = std::clamp(signal, 0.0, 1.0);
    return signal <= 0.5 ? signal * signal / 3.0 : (std::exp((signal - c) / a) + b) / 12.0;
}

Matrix multiply(const Matrix &a, const Matrix &b)
{
    Matrix m {};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m[r * 3 + c] = a[r * 3] * b[c] + a[r * 3 + 1] * b[3 + c] + a[r * 3 + 2] * b[6 + c];
    return m;
}

Matrix inverse(const Matrix &m)
{
    const double a = m[4] * m[8] - m[5] * m[7];
    const double b = m[5] * m[6] - m[3] * m[8];
    const double c = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * a + m[1] * b + m[2] * c;
    return { a / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
             b / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
             c / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det };
}

// Linear RGB to CIE XYZ for a set of primaries and white point.
Matrix rgbToXyz(const AVColorPrimariesDesc &desc)
{
    const auto column = [](const AVCIExy &xy) {
        const double x = av_q2d(xy.x), y = av_q2d(xy.y);
        return std::array<double, 3> { x / y, 1.0, (1.0 - x - y) / y };
    };
    const auto r = column(desc.prim.r), g = column(desc.prim.g), b = column(desc.prim.b);
    const auto w = column(desc.wp);
    const Matrix primaries { r[0], g[0], b[0], r[1], g[1], b[1], r[2], g[2], b[2] };
    const Matrix inv = inverse(primaries);
    Matrix m {};
    for (int c = 0; c < 3; ++c) {
        const double scale = inv[c * 3] * w[0] + inv[c * 3 + 1] * w[1] + inv[c * 3 + 2] * w[2];
        for (int row = 0; row < 3; ++row)
            m[row * 3 + c] = primaries[row * 3 + c] * scale;
    }
    return m;
}

bool isHdrCurve(int transfer)
{
    return transfer == AVCOL_TRC_SMPTE2084 || transfer == AVCOL_TRC_ARIB_STD_B67;
}

bool isWideGamut(int primaries)
{
    return primaries == AVCOL_PRI_BT2020 || primaries == AVCOL_PRI_SMPTE431
        || primaries == AVCOL_PRI_SMPTE432;
}

// Brightest light a PQ stream says it holds: the content light level when
// stated, else the mastering display's peak, else the common default.
double pqPeak(const AVFrame *frame)
{
    if (const AVFrameSideData *data = av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL)) {
        const auto *level = reinterpret_cast<const AVContentLightMetadata *>(data->data);
        if (level->MaxCLL > 0)
            return std::clamp(double(level->MaxCLL), referenceWhite, 10000.0);
    }
    if (const AVFrameSideData *data = av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA)) {
        const auto *mastering = reinterpret_cast<const AVMasteringDisplayMetadata *>(data->data);
        if (mastering->has_luminance && mastering->max_luminance.den > 0 && av_q2d(mastering->max_luminance) > 0)
            return std::clamp(av_q2d(mastering->max_luminance), referenceWhite, 10000.0);
    }
    return defaultPeak;
}

// Calls function(y) for every row, in slices over Qt's global thread pool
// unless the picture is small.
template <typename Function>
void forEachRow(int width, int height, const Function &function)
{
    const int slices = qint64(width) * height < 256 * 1024 ? 1 : std::min(height, 4 * QThread::idealThreadCount());
    std::vector<std::pair<int, int>> ranges;
    for (int k = 0; k < slices; ++k)
        ranges.emplace_back(int(qint64(height) * k / slices), int(qint64(height) * (k + 1) / slices));
    const auto rows = [&function](const std::pair<int, int> &range) {
        for (int y = range.first; y < range.second; ++y)
            function(y);
    };
    if (slices == 1)
        rows(ranges.front());
    else
        QtConcurrent::blockingMap(ranges, rows);
}

double sourcePeakOf(const AVFrame *frame)
{
    switch (frame->color_trc) {
    case AVCOL_TRC_SMPTE2084: return pqPeak(frame);
    case AVCOL_TRC_ARIB_STD_B67: return defaultPeak;
    default: return 0.0;
    }
}

}

bool ColourMapper::isNeeded(const AVFrame *frame)
{
    return isHdrCurve(frame->color_trc) || isWideGamut(frame->color_primaries);
}

std::shared_ptr<const ColourMapper> ColourMapper::forFrame(const AVFrame *frame)
{
    static QMutex mutex;
    static std::shared_ptr<const ColourMapper> last;
    const double peak = sourcePeakOf(frame);
    QMutexLocker lock(&mutex);
    if (!last || last->m_transfer != frame->color_trc || last->m_primariesTag != frame->color_primaries
        || last->m_sourcePeak != peak)
        last = std::make_shared<const ColourMapper>(frame);
    return last;
}

ColourMapper::ColourMapper(const AVFrame *frame)
    : m_transfer(frame->color_trc)
    , m_primariesTag(frame->color_primaries)
    , m_sourcePeak(sourcePeakOf(frame))
{
    const bool hdr = isHdrCurve(frame->color_trc);
    m_curve = frame->color_trc == AVCOL_TRC_SMPTE2084 ? Curve::Pq
        : frame->color_trc == AVCOL_TRC_ARIB_STD_B67 ? Curve::Hlg : Curve::Gamma;

    // HDR video is BT.2020 in practice, whatever its tags leave out. The
    // source's white stays white (as the eye adapts to a display's white),
    // which matters for DCI-P3 with its greenish cinema white.
    const AVColorPrimariesDesc &bt709 = *av_csp_primaries_desc_from_id(AVCOL_PRI_BT709);
    const AVColorPrimariesDesc *tagged = av_csp_primaries_desc_from_id(frame->color_primaries);
    AVColorPrimariesDesc source = tagged ? *tagged : *av_csp_primaries_desc_from_id(hdr ? AVCOL_PRI_BT2020
                                                                                        : AVCOL_PRI_BT709);
    source.wp = bt709.wp;
    const Matrix convert = multiply(inverse(rgbToXyz(bt709)), rgbToXyz(source));
    std::copy(convert.begin(), convert.end(), m_primaries.begin());

    // SDR curves are shown through the display's gamma; BT.709, BT.2020 and
    // untagged video all mean a BT.1886 display (gamma 2.4).
    double gamma = 2.4;
    if (frame->color_trc == AVCOL_TRC_GAMMA22)
        gamma = 2.2;
    else if (frame->color_trc == AVCOL_TRC_GAMMA28)
        gamma = 2.8;
    else if (frame->color_trc == AVCOL_TRC_LINEAR)
        gamma = 1.0;

    constexpr int decodeSize = 1 << decodeBits;
    m_decode.resize(decodeSize);
    for (int i = 0; i < decodeSize; ++i) {
        const double signal = double(i) / (decodeSize - 1);
        switch (m_curve) {
        case Curve::Pq: m_decode[i] = float(pqToLight(signal) / referenceWhite); break;
        // The HLG system gamma of a display of the nominal peak, per channel
        // as on an SDR display (which is how HLG is made to look right there
        // too, and how the common tools make HLG from SDR): rather than
        // BT.2100's luminance-weighted form, which leaves such pictures pale.
        case Curve::Hlg:
            m_decode[i] = float(defaultPeak / referenceWhite * std::pow(hlgToScene(signal), hlgSystemGamma));
            break;
        case Curve::Gamma: m_decode[i] = float(std::pow(signal, gamma)); break;
        }
    }

    // BT.2390 EETF in the PQ domain, from the source peak down to SDR white.
    if (m_sourcePeak > referenceWhite) {
        const double sourceMax = lightToPq(m_sourcePeak);
        const double targetMax = lightToPq(referenceWhite) / sourceMax;
        const double kneeStart = 1.5 * targetMax - 0.5;
        m_knee = float(pqToLight(kneeStart * sourceMax) / referenceWhite);
        const double peak = m_sourcePeak / referenceWhite;
        m_toneStep = float((peak - m_knee) / (toneSize - 1));
        m_tone.resize(toneSize + 1);
        for (int i = 0; i <= toneSize; ++i) {
            const double light = m_knee + std::min(i, toneSize - 1) * double(m_toneStep);
            const double e = lightToPq(light * referenceWhite) / sourceMax;
            const double t = (e - kneeStart) / (1.0 - kneeStart);
            const double t2 = t * t, t3 = t2 * t;
            const double mapped = (2 * t3 - 3 * t2 + 1) * kneeStart + (t3 - 2 * t2 + t) * (1.0 - kneeStart)
                + (-2 * t3 + 3 * t2) * targetMax;
            m_tone[i] = float(pqToLight(mapped * sourceMax) / referenceWhite);
        }
        m_toneMapped = true;
    }

    m_encode.resize(encodeSize);
    for (int i = 0; i < encodeSize; ++i) {
        const double root = double(i) / (encodeSize - 1);
        m_encode[i] = uchar(std::lround(255.0 * std::pow(root * root, 1.0 / 2.4)));
    }
}

float ColourMapper::toneCurve(float light) const
{
    const float position = (light - m_knee) / m_toneStep;
    if (position >= toneSize - 1)
        return m_tone[toneSize - 1];
    const int index = int(position);
    const float fraction = position - index;
    return m_tone[index] + fraction * (m_tone[index + 1] - m_tone[index]);
}

void ColourMapper::map(const uint8_t *const planes[3], const int strides[3], uchar *destination,
                       int destinationStride, int width, int height) const
{
    forEachRow(width, height, [&](int y) {
        // FFmpeg's planar RGB is stored green, blue, red.
        const auto *red = reinterpret_cast<const quint16 *>(planes[2] + qsizetype(y) * strides[2]);
        const auto *green = reinterpret_cast<const quint16 *>(planes[0] + qsizetype(y) * strides[0]);
        const auto *blue = reinterpret_cast<const quint16 *>(planes[1] + qsizetype(y) * strides[1]);
        auto *out = reinterpret_cast<quint32 *>(destination + qsizetype(y) * destinationStride);
        constexpr int shift = 16 - decodeBits;
        Run run;
        for (int x0 = 0; x0 < width; x0 += runLength) {
            const int n = std::min(runLength, width - x0);
            for (int i = 0; i < n; ++i) {
                run.red[i] = m_decode[red[x0 + i] >> shift];
                run.green[i] = m_decode[green[x0 + i] >> shift];
                run.blue[i] = m_decode[blue[x0 + i] >> shift];
            }
            finish(run, n, out + x0);
        }
    });
}

bool ColourMapper::readsFrame(const AVFrame *frame)
{
    return frame->format == AV_PIX_FMT_YUV420P10LE && frame->colorspace != AVCOL_SPC_BT2020_CL
        && av_csp_luma_coeffs_from_avcsp(AVColorSpace(frame->colorspace));
}

void ColourMapper::map(const AVFrame *frame, uchar *destination, int destinationStride) const
{
    const int width = frame->width, height = frame->height;
    const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
    const AVLumaCoefficients *coefficients = av_csp_luma_coeffs_from_avcsp(AVColorSpace(frame->colorspace));
    const float kr = float(av_q2d(coefficients->cr)), kb = float(av_q2d(coefficients->cb));
    const float kg = 1.0f - kr - kb;
    const float crToRed = 2 * (1 - kr), cbToBlue = 2 * (1 - kb);
    const float crToGreen = -2 * kr * (1 - kr) / kg, cbToGreen = -2 * kb * (1 - kb) / kg;
    const bool full = frame->color_range == AVCOL_RANGE_JPEG;
    const float lumaOffset = full ? 0.0f : 64.0f;
    const float lumaScale = full ? 1.0f / 1023 : 1.0f / 876;
    const float chromaScale = full ? 1.0f / 1023 : 1.0f / 896;
    // Where chroma samples sit: MPEG-2 style (left, between rows) unless tagged otherwise.
    const int location = frame->chroma_location;
    const bool besideRows = location == AVCHROMA_LOC_TOPLEFT || location == AVCHROMA_LOC_TOP;
    const bool betweenColumns = location == AVCHROMA_LOC_CENTER || location == AVCHROMA_LOC_TOP
        || location == AVCHROMA_LOC_BOTTOM;

    // Each picture column's two chroma columns and the weight of the second.
    const size_t columns = size_t(width);
    std::vector<int> left(columns), right(columns);
    std::vector<float> rightWeight(columns);
    for (int x = 0; x < width; ++x) {
        const float position = x * 0.5f - (betweenColumns ? 0.25f : 0.0f);
        const int first = int(std::floor(position));
        left[x] = std::clamp(first, 0, chromaWidth - 1);
        right[x] = std::clamp(first + 1, 0, chromaWidth - 1);
        rightWeight[x] = position - first;
    }

    forEachRow(width, height, [&](int y) {
        const float position = y * 0.5f - (besideRows ? 0.0f : 0.25f);
        const int first = int(std::floor(position));
        const float weight = position - first;
        const int top = std::clamp(first, 0, chromaHeight - 1), bottom = std::clamp(first + 1, 0, chromaHeight - 1);
        const auto row = [frame](int plane, int index) {
            return reinterpret_cast<const quint16 *>(frame->data[plane] + qsizetype(index) * frame->linesize[plane]);
        };
        const quint16 *luma = row(0, y);
        const quint16 *cbTop = row(1, top), *cbBottom = row(1, bottom);
        const quint16 *crTop = row(2, top), *crBottom = row(2, bottom);
        const size_t chromaColumns = size_t(chromaWidth);
        std::vector<float> cb(chromaColumns), cr(chromaColumns);
        for (int x = 0; x < chromaWidth; ++x) {
            cb[x] = (cbTop[x] + weight * (cbBottom[x] - cbTop[x]) - 512.0f) * chromaScale;
            cr[x] = (crTop[x] + weight * (crBottom[x] - crTop[x]) - 512.0f) * chromaScale;
        }
        auto *out = reinterpret_cast<quint32 *>(destination + qsizetype(y) * destinationStride);
        constexpr float top14 = (1 << decodeBits) - 1;
        Run run;
        for (int x0 = 0; x0 < width; x0 += runLength) {
            const int n = std::min(runLength, width - x0);
            for (int i = 0; i < n; ++i) {
                const int x = x0 + i;
                const float blue = cb[left[x]] + rightWeight[x] * (cb[right[x]] - cb[left[x]]);
                const float red = cr[left[x]] + rightWeight[x] * (cr[right[x]] - cr[left[x]]);
                const float signal = (luma[x] - lumaOffset) * lumaScale;
                run.red[i] = signal + crToRed * red;
                run.green[i] = signal + cbToGreen * blue + crToGreen * red;
                run.blue[i] = signal + cbToBlue * blue;
            }
            for (int i = 0; i < n; ++i) {
                run.redCode[i] = int(std::clamp(run.red[i], 0.0f, 1.0f) * top14 + 0.5f);
                run.greenCode[i] = int(std::clamp(run.green[i], 0.0f, 1.0f) * top14 + 0.5f);
                run.blueCode[i] = int(std::clamp(run.blue[i], 0.0f, 1.0f) * top14 + 0.5f);
            }
            for (int i = 0; i < n; ++i) {
                run.red[i] = m_decode[run.redCode[i]];
                run.green[i] = m_decode[run.greenCode[i]];
                run.blue[i] = m_decode[run.blueCode[i]];
            }
            finish(run, n, out + x0);
        }
    });
}

void ColourMapper::finish(Run &run, int n, quint32 *out) const
{
    float *red = run.red, *green = run.green, *blue = run.blue;
    const float *m = m_primaries.data();
    const uchar *encode = m_encode.data();
    // BT.709 luminance, for pulling colours towards grey.
    constexpr float kr = 0.2126f, kg = 0.7152f, kb = 0.0722f;

    // To BT.709 primaries. Outside BT.709, towards the grey of equal
    // luminance (which keeps the hue) until only the tolerance is left to clip.
    for (int i = 0; i < n; ++i) {
        const float r = red[i], g = green[i], b = blue[i];
        const float cr = m[0] * r + m[1] * g + m[2] * b;
        const float cg = m[3] * r + m[4] * g + m[5] * b;
        const float cb = m[6] * r + m[7] * g + m[8] * b;
        const float lowest = std::min(std::min(cr, cg), cb);
        const float allowed = gamutTolerance * std::max(std::max(std::max(cr, cg), cb), 0.0f);
        const float luma = std::max(kr * cr + kg * cg + kb * cb, 0.0f);
        const float keep = std::min((luma + allowed) / std::max(luma - lowest, 1e-12f), 1.0f);
        red[i] = std::max(luma + keep * (cr - luma), 0.0f);
        green[i] = std::max(luma + keep * (cg - luma), 0.0f);
        blue[i] = std::max(luma + keep * (cb - luma), 0.0f);
    }
    // Above the knee: compress along the brightest channel, so no channel
    // clips and the hue stays; SDR sources only get the part over white
    // pulled towards grey.
    for (int i = 0; i < n; ++i) {
        const float highest = std::max(std::max(red[i], green[i]), blue[i]);
        if (highest <= m_knee)
            continue;
        if (m_toneMapped) {
            const float scale = toneCurve(highest) / highest;
            red[i] *= scale;
            green[i] *= scale;
            blue[i] *= scale;
        } else {
            const float luma = std::min(kr * red[i] + kg * green[i] + kb * blue[i], 1.0f);
            const float keep = (1.0f - luma) / (highest - luma);
            red[i] = luma + keep * (red[i] - luma);
            green[i] = luma + keep * (green[i] - luma);
            blue[i] = luma + keep * (blue[i] - luma);
        }
    }
    // BT.1886 code through a table indexed by the square root of the light.
    for (int i = 0; i < n; ++i) {
        run.redCode[i] = int(std::sqrt(std::min(red[i], 1.0f)) * (encodeSize - 1) + 0.5f);
        run.greenCode[i] = int(std::sqrt(std::min(green[i], 1.0f)) * (encodeSize - 1) + 0.5f);
        run.blueCode[i] = int(std::sqrt(std::min(blue[i], 1.0f)) * (encodeSize - 1) + 0.5f);
    }
    // Qt's ARGB32 pixel: opaque, red, green, blue from the top byte down.
    for (int i = 0; i < n; ++i)
        out[i] = encode[run.blueCode[i]] | quint32(encode[run.greenCode[i]]) << 8
            | quint32(encode[run.redCode[i]]) << 16 | 0xff000000u;
}

}
