#pragma once

#include <QtGlobal>

#include <memory>

struct AVCodecParameters;
struct AVFormatContext;
struct AVStream;

namespace media {

// What a decoder needs to know about one video stream, and what its frames
// need to be shown as a player shows them. Made by the Demuxer for its current
// video stream; stays valid until the demuxer unloads or changes stream.
class CodecContext
{
public:
    CodecContext(AVFormatContext *format, AVStream *stream);
    ~CodecContext();

    const AVCodecParameters *parameters() const { return m_parameters.get(); }
    int width() const;
    int height() const;
    // Stream time base as a fraction of a second.
    int timeBaseNum() const { return m_timeBaseNum; }
    int timeBaseDen() const { return m_timeBaseDen; }
    // Pixel aspect ratio from the container or the codec; 0/1 when unknown.
    int aspectNum() const { return m_aspectNum; }
    int aspectDen() const { return m_aspectDen; }
    // Clockwise turn in degrees (0, 90, 180 or 270) that makes the picture upright.
    int rotation() const { return m_rotation; }

private:
    Q_DISABLE_COPY(CodecContext)
    struct ParametersFreer { void operator()(AVCodecParameters *p) const; };

    std::unique_ptr<AVCodecParameters, ParametersFreer> m_parameters;
    int m_timeBaseNum = 1;
    int m_timeBaseDen = 1;
    int m_aspectNum = 0;
    int m_aspectDen = 1;
    int m_rotation = 0;
};

}
