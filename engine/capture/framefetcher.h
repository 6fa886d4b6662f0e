#pragma once

#include "media/videoframe.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class FrameGrabber;
class QThread;

namespace media {
class Demuxer;
}

// Decodes the frames at a list of positions ahead of time, on several
// decoders at once, and hands them over in the order of the positions.
//
// Each decoder is a FrameGrabber of its own (its own demuxer and decoder) on
// a thread of its own. Positions that follow each other within one group of
// pictures form a run that one decoder walks through forward, as a single
// grabber would; the runs go to whichever decoder is free, so separate groups
// of pictures are decoded at the same time. A grabber gives a position the
// same frame whatever it decoded before, so the frames are those a single
// grabber would give.
//
// Memory: a decoder starts on a position only while at most as many results
// as there are decoders are in the making or waiting, the position the caller
// waits for excepted: each decoder may finish one position ahead while the
// caller saves an image or pauses. So at most decoderCount() + 2 decoded
// frames wait for the caller, besides the pictures each decoder holds for its
// own work.
//
// Threads: the object belongs to the thread that calls start(),
// extractNext() and stop(); the signals are emitted there, from within
// extractNext(). abort() may be called from any thread.
class FrameFetcher : public QObject
{
    Q_OBJECT

public:
    // A position (ms, as FrameGrabber takes it) and how many images in a row
    // take the frame at it (at least 1).
    struct Position {
        qint64 ms;
        qint64 images;
    };

    // Chooses, on a decoder's thread, the frame an image takes instead of the
    // frame at its position: for jobs that skip blank frames or take the
    // sharpest frame near each position. Each decoder makes its own.
    class Chooser
    {
    public:
        virtual ~Chooser() = default;
        // Whether choose() wants the frame at the position extracted first.
        virtual bool wantsFrameAt() const = 0;
        // The frame for position ms (the frame at it, when wanted, in
        // frameAt); note says what was taken instead, for the job's output.
        // False, with the reason in error, when there is none.
        virtual bool choose(qint64 ms, const media::VideoFrame &frameAt, media::VideoFrame *chosen, QString *note,
                            QString *error) = 0;
        // Stops a choice that runs, from any thread.
        virtual void abort() = 0;
    };

    explicit FrameFetcher(QObject *parent = nullptr);
    // Stops the decoders.
    ~FrameFetcher() override;

    // Number of decoders; 0 or less (the default) means one per core, as
    // many as the memory budget allows for the video's picture size (each
    // counted twice with a chooser, which decodes with one of its own).
    void setDecoderCount(int count);
    int decoderCount() const;
    // Bytes all decoders of a start() may take together when their number is
    // chosen; 1 GiB unless set.
    void setMemoryBudget(qint64 bytes);
    // What one decoder of a width x height video takes, about: its reference
    // pictures, the pictures in the making and the converted frame.
    static qint64 decoderMemory(int width, int height);

    // Each position takes the key frame nearest to it (FrameGrabber's
    // key-frame mode). Before start().
    void setKeyFramesOnly(bool on);

    // Asked by extractNext() before it takes a result and while it waits for
    // one; returning true aborts, as abort() does.
    void setStopCheck(std::function<bool()> check);

    // Makes each decoder's Chooser, on that decoder's thread; none (the
    // default) takes the frame at each position. Before start().
    void setChooserFactory(std::function<std::unique_ptr<Chooser>()> make);

    // Starts decoding the frames of source at positions with the tolerance
    // precision (ms). Stops an earlier start. An opened grabber of source,
    // when given, is the first decoder, which then does not open the file
    // again; it must not be used elsewhere until stop().
    void start(const QString &source, const QVector<Position> &positions, int precision,
               FrameGrabber *opened = nullptr);

    // Waits for the result of the next image and emits it: frameExtracted or
    // error, with the grabber's own message. False, emitting nothing, when
    // every image has been handed out or the fetching was aborted.
    bool extractNext();

    // Stops every decoder at its next check; extractNext() then returns false.
    void abort();
    // Aborts and waits until every decoder has stopped.
    void stop();

signals:
    // Before an image's frame, when its chooser took another frame.
    void note(QString text);
    void frameExtracted(media::VideoFrame frame);
    void error(QString errorMessage);

private:
    struct Run {
        int begin;
        int end;
    };
    struct Result {
        bool valid = false;
        media::VideoFrame frame;
        QString errorMessage;
        QString note;
    };

    static std::vector<Run> planRuns(const media::Demuxer &demuxer, const QVector<Position> &positions);
    void decodeRuns(FrameGrabber *opened);
    void abortDecoders();

    int m_decoderCount = 0;
    qint64 m_memoryBudget = qint64(1) << 30;
    bool m_keyFramesOnly = false;
    int m_decodersChosen = 0;
    std::function<bool()> m_stopCheck;
    std::function<std::unique_ptr<Chooser>()> m_makeChooser;
    QString m_source;
    QVector<Position> m_positions;
    int m_precision = 500;
    std::vector<std::unique_ptr<QThread>> m_threads;
    int m_activeDecoders = 0;

    // Shared with the decoder threads.
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Run> m_runs;
    size_t m_nextRun = 0;
    int m_next = 0;       // the position the caller takes next
    qint64 m_handedOut = 0;   // images of it handed out already
    int m_reserved = 0;   // positions started or done but not yet taken
    std::map<int, Result> m_results;
    std::vector<FrameGrabber *> m_grabbers;
    std::vector<Chooser *> m_choosers;
    std::atomic_bool m_aborted { false };
};
