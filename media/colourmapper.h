#pragma once

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <memory>
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
// several threads at once. forFrame() may be called from any thread.
class ColourMapper
{
public:
    // Whether pictures tagged like this frame need the mapper: an HDR curve,
    // or wide-gamut primaries.
    static bool isNeeded(const AVFrame *frame);

    explicit ColourMapper(const AVFrame *frame);

    // A mapper for this frame's tags, shared with the frames before it when
    // their tags were the same: making one costs a few milliseconds.
    static std::shared_ptr<const ColourMapper> forFrame(const AVFrame *frame);

    // Brightest light of the source in cd/m² that the highlights are fitted
    // to; 0 for SDR sources, which are not tone-mapped.
    double sourcePeak() const { return m_sourcePeak; }

    // Maps 16-bit planar R'G'B' (AV_PIX_FMT_GBRP16, native byte order; planes
    // in FFmpeg's order green, blue, red) in the source's curve and primaries
    // to opaque 32-bit pixels (QImage::Format_ARGB32). Strides are in bytes.
    // Large pictures are shared out over Qt's global thread pool.
    void map(const uint8_t *const planes[3], const int strides[3], uchar *destination, int destinationStride,
             int width, int height) const;

    // Whether map(frame, ...) reads this frame's samples itself: 10-bit 4:2:0
    // with a known matrix, the usual form of HDR video. Other frames go
    // through libswscale to 16-bit planar R'G'B' first.
    static bool readsFrame(const AVFrame *frame);
    // Maps such a frame, at its stored size, to 32-bit pixels as above.
    void map(const AVFrame *frame, uchar *destination, int destinationStride) const;

private:
    enum class Curve { Gamma, Pq, Hlg };

    // A run of pixels in small arrays, so that the arithmetic between the
    // table look-ups has no branches and the compiler can vectorise it.
    static constexpr int runLength = 256;
    struct Run {
        float red[runLength], green[runLength], blue[runLength];
        int redCode[runLength], greenCode[runLength], blueCode[runLength];
    };

    float toneCurve(float light) const;
    // Linear light in the source primaries to pixels.
    void finish(Run &run, int n, quint32 *out) const;

    Curve m_curve = Curve::Gamma;
    // The frame tags (AVColorTransferCharacteristic, AVColorPrimaries) it was made for.
    int m_transfer = 0;
    int m_primariesTag = 0;
    double m_sourcePeak = 0.0;
    // Source primaries to BT.709, in linear light.
    std::array<float, 9> m_primaries {};
    // Signal (top 14 bits) to linear light, 1.0 being SDR white.
    std::vector<float> m_decode;
    // Tone curve sampled evenly from the knee to the source peak; 1.0 is SDR white.
    std::vector<float> m_tone;
    float m_toneStep = 0.0f;
    float m_knee = 1.0f;
    bool m_toneMapped = false;
    // Linear light to 8-bit BT.1886 code, indexed by the square root of the light.
    std::vector<uchar> m_encode;
};

}
