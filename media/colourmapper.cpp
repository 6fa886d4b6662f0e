#include "colourmapper.h"

extern "C" {
#include <libavutil/csp.h>
#include <libavutil/frame.h>
#include <libavutil/mastering_display_metadata.h>
}

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

}

bool ColourMapper::isNeeded(const AVFrame *frame)
{
    return isHdrCurve(frame->color_trc) || isWideGamut(frame->color_primaries);
}

ColourMapper::ColourMapper(const AVFrame *frame)
{
    const bool hdr = isHdrCurve(frame->color_trc);
    m_curve = frame->color_trc == AVCOL_TRC_SMPTE2084 ? Curve::Pq
        : frame->color_trc == AVCOL_TRC_ARIB_STD_B67 ? Curve::Hlg : Curve::Gamma;

    // HDR video is BT.2020 in practice, whatever its tags leave out.
    const AVColorPrimariesDesc *source = av_csp_primaries_desc_from_id(frame->color_primaries);
    if (!source)
        source = av_csp_primaries_desc_from_id(hdr ? AVCOL_PRI_BT2020 : AVCOL_PRI_BT709);
    const Matrix convert = multiply(inverse(rgbToXyz(*av_csp_primaries_desc_from_id(AVCOL_PRI_BT709))),
                                    rgbToXyz(*source));
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

    if (m_curve != Curve::Gamma)
        m_sourcePeak = m_curve == Curve::Pq ? pqPeak(frame) : defaultPeak;

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

void ColourMapper::map(const quint16 *source, int sourceStride, uchar *destination, int destinationStride,
                       int width, int height) const
{
    const float *m = m_primaries.data();
    // BT.709 luminance, for pulling colours towards grey.
    constexpr float kr = 0.2126f, kg = 0.7152f, kb = 0.0722f;
    constexpr int shift = 16 - decodeBits;
    const auto code = [this](float light) {
        return m_encode[int(std::sqrt(std::clamp(light, 0.0f, 1.0f)) * (encodeSize - 1) + 0.5f)];
    };

    for (int y = 0; y < height; ++y) {
        const quint16 *in = reinterpret_cast<const quint16 *>(reinterpret_cast<const uchar *>(source)
                                                              + qsizetype(y) * sourceStride);
        uchar *out = destination + qsizetype(y) * destinationStride;
        for (int x = 0; x < width; ++x, in += 3, out += 4) {
            float r = m_decode[in[0] >> shift];
            float g = m_decode[in[1] >> shift];
            float b = m_decode[in[2] >> shift];
            float red = m[0] * r + m[1] * g + m[2] * b;
            float green = m[3] * r + m[4] * g + m[5] * b;
            float blue = m[6] * r + m[7] * g + m[8] * b;

            // Outside BT.709: towards the grey of equal luminance, which keeps
            // the hue, until only the tolerance is left to clip.
            const float lowest = std::min({ red, green, blue });
            if (lowest < 0.0f) {
                const float highest = std::max({ red, green, blue, 0.0f });
                const float allowed = gamutTolerance * highest;
                if (lowest < -allowed) {
                    const float luma = std::max(kr * red + kg * green + kb * blue, 0.0f);
                    const float keep = (luma + allowed) / (luma - lowest);
                    red = luma + keep * (red - luma);
                    green = luma + keep * (green - luma);
                    blue = luma + keep * (blue - luma);
                }
                red = std::max(red, 0.0f);
                green = std::max(green, 0.0f);
                blue = std::max(blue, 0.0f);
            }
            // Above the knee: compress along the brightest channel, so no
            // channel clips and the hue stays; SDR sources only get the part
            // over white pulled towards grey.
            const float highest = std::max({ red, green, blue });
            if (highest > m_knee) {
                if (m_toneMapped) {
                    const float scale = toneCurve(highest) / highest;
                    red *= scale;
                    green *= scale;
                    blue *= scale;
                } else {
                    const float luma = std::min(kr * red + kg * green + kb * blue, 1.0f);
                    const float keep = (1.0f - luma) / (highest - luma);
                    red = luma + keep * (red - luma);
                    green = luma + keep * (green - luma);
                    blue = luma + keep * (blue - luma);
                }
            }
            out[0] = code(blue);
            out[1] = code(green);
            out[2] = code(red);
            out[3] = 255;
        }
    }
}

}
