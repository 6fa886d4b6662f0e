#pragma once

#include "media/packet.h"

#include <QList>
#include <QString>

#include <deque>
#include <vector>
#include <memory>

struct AVFormatContext;

namespace media {

class CodecContext;

// Reads the packets of one media file. Owned and used by one thread.
//
// Times are the container's own: a stream that starts at 1.48 s has its first
// packet at 1.48 s, startTime() reports that start, and seek() takes a time on
// the same clock. Callers decide when to add the start time.
class Demuxer
{
public:
    enum StreamType { VideoStream };

    Demuxer();
    ~Demuxer();

    // Sets the file the next load() opens; unloads nothing by itself.
    void setMedia(const QString &fileName);
    QString fileName() const { return m_fileName; }

    bool load();
    void unload();
    bool isLoaded() const;
    // The last read ran into the end of the file (or an error that ends it).
    bool atEnd() const { return m_atEnd && m_queue.empty(); }

    // Positions the demuxer so that the next packets start at the last key
    // frame at or before ms of the current video stream, also in formats whose
    // own seek lands elsewhere (MPEG-TS); at its first key frame when none is
    // that early.
    bool seek(qint64 ms);

    // Reads the next packet; false when none could be read (see atEnd()).
    bool readFrame();
    // The packet of the last successful readFrame() and its stream index.
    Packet packet() const { return m_packet; }
    int stream() const { return m_packetStream; }

    // Indices of the video streams, cover pictures excluded.
    QList<int> videoStreams() const;
    // Chooses the index-th stream of the given type as the current one.
    bool setStreamIndex(StreamType type, int index);
    // Stream index of the current video stream, -1 when there is none.
    int videoStream() const { return m_videoStream; }

    qint64 duration() const;   // ms, 0 when unknown or not loaded
    qint64 startTime() const;  // ms, 0 when unknown or not loaded
    // Time in ms on the container's clock of the current video stream's
    // first frame: startTime() when the stream does not say.
    qint64 videoStart() const { return videoStartTime() / 1000; }
    // Frames per second of the current video stream: its average rate, else
    // the rate FFmpeg guesses from its timestamps; 0 when unknown.
    double frameRate() const;
    // Where the current video stream's header says its pictures end, in ms on
    // the container's clock; the file's end when it does not say.
    qint64 videoEndTime() const;
    // The furthest time, in ms on the container's clock, that a packet of any
    // stream read since loading reaches. At the end of a complete file it is
    // about startTime() + duration(); well short of that, the file was cut.
    qint64 dataEndTime() const { return m_dataEnd; }

    // Frames per second of the current video stream when it is constant; 0
    // when it varies or is not known.
    double constantFrameRate() const;
    // Codec names such as "h264" and "aac" of the current video stream and
    // of the first audio stream; empty when there is none.
    QString videoCodecName() const;
    QString audioCodecName() const;
    // Bits per second of the whole file; 0 when not known.
    qint64 bitRate() const;
    // A tag of the file, or of its video stream when the file has none of
    // that name ("creation_time"); empty when neither has it.
    QString tag(const char *key) const;

    // Time in ms of the key frame at or before ms in the current video
    // stream's index; -1 when the file has no index (MPEG-TS) or none is known.
    qint64 keyFrameTime(qint64 ms) const;

    // Codec details of a video stream (-1: the current one); null when there is none.
    const CodecContext *videoCodecContext(int stream = -1) const;

private:
    Q_DISABLE_COPY(Demuxer)

    struct FormatCloser { void operator()(AVFormatContext *c) const; };
    struct Queued { Packet packet; int stream; };
    // A key frame of a stream without times: where it starts in the file and
    // how many packets of the stream come before it.
    struct CountedKey { int64_t pos; int64_t count; };

    void scanStream();
    qint64 countedTime(int64_t count) const;
    bool readPacket(Packet *packet, int *stream);
    bool seekTo(qint64 microseconds);
    bool seekToStart();
    qint64 videoStartTime() const;
    bool lastKeyFrameNotAfter(qint64 microseconds);

    QString m_fileName;
    std::unique_ptr<AVFormatContext, FormatCloser> m_format;
    std::unique_ptr<CodecContext> m_codec;
    int m_videoStream = -1;
    bool m_atEnd = false;
    int m_failedReads = 0;
    qint64 m_dataEnd = 0;
    // Files that state no duration: what reading them through found.
    qint64 m_scannedDuration = 0;
    // Streams without times (raw H.264, HEVC): packets timed by counting.
    bool m_counting = false;
    int64_t m_frameTicks = 0;
    int64_t m_nextCount = 0;
    std::vector<CountedKey> m_countedKeys;
    Packet m_packet;
    int m_packetStream = -1;
    // Packets read while checking a seek, handed out before reading on.
    std::deque<Queued> m_queue;
};

}
