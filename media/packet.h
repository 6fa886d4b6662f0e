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
    double dts = 0.0;
    double duration = 0.0;
    bool hasKeyFrame = false;
    bool isCorrupt = false;

    bool isEmpty() const;
    // Not corrupt, not empty, and neither time nor duration negative.
    bool isValid() const;

    // The underlying packet for the decoder; null for an empty packet.
    const AVPacket *avPacket() const { return m_packet.get(); }

private:
    std::shared_ptr<const AVPacket> m_packet;
};

}
