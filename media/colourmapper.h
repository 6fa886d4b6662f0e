#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

struct AVFrame;

namespace media {

// Turns the colours of HDR (PQ, HLG) and wide-gamut pictures into BT.709 SDR
// as a player shows them on an ordinary display: the stream's curve is undone,
// the primaries converted to BT.709, highlights above SDR white compressed with
// the BT.2390 curve (source peak from the stream's light-level or mastering
// data when it has them), colours outside BT.709 pulled towards the grey of
// the same luminance (which keeps their hue), and the result encoded for a
// BT.1886 display. SDR BT.709 and BT.601 pictures need none of this.
//
// Made for one picture's tags; immutable afterwards, so one mapper may serve
// several threads at once.
class ColourMapper
{
public:
    // Whether pictures tagged like this frame need the mapper: an HDR curve,
    // or wide-gamut primaries.
    static bool isNeeded(const AVFrame *frame);

    explicit ColourMapper(const AVFrame *frame);

    // Brightest light of the source in cd/m² that the highlights are fitted
    // to; 0 for SDR sources, which are not tone-mapped.
    double sourcePeak() const { return m_sourcePeak; }

    // Maps rows of 16-bit R'G'B' (AV_PIX_FMT_RGB48, native byte order) in the
    // source's curve and primaries into opaque BGRA bytes (QImage::Format_ARGB32
    // on little-endian machines). Strides are in bytes.
    void map(const quint16 *source, int sourceStride, uchar *destination, int destinationStride,
             int width, int height) const;

private:
    enum class Curve { Gamma, Pq, Hlg };

    float toneCurve(float light) const;

    Curve m_curve = Curve::Gamma;
    double m_sourcePeak = 0.0;
    // Source primaries to BT.709, in linear light.
    std::array<float, 9> m_primaries {};
    // Signal (top 14 bits) to linear light, 1.0 being SDR white.
    std::vector<float> m_decode;
    // Tone curve sampled evenly from 0 to the source peak; output 1.0 is SDR white.
    std::vector<float> m_tone;
    float m_toneStep = 0.0f;
    float m_knee = 1.0f;
    bool m_toneMapped = false;
    // Linear light to 8-bit BT.1886 code, indexed by the square root of the light.
    std::vector<uchar> m_encode;
};

}
