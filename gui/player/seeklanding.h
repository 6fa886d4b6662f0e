#pragma once

#include <QObject>

#include <functional>

class QTimer;

// When a seek or frame step of the player has landed: its frame is on show
// and the time it reports is that frame's. libmpv answers a move in pieces on
// several threads (the command's reply, the playback restart, the new time,
// the frame reaching the render context), in an order that varies, and
// MPEG-TS files may land on the wrong frame. This class follows those pieces
// and says what the player must do next: render the frame now, seek again
// (from further back in MPEG-TS), or report the landing.
//
// It knows nothing of libmpv: the player feeds it the events and the three
// facts it asks about at the moment it decides (a frame is waiting in the
// render context, libmpv is paused, the duration of a frame).
//
// Thread: GUI thread. Every signal is emitted from within the call that
// causes it.
class SeekLanding : public QObject
{
    Q_OBJECT

public:
    struct Probes {
        std::function<bool()> frameWaiting;
        std::function<bool()> paused;
        // Seconds.
        std::function<double()> frameDuration;
    };

    explicit SeekLanding(Probes probes, QObject *parent = nullptr);

    // Time of the frame on show (s), or the target of the seek on its way.
    double time() const { return m_time; }
    void setTime(double seconds) { m_time = seconds; }
    // Nothing is on its way.
    bool isLanded() const { return m_wait == Landed; }
    // A forward step is on its way: it plays a frame, the player stays paused.
    bool isStepping() const { return m_wait == AwaitStep || m_wait == AwaitFrame; }
    // A seek waits for libmpv to restart playback: the time reported meanwhile
    // is from before it.
    bool awaitsRestart() const { return m_wait == AwaitRestart; }

    // A file was loaded; its first frame is on its way. MPEG-TS seeks start
    // reading a little before their target.
    void fileLoaded(bool mpegTs);
    void fileEnded();

    // Each move first says where it goes, then, once libmpv has taken its
    // command, moveSent().
    void exactSeekStarting(double seconds);
    void keyFrameSeekStarting();
    void stepForwardStarting();
    void stepBackwardStarting();
    void moveSent();

    // libmpv's events.
    void moveReplied(bool refused);
    void seekStarted();
    void playbackRestarted(double seconds);
    void positionReported(double seconds);
    void pauseReported();
    void endReached();
    // True when the frame was the one awaited, rendered through renderFrame().
    bool frameArrived();

public slots:
    // Stops waiting: the move has landed wherever it is (also when the
    // fallback timer fires).
    void land();

signals:
    // Render the frame waiting in the render context now.
    void renderFrame();
    // Where exact seeks start reading before their target (s) has changed.
    void demuxerOffsetChanged(double seconds);
    // The move landed beside its frame: seek exactly to seconds, through
    // exactSeekStarting() and moveSent() like any other seek.
    void exactSeekNeeded(double seconds);
    // The move has landed. target is the exact seek's (s), negative for
    // other moves.
    void landed(double target);

private:
    enum Wait { Landed, AwaitRestart, AwaitStep, AwaitFrame };

    void checkStepLanded();
    void awaitFrame();
    void setDemuxerOffset(double seconds);

    Probes m_probes;
    QTimer *m_timer;
    // What the last seek or step waits for before its frame is on show.
    Wait m_wait = Landed;
    // What the move being sent will wait for.
    Wait m_sending = Landed;
    double m_time = 0.0;
    int m_movesInFlight = 0;
    bool m_firstFrame = false;
    // A new frame reached the render context since libmpv took the last move.
    bool m_frameSinceMove = false;
    // A forward step has landed when the time moves on from here.
    double m_stepFrom = 0.0;
    // Where a backward step started; negative when none is on its way.
    double m_backStepFrom = -1.0;
    // Target of the last exact seek (s); negative when none is on its way.
    double m_seekTarget = -1.0;
    double m_demuxerOffset = 0.0;
};
