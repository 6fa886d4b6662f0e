#pragma once

#include "media/demuxer.h"
#include "media/videodecoder.h"
#include "media/videoframe.h"

#include <QObject>
#include <QStringList>
#include <QVariantHash>

#include <atomic>
#include <memory>
#include <optional>

// Decodes the one frame that lies at a position of a video, within a tolerance.
//
// Positions are milliseconds from the start of the video, as a player shows
// them, whatever clock the container keeps. The answer for a position is the
// key frame at or before it when that lies within the tolerance, else the
// first frame at or after it (within the tolerance unless no frame lies
// there); past the end, the last frame. The same position
// gives the same frame whatever was extracted before. The file stays open
// between extractions, so a run of positions does not reopen it.
//
// In key-frame mode the answer is the key frame nearest to the position (the
// earlier of two as near), and it is the only picture decoded: no frame after
// a key frame is. For thumbnails and previews, where the exact frame is not
// worth decoding a group of pictures for.
//
// Thread: everything runs on the caller's thread and the signals are emitted
// before extract() returns. Only abort() may be called from another thread.
class FrameGrabber : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(int precision READ precision WRITE setPrecision NOTIFY precisionChanged)
    Q_PROPERTY(qint64 position READ position WRITE setPosition NOTIFY positionChanged)

public:
    explicit FrameGrabber(QObject *parent = nullptr);
    ~FrameGrabber() override;

    QString source() const { return m_source; }
    void setSource(const QString &path);
    // Tolerance in ms; a negative value chooses it from the duration at load time.
    int precision() const { return m_precision; }
    void setPrecision(int ms);
    qint64 position() const { return m_position; }
    void setPosition(qint64 ms);

    bool keyFramesOnly() const { return m_keyFramesOnly; }
    void setKeyFramesOnly(bool on);
    // The time (ms, as positions count) of the key frame that key-frame
    // mode gives for pos, found without decoding; -1 when there is none.
    qint64 nearestKeyFrameTime(qint64 pos);

    // Opens the video if needed; 0 when it cannot be opened or has no picture.
    qint64 duration();

    // Stops the running extraction at its next check, or the next extraction
    // at its first when none is running: an abort is never lost.
    void abort();
    // Forgets an abort that no extraction has answered, for a new task.
    void forgetAbort() { m_abortRequested = false; }

    // The frame at pos exactly as given, whatever position() holds
    // (setPosition() keeps the earlier one within the tolerance).
    void extractAt(qint64 pos);

signals:
    void frameExtracted(media::VideoFrame frame);
    void sourceChanged();
    void error(QString errorMessage);
    void aborted(QString abortMessage);
    void positionChanged();
    void precisionChanged();

public slots:
    void extract();

private:
    // How a step of the search ended.
    enum class Verdict { ReadOn, Hit, KeyFrameHit, EndOfStream, Failed };

    // One extraction's search; every time is in ms on the container's clock.
    struct Search {
        qint64 target = 0;
        int range = 0;
        // The frame to stop at: the key frame at or before the target when it
        // lies within the tolerance, else the target itself.
        qint64 wanted = 0;
        qint64 lastKeyFrame = -1;
    };
    // Where the decoder stands after an extraction that stopped on a hit
    // while decoding forward, ready to decode on; ms on the container's clock.
    struct DecodedTo {
        qint64 frame;
        qint64 keyFrame;
    };

    bool load();
    bool decode(qint64 pos, int range, QString *reason, bool *abortMark);
    bool decodeNearestKeyFrame(qint64 pos, QString *reason, bool *abortMark);
    media::Packet nearestKeyFramePacket(qint64 target, QString *reason, bool *abortMark);
    bool canDecodeOnTo(const Search &search) const;
    Verdict seekToKeyFrame(Search &search, QString *reason, bool *abortMark);
    Verdict decodeForward(Search &search, QString *reason, bool *abortMark);
    void passKeyFrame(Search &search, qint64 time) const;
    Verdict takeFrame(const media::VideoFrame &frame, const Search &search);
    bool finishAtEnd(const Search &search, QString *reason);
    bool abortedAt(const char *step, QString *reason, bool *abortMark);
    void setDecoderOptions(const QVariantHash &options);
    void unloadAll();

    std::atomic_bool m_abortRequested { false };
    bool m_hasVideo = true;
    bool m_automaticPrecision = true;
    int m_extractionCount = 0;
    qint64 m_position = -1000;
    int m_precision = 500;
    QString m_source;
    media::Demuxer m_demuxer;
    std::unique_ptr<media::VideoDecoder> m_decoder;
    media::VideoFrame m_frame;
    QStringList m_decoderNames;
    QVariantHash m_fastOptions;
    QVariantHash m_fullOptions;
    QVariantHash m_optionsSet;
    std::optional<DecodedTo> m_decodedTo;
    bool m_keyFramesOnly = false;
    // The key frame decoded last in key-frame mode, by its packet's time:
    // positions that share their nearest key frame take it without decoding.
    media::VideoFrame m_keyFrame;
    qint64 m_keyFrameTime = 0;
};
