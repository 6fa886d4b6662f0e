#pragma once

#include "media/demuxer.h"
#include "media/videodecoder.h"
#include "media/videoframe.h"

#include <QObject>
#include <QStringList>
#include <QVariantHash>

#include <atomic>
#include <memory>

// Decodes the one frame that lies at a position of a video, within a tolerance.
//
// Seeks to the key frame at or before the target, decodes it, then decodes
// forward until a frame lies within the tolerance. The file stays open between
// extractions, so a run of positions does not reopen it.
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

    // Opens the video if needed; 0 when it cannot be opened or has no picture.
    qint64 duration();

    // Stops a running extraction at its next check.
    void abort();

signals:
    void frameExtracted(media::VideoFrame frame);
    void sourceChanged();
    void error(QString errorMessage);
    void aborted(QString abortMessage);
    void positionChanged();
    void precisionChanged();

public slots:
    void extract();

private slots:
    void extractInternal(qint64 pos);

private:
    enum class Verdict { ReadOn, Hit, Failed };

    bool load();
    bool canDecodeOnTo(qint64 pos, int range) const;
    bool abortedAt(const char *step, QString *reason, bool *abortMark) const;
    Verdict takeFrame(const media::VideoFrame &frame, qint64 pos, int range, double lastPacketTime,
                      QString *reason);
    bool decode(qint64 pos, int range, QString *reason, bool *abortMark);
    Verdict decodeKeyFrame(qint64 pos, int &range, int videoStream, double *lastPacketTime, QString *reason,
                           bool *abortMark);
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
    // The last extraction ended on a hit with the decoder ready for more.
    bool m_decoderRunning = false;
    double m_lastPacketTime = 0.0;
    qint64 m_lastFrameTime = 0;
};
