#pragma once

#include <QString>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

// RAII at the FFmpeg boundary: a handle cannot leak on any return path.
namespace media::ffmpeg {

struct PacketFreer { void operator()(AVPacket *p) const { av_packet_free(&p); } };
struct ScaleFreer { void operator()(SwsContext *c) const { sws_freeContext(c); } };

using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleFreer>;

// FFmpeg's error code as readable text.
QString errorText(int code);

}
