#pragma once

#include <QtGlobal>

#include <memory>

struct AVPacket;

namespace media {

// One compressed packet read by the Demuxer. A cheap value: copies share the
// packet's data. Times are seconds on the container's clock.
class Packet
{
public:
    Packet() = default;
    // Takes a reference to the packet's data; timeBase converts its timestamps.
    Packet(const AVPacket *packet, int timeBaseNum, int timeBaseDen);

    double pts = 0.0;
    // pts in whole ms, truncated toward zero from the integer timestamp: a
    // frame at 8.04 s is at 8040 ms, never 8039.
    qint64 ptsMs = 0;
    double dts = 0.0;
    double duration = 0.0;
    bool hasKeyFrame = false;
    // The stream gives no times: the demuxer counted the packets and set
    // their decoding time; pictures are timed by counting too.
    bool timedByCount = false;
    bool isCorrupt = false;

    bool isEmpty() const;
    // Not corrupt, not empty, and no negative duration. Times may be
    // negative: the key frame a cut file's pictures start from often is.
    bool isValid() const;

    // The underlying packet for the decoder; null for an empty packet.
    const AVPacket *avPacket() const { return m_packet.get(); }

private:
    std::shared_ptr<const AVPacket> m_packet;
};

}
