#pragma once

#include "media/demuxer.h"
#include "media/videodecoder.h"
#include "media/videoframe.h"

#include <QString>
#include <QVariantHash>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// Decodes the frames of a stretch of a video one after the other, for readers
// that look at every picture: the shot analysis and the choice of a frame
// near a position. Times are ms from the start of the video, as FrameGrabber
// takes positions, so a frame's time given as a position yields that frame.
//
// Packets before a stretch only feed the frames others are predicted from;
// a stretch that begins in the group of pictures the last one ended in is
// decoded on from there instead of seeking back to its key frame.
//
// Thread: owned and used by one thread; only abort() may come from another.
class FrameScanner
{
public:
    enum Mode {
        AllFrames,
        // Only frames that others are predicted from: in video with
        // B-frames about half the frames, in well under half the time. For a
        // first look at a long stretch.
        ReferenceFrames
    };

    // Called for each frame of a scan in time order, with the frame's time;
    // returning false ends the scan.
    using Visit = std::function<bool(const media::VideoFrame &frame, qint64 ms)>;

    explicit FrameScanner(const QString &source);
    ~FrameScanner();

    // Opens the video if it is not open yet; false when it cannot be opened,
    // has no picture or no decoder for it.
    bool open();
    // Of the open video: its length (ms), its frame rate (0 when unknown)
    // and the time of its first frame.
    qint64 duration() const;
    double frameRate() const;
    qint64 firstFrameTime() const;
    // A frame's time in ms from the start of the video, as scan() gives it.
    qint64 timeOf(const media::VideoFrame &frame) const;
    // The number of the frame at ms, counted from 0 at the first frame by
    // the frame rate (exact for video at a constant rate).
    qint64 frameNumber(qint64 ms) const;

    // Hands every frame from fromMs to toMs to visit, in time order. False
    // when the video cannot be opened, a packet cannot be decoded or the
    // scan was aborted; errorString() says which.
    bool scan(qint64 fromMs, qint64 toMs, Mode mode, const Visit &visit);

    // Ends the running scan at its next packet, or the next scan at its
    // first when none is running.
    void abort();
    bool isAborted() const { return m_abortRequested; }
    QString errorString() const { return m_error; }

private:
    // Where decoding stands after a scan, in ms on the container's clock.
    struct DecodedTo {
        qint64 frame;      // the last frame taken from the decoder
        qint64 keyFrame;   // the last key frame passed
        Mode mode;
        media::VideoFrame pending;   // taken from the decoder but not visited
    };

    bool canDecodeOnTo(qint64 target, Mode mode) const;
    void take(const media::VideoFrame &frame, qint64 fromMs, qint64 toMs, const Visit &visit, bool *done);
    void setOptions(const QVariantHash &options);
    bool fail(const QString &reason);

    QString m_source;
    media::Demuxer m_demuxer;
    std::unique_ptr<media::VideoDecoder> m_decoder;
    QVariantHash m_optionsSet;
    std::optional<DecodedTo> m_decodedTo;
    std::atomic_bool m_abortRequested { false };
    QString m_error;
};
