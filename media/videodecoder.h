#pragma once

#include "media/videoframe.h"

#include <QString>
#include <QVariantHash>

#include <deque>
#include <memory>

struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;

namespace media {

class CodecContext;
class Packet;

// Decodes the packets of one video stream into frames. Owned and used by one thread.
class VideoDecoder
{
public:
    // A decoder by name; "FFmpeg" is the one there is. Null for an unknown name.
    static std::unique_ptr<VideoDecoder> create(const QString &name);

    ~VideoDecoder();

    // Copies what it needs from the stream's codec details; call before open().
    void setCodecContext(const CodecContext *context);
    bool open();
    void close();
    // Forgets buffered pictures, as after a seek.
    void flush();

    // Feeds one packet. False when the decoder rejects it. Afterwards frame()
    // is the next picture ready, or an invalid frame while the decoder still
    // needs more packets. An empty packet ends the stream: each call then gives
    // one of the pictures the decoder still holds, and false when none is left.
    bool decode(const Packet &packet);
    VideoFrame frame() const { return m_frame; }

    // Decoder options by name, grouped by library: {"avcodec": {"skip_frame": 8}}
    // sets the codec option at once, also between packets. Other groups are ignored.
    void setOptions(const QVariantHash &options);
    // The options that skip decoding the frames no other frame refers to
    // (with their loop filter), or that decode every frame again.
    static QVariantHash skippingOptions(bool nonReferenceOnly);

    // Pictures every decoder of the process has given out so far: how much
    // decoding work was done, for measurements and for checking that work
    // stops when asked. Any thread.
    static qint64 picturesDecoded();

private:
    VideoDecoder();
    Q_DISABLE_COPY(VideoDecoder)

    struct CodecFreer { void operator()(AVCodecContext *c) const; };
    struct ParametersFreer { void operator()(AVCodecParameters *p) const; };
    struct FrameFreer { void operator()(AVFrame *f) const; };

    void applyOptions();
    bool receiveFrames();
    bool drain();

    std::unique_ptr<AVCodecParameters, ParametersFreer> m_parameters;
    std::unique_ptr<AVCodecContext, CodecFreer> m_codec;
    std::unique_ptr<AVFrame, FrameFreer> m_decoded;
    int m_timeBaseNum = 1;
    int m_timeBaseDen = 1;
    VideoFrame::Display m_display;
    bool m_draining = false;
    // Pictures of streams without presentation times (raw elementary
    // streams) are timed by counting: the first packet's decoding time after
    // a flush, then one packet duration per picture given out.
    bool m_counting = false;
    int64_t m_countedFrom = 0;
    int64_t m_countedDuration = 0;
    int64_t m_counted = 0;
    QVariantHash m_options;
    // Pictures the decoder gave back beyond the one per packet, in order.
    std::deque<VideoFrame> m_ready;
    VideoFrame m_frame;
};

}
