#include "packet.h"

#include "ffmpegptr.h"

namespace media {

Packet::Packet(const AVPacket *packet, int timeBaseNum, int timeBaseDen)
{
    AVPacket *copy = av_packet_clone(packet);
    if (!copy)
        return;
    m_packet.reset(copy, [](const AVPacket *p) {
        auto *owned = const_cast<AVPacket *>(p);
        av_packet_free(&owned);
    });
    // Multiply first, divide last: 360000 ticks of 1/90000 s are exactly 4 s.
    const auto seconds = [=](int64_t ticks) {
        return timeBaseDen ? double(ticks) * timeBaseNum / timeBaseDen : 0.0;
    };
    // Packets without a presentation time (common in raw streams) use the decoding time.
    const auto ms = [=](int64_t ticks) {
        return timeBaseDen ? av_rescale_rnd(ticks, int64_t(timeBaseNum) * 1000, timeBaseDen, AV_ROUND_ZERO) : 0;
    };
    const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (time != AV_NOPTS_VALUE) {
        pts = seconds(time);
        ptsMs = ms(time);
    }
    dts = packet->dts != AV_NOPTS_VALUE ? seconds(packet->dts) : pts;
    duration = seconds(packet->duration);
    hasKeyFrame = packet->flags & AV_PKT_FLAG_KEY;
    isCorrupt = packet->flags & AV_PKT_FLAG_CORRUPT;
}

bool Packet::isEmpty() const
{
    return !m_packet || m_packet->size <= 0;
}

bool Packet::isValid() const
{
    return !isCorrupt && !isEmpty() && duration >= 0.0;
}

}
