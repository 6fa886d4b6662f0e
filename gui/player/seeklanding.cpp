#include "seeklanding.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Seconds an exact seek starts reading before its target; MPEG-TS needs some.
constexpr double kDemuxerOffset = 1.5;

}

SeekLanding::SeekLanding(Probes probes, QObject *parent)
    : QObject(parent), m_probes(std::move(probes)), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &SeekLanding::land);
}

void SeekLanding::fileLoaded(bool mpegTs)
{
    m_firstFrame = true;
    m_time = 0.0;
    m_seekTarget = -1.0;
    // Reading from before the target costs a whole extra group of pictures
    // when the target lies just after a key frame, so only MPEG-TS starts so.
    setDemuxerOffset(mpegTs ? kDemuxerOffset : 0.0);
    m_wait = Landed;
    m_backStepFrom = -1.0;
}

void SeekLanding::fileEnded()
{
    m_time = 0.0;
    m_wait = Landed;
    m_backStepFrom = -1.0;
}

void SeekLanding::exactSeekStarting(double seconds)
{
    m_backStepFrom = -1.0;
    m_time = seconds;
    m_seekTarget = seconds;
    m_sending = AwaitRestart;
}

void SeekLanding::keyFrameSeekStarting()
{
    m_backStepFrom = -1.0;
    m_seekTarget = -1.0;
    m_sending = AwaitRestart;
}

void SeekLanding::stepForwardStarting()
{
    m_stepFrom = m_time;
    m_backStepFrom = -1.0;
    m_seekTarget = -1.0;
    m_sending = AwaitStep;
}

void SeekLanding::stepBackwardStarting()
{
    m_backStepFrom = m_time;
    m_seekTarget = -1.0;
    m_sending = AwaitRestart;
}

// A seek or step has landed once libmpv has taken its command (the reply) and
// then restarted playback (seeks) or moved on by a frame and paused (steps).
// Events before the reply belong to earlier moves.
void SeekLanding::moveSent()
{
    ++m_movesInFlight;
    // A step sent while a seek is on its way still waits for the seek's frame first.
    if (!(m_sending == AwaitStep && m_wait == AwaitRestart))
        m_wait = m_sending;
}

void SeekLanding::moveReplied(bool refused)
{
    --m_movesInFlight;
    m_frameSinceMove = false;
    // A refused move changes nothing: it has landed where it is.
    if (refused && m_movesInFlight == 0 && m_wait != Landed)
        land();
    else
        checkStepLanded();
}

void SeekLanding::seekStarted()
{
    // The output has dropped the frames from before the seek.
    m_frameSinceMove = false;
}

void SeekLanding::playbackRestarted(double seconds)
{
    // The first restart of a file shows its first frame.
    if ((m_wait == AwaitRestart && m_movesInFlight == 0) || (m_wait == Landed && m_firstFrame)) {
        m_firstFrame = false;
        m_time = seconds;
        awaitFrame();
    }
}

void SeekLanding::positionReported(double seconds)
{
    // While a seek is on its way the time is its target.
    if (m_wait == AwaitRestart)
        return;
    m_time = seconds;
    checkStepLanded();
}

void SeekLanding::pauseReported()
{
    checkStepLanded();
}

void SeekLanding::endReached()
{
    if (m_wait == AwaitStep)
        land();
}

bool SeekLanding::frameArrived()
{
    m_frameSinceMove = true;
    // Frames are rendered at once: libmpv's output drops a frame nobody renders in time.
    if (m_wait != AwaitFrame)
        return false;
    emit renderFrame();
    land();
    return true;
}

void SeekLanding::checkStepLanded()
{
    if (m_wait == AwaitStep && std::abs(m_time - m_stepFrom) > 1e-6 && m_probes.paused())
        awaitFrame();
}

// libmpv's video output has a thread of its own: the frame of a finished seek
// may reach the render context a little before or after libmpv reports the
// restart. A move lands once a frame has come since the seek began (or the
// step was taken) and has been rendered; should none come, it lands a second
// later anyway.
void SeekLanding::awaitFrame()
{
    m_wait = AwaitFrame;
    if (m_frameSinceMove || m_probes.frameWaiting()) {
        emit renderFrame();
        land();
        return;
    }
    m_timer->start();
}

void SeekLanding::land()
{
    m_timer->stop();
    const double frameDuration = m_probes.frameDuration();
    // In MPEG-TS libmpv's step back from a key frame can stay where it was:
    // an exact seek one frame duration back reaches the previous frame.
    const double backFrom = std::exchange(m_backStepFrom, -1.0);
    if (backFrom > 0.0 && m_time >= backFrom - 1e-6 && m_movesInFlight == 0) {
        emit exactSeekNeeded(std::max(0.0, backFrom - frameDuration));
        return;
    }
    // MPEG-TS demuxers may also land after the key frame the target needs, and
    // the decoder then starts at a later one: seek again from further back.
    // (libmpv shows the first frame starting at most 5 ms before the target.)
    const double target = std::exchange(m_seekTarget, -1.0);
    if (target >= 0.0 && m_time > target + frameDuration - 0.005 && m_movesInFlight == 0
        && m_demuxerOffset < 64.0) {
        setDemuxerOffset(std::max(kDemuxerOffset, m_demuxerOffset * 2.0));
        emit exactSeekNeeded(target);
        return;
    }
    m_wait = Landed;
    emit landed(target);
}

void SeekLanding::setDemuxerOffset(double seconds)
{
    if (seconds == m_demuxerOffset)
        return;
    m_demuxerOffset = seconds;
    emit demuxerOffsetChanged(m_demuxerOffset);
}
