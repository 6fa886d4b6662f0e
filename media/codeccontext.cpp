#include "codeccontext.h"

#include "ffmpegptr.h"

extern "C" {
#include <libavutil/display.h>
}

#include <cmath>

namespace media {

namespace {

// The display matrix turns counter-clockwise; we keep the clockwise turn that
// makes the picture upright, snapped to a quarter turn.
int rotationOf(const AVStream *stream)
{
    const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!matrix)
        return 0;
    const double angle = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    if (std::isnan(angle))
        return 0;
    int clockwise = int(std::lround(-angle / 90.0)) * 90;
    clockwise %= 360;
    if (clockwise < 0)
        clockwise += 360;
    return clockwise;
}

}

CodecContext::CodecContext(AVFormatContext *format, AVStream *stream)
    : m_parameters(avcodec_parameters_alloc())
    , m_timeBaseNum(stream->time_base.num)
    , m_timeBaseDen(stream->time_base.den)
    , m_rotation(rotationOf(stream))
{
    if (m_parameters)
        avcodec_parameters_copy(m_parameters.get(), stream->codecpar);
    const AVRational aspect = av_guess_sample_aspect_ratio(format, stream, nullptr);
    if (aspect.num > 0 && aspect.den > 0) {
        m_aspectNum = aspect.num;
        m_aspectDen = aspect.den;
    }
}

CodecContext::~CodecContext() = default;

void CodecContext::ParametersFreer::operator()(AVCodecParameters *p) const
{
    avcodec_parameters_free(&p);
}

int CodecContext::width() const
{
    return m_parameters ? m_parameters->width : 0;
}

int CodecContext::height() const
{
    return m_parameters ? m_parameters->height : 0;
}

}
