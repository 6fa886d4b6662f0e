#include "player.h"
#include "guilog.h"

#include "framecapture.h"
#include "lastpicturereader.h"
#include "mpvhandle.h"
#include "seeklanding.h"
#include "videofilters.h"
#include "videorenderer.h"

#include <mpv/client.h>

#include <QFileInfo>
#include <QImage>
#include <QTime>
#include <QTimer>

#include <cmath>
#include <utility>

namespace {

// Reply ids of asynchronous commands whose answer matters.
constexpr quint64 kCaptureReply = 1;
constexpr quint64 kMoveReply = 2;

enum ObservedProperty : quint64 { TimePos = 1, Duration, Pause, EofReached, DisplayWidth, DisplayHeight, Gamma };

qint64 toMs(double seconds)
{
    return std::llround(seconds * 1000.0);
}

// Playback that ends more than this before the end the header gives has run
// out of data; within it lie the last pictures of a complete file.
constexpr qint64 kEndMargin = 1000;

QString formatTime(qint64 ms)
{
    return QTime(0, 0).addMSecs(int(ms)).toString(QStringLiteral("hh:mm:ss.zzz"));
}

}

Player::Player(QObject *parent)
    : QObject(parent), m_mpv(std::make_unique<MpvHandle>()), m_capture(new FrameCapture(this)),
      m_notifyTimer(new QTimer(this))
{
    qRegisterMetaType<Player::State>();
    qRegisterMetaType<Player::MediaStatus>();

    // About twelve position updates a second are plenty for read-outs and the slider.
    m_lastPicture = new LastPictureReader(this);
    m_notifyTimer->setInterval(80);
    connect(m_notifyTimer, &QTimer::timeout, this, &Player::emitPositionIfMoved);
    // What the landing asks about, at the moment it decides.
    SeekLanding::Probes probes;
    probes.frameWaiting = [this] { return m_renderer->hasNewFrame(); };
    probes.paused = [this] { return m_mpv->flagProperty("pause"); };
    probes.frameDuration = [this] {
        const double fps = m_mpv->doubleProperty("container-fps", 25.0);
        return 1.0 / (fps > 0.0 ? fps : 25.0);
    };
    m_landing = new SeekLanding(std::move(probes), this);
    connect(m_landing, &SeekLanding::renderFrame, this, [this] { m_renderer->renderNow(); });
    connect(m_landing, &SeekLanding::demuxerOffsetChanged, this,
            [this](double seconds) { m_mpv->setProperty("hr-seek-demuxer-offset", seconds); });
    connect(m_landing, &SeekLanding::exactSeekNeeded, this, &Player::exactSeek);
    connect(m_landing, &SeekLanding::landed, this, &Player::landed);

    m_errorString = setUp();
    if (!m_errorString.isEmpty())
        m_mpv.reset();
    m_renderer = new VideoRenderer(m_mpv ? m_mpv->renderContext() : nullptr, this);
    connect(m_renderer, &VideoRenderer::frameArrived, this, &Player::handleRenderUpdate);
}

// Sets libmpv up; the reason when that failed.
QString Player::setUp()
{
    if (m_mpv->isNull())
        return tr("The media library could not be started.");
    const struct {
        const char *name;
        const char *value;
    } options[] = {
        { "vo", "libmpv" },          // frames only through the render API
        { "hwdec", "no" },
        { "keep-open", "yes" },      // pause on the last frame at the end
        { "idle", "yes" },
        { "hr-seek", "yes" },        // seeks land on the exact frame
        { "hr-seek-demuxer-offset", "0" }, // see fileLoaded()
        { "video-rotate", "no" },    // see VideoFilters::rotationFilter()
        { "audio-display", "no" },
        { "input-default-bindings", "no" },
        { "input-vo-keyboard", "no" },
        { "osc", "no" },
        { "load-scripts", "no" },
        { "ytdl", "no" },
        { "terminal", "no" },
        { "sub-auto", "no" },
        { "screenshot-high-bit-depth", "no" },
    };
    for (const auto &option : options)
        m_mpv->setOption(option.name, QString::fromLatin1(option.value));

    const int initialized = m_mpv->initialize();
    if (initialized < 0)
        return tr("The media library could not be started: %1").arg(MpvHandle::errorText(initialized));
    mpv_handle *mpv = m_mpv->get();
    mpv_observe_property(mpv, TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, Duration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, Pause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, EofReached, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, DisplayWidth, "dwidth", MPV_FORMAT_INT64);
    mpv_observe_property(mpv, DisplayHeight, "dheight", MPV_FORMAT_INT64);
    mpv_observe_property(mpv, Gamma, "video-params/gamma", MPV_FORMAT_STRING);
    mpv_hook_add(mpv, 0, "on_preloaded", 0);

    const int created = m_mpv->createRenderContext();
    if (created < 0)
        return tr("The video renderer could not be created: %1").arg(MpvHandle::errorText(created));

    // Called from libmpv's threads: it only queues work here. Queued calls to
    // a deleted player are dropped by Qt.
    mpv_set_wakeup_callback(
        mpv,
        [](void *player) {
            QMetaObject::invokeMethod(static_cast<Player *>(player), &Player::processEvents, Qt::QueuedConnection);
        },
        this);
    return QString();
}

Player::~Player() = default;

bool Player::isValid() const
{
    return m_mpv != nullptr;
}

void Player::setVideoWidget(VideoWidget *widget)
{
    m_renderer->setWidget(widget);
}

VideoWidget *Player::videoWidget() const
{
    return m_renderer->widget();
}

void Player::setAudioOutput(const QString &driver)
{
    if (m_mpv)
        m_mpv->setProperty("ao", driver);
}

void Player::setFile(const QString &file)
{
    if (file == m_file)
        return;
    stop();
    m_file = file;
}

qint64 Player::position() const
{
    if (!isPlaying())
        return 0;
    // Where sound outlasts the pictures libmpv's position runs on with it,
    // also after a seek past the end.
    const qint64 ms = toMs(m_landing->time());
    const qint64 last = m_lastPicture->known();
    return last >= 0 ? std::min(ms, last) : ms;
}

void Player::setVolume(qreal volume)
{
    if (m_mpv)
        m_mpv->setProperty("volume", qBound(0.0, volume, 1.0) * 100.0);
}

qint64 Player::droppedFrames() const
{
    if (!m_mpv || !isPlaying())
        return 0;
    return m_mpv->intProperty("frame-drop-count") + m_mpv->intProperty("decoder-frame-drop-count");
}

void Player::play(const QString &file)
{
    m_file = file;
    if (file.isEmpty()) {
        stop();
        return;
    }
    if (!m_mpv) {
        emit error(m_errorString);
        return;
    }
    if (!QFileInfo::exists(file)) {
        // libmpv would only say that loading failed. Reported once the call
        // has returned, as libmpv's failures are.
        stop();
        const QString message = tr("\"%1\" does not exist.").arg(QFileInfo(file).fileName());
        QTimer::singleShot(0, this, [this, file, message] {
            if (file != m_file)
                return;
            m_failed = true;
            setMediaStatus(InvalidMedia);
            setState(StoppedState);
            emit error(message);
        });
        return;
    }
    m_failed = false;
    m_mpv->setProperty("pause", false);
    // A local file whatever its name looks like (a name with "://" or a leading "-").
    commandAsync({ QStringLiteral("loadfile"), QFileInfo(file).absoluteFilePath(), QStringLiteral("replace") });
}

void Player::play()
{
    if (!m_mpv)
        return;
    if (!isPlaying()) {
        if (!m_file.isEmpty())
            play(m_file);
        return;
    }
    pause(false);
}

void Player::pause(bool paused)
{
    if (!m_mpv || !isPlaying())
        return;
    // As in every player, playing on from the end starts again.
    if (!paused && atEnd())
        seek(0);
    if (!paused)
        m_onLastPicture = false;
    m_mpv->setProperty("pause", paused);
}

// At the end, or on the last picture: playing on would end at once.
bool Player::atEnd()
{
    const qint64 last = m_lastPicture->time();
    return m_mediaStatus == EndOfMedia || (last >= 0 && position() >= last);
}

void Player::stop()
{
    if (m_mpv && m_mediaStatus != NoMedia)
        commandAsync({ QStringLiteral("stop") });
}

void Player::setPosition(qint64 ms)
{
    seek(ms);
}

void Player::seek(qint64 ms)
{
    if (!isPlaying())
        return;
    exactSeek(qBound<qint64>(0, ms, m_duration) / 1000.0);
}

void Player::seekToKeyFrame(qint64 ms)
{
    if (!isPlaying())
        return;
    m_landing->keyFrameSeekStarting();
    const double seconds = qBound<qint64>(0, ms, m_duration) / 1000.0;
    move({ QStringLiteral("seek"), QString::number(seconds, 'f', 6), QStringLiteral("absolute+keyframes") });
}

void Player::exactSeek(double seconds)
{
    m_landing->exactSeekStarting(seconds);
    move({ QStringLiteral("seek"), QString::number(seconds, 'f', 6), QStringLiteral("absolute+exact") });
}

void Player::stepForward()
{
    if (!isPlaying())
        return;
    if (m_mediaStatus == EndOfMedia && m_landing->isLanded()) {
        // Already on the last frame: nothing will move.
        QTimer::singleShot(0, m_landing, &SeekLanding::land);
        return;
    }
    m_landing->stepForwardStarting();
    move({ QStringLiteral("frame-step") });
}

void Player::stepBackward()
{
    if (!isPlaying())
        return;
    m_landing->stepBackwardStarting();
    move({ QStringLiteral("frame-back-step") });
}

void Player::move(const QStringList &arguments)
{
    if (!m_mpv)
        return;
    if (m_mpv->commandAsync(arguments, kMoveReply) < 0)
        return;
    m_onLastPicture = false;
    m_landing->moveSent();
}

void Player::commandAsync(const QStringList &arguments)
{
    if (m_mpv)
        m_mpv->commandAsync(arguments);
}

void Player::grabFrame()
{
    const int sent = m_mpv ? m_mpv->commandAsync({ QStringLiteral("screenshot-raw"), QStringLiteral("video") },
                                                 kCaptureReply)
                           : MPV_ERROR_UNINITIALIZED;
    if (sent < 0)
        QTimer::singleShot(0, this, [this, sent] { emit frameGrabbed(QImage(), MpvHandle::errorText(sent)); });
}

QString Player::videoGamma() const
{
    return m_mpv ? m_mpv->stringProperty("video-params/gamma") : QString();
}

QString Player::videoPrimaries() const
{
    return m_mpv ? m_mpv->stringProperty("video-params/primaries") : QString();
}

void Player::processEvents()
{
    while (m_mpv) {
        const mpv_event *event = mpv_wait_event(m_mpv->get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void Player::handleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE:
        handlePropertyChange(event);
        break;
    case MPV_EVENT_START_FILE:
        setMediaStatus(LoadingMedia);
        break;
    case MPV_EVENT_FILE_LOADED:
        fileLoaded();
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        fileEnded(end->reason, end->error);
        break;
    }
    case MPV_EVENT_HOOK:
        applyRotation();
        mpv_hook_continue(m_mpv->get(), static_cast<const mpv_event_hook *>(event.data)->id);
        break;
    case MPV_EVENT_SEEK:
        m_landing->seekStarted();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        m_landing->playbackRestarted(m_mpv->doubleProperty("time-pos", m_landing->time()));
        break;
    case MPV_EVENT_COMMAND_REPLY:
        if (event.reply_userdata == kMoveReply) {
            m_landing->moveReplied(event.error < 0);
        } else if (event.reply_userdata == kCaptureReply) {
            const auto *reply = static_cast<const mpv_event_command *>(event.data);
            if (event.error < 0)
                emit frameGrabbed(QImage(), MpvHandle::errorText(event.error));
            else
                emit frameGrabbed(MpvHandle::screenshotImage(&reply->result), QString());
        } else if (event.error < 0) {
            qCDebug(lcGui) << "command failed:" << MpvHandle::errorText(event.error);
        }
        break;
    default:
        break;
    }
}

void Player::handlePropertyChange(const mpv_event &event)
{
    const auto *property = static_cast<const mpv_event_property *>(event.data);
    const bool has = property->format != MPV_FORMAT_NONE && property->data;
    switch (event.reply_userdata) {
    case TimePos:
        // On the last picture libmpv's position follows the sound, which may
        // end elsewhere.
        if (has && !m_onLastPicture)
            m_landing->positionReported(*static_cast<double *>(property->data));
        break;
    case Duration: {
        const qint64 duration = has ? toMs(*static_cast<double *>(property->data)) : 0;
        if (duration != m_duration) {
            m_duration = duration;
            emit durationChanged(m_duration);
        }
        break;
    }
    case Pause:
        // A step plays one frame: the player stays paused throughout for its users.
        if (has && m_loaded && !m_landing->isStepping())
            setState(*static_cast<int *>(property->data) ? PausedState : PlayingState);
        m_landing->pauseReported();
        break;
    case EofReached:
        if (has && m_loaded) {
            const bool atEnd = *static_cast<int *>(property->data);
            if (atEnd) {
                if (m_lastPicture->time() >= 0)
                    showLastPicture();
                // Where sound outlasts the pictures libmpv may stay unpaused.
                m_mpv->setProperty("pause", true);
                setMediaStatus(EndOfMedia);
                checkEndedEarly();
                m_landing->endReached();
            } else if (m_mediaStatus == EndOfMedia) {
                setMediaStatus(LoadedMedia);
            }
        }
        break;
    case DisplayWidth:
    case DisplayHeight:
        updateVideoSize();
        break;
    case Gamma:
        updateToneMapping();
        break;
    default:
        break;
    }
}

void Player::handleRenderUpdate()
{
    if (!m_landing->frameArrived())
        m_renderer->present();
}

void Player::fileLoaded()
{
    if (m_mpv->intProperty("current-tracks/video/id", -1) < 0) {
        m_failed = true;
        setMediaStatus(InvalidMedia);
        emit error(tr("\"%1\" holds no video.").arg(QFileInfo(m_file).fileName()));
        stop();
        return;
    }
    m_loaded = true;
    m_landing->fileLoaded(m_mpv->stringProperty("file-format").contains(QLatin1String("mpegts")));
    m_endedEarly = false;
    m_onLastPicture = false;
    m_lastPicture->read(QFileInfo(m_file).absoluteFilePath());
    setMediaStatus(LoadedMedia);
    setState(m_mpv->flagProperty("pause") ? PausedState : PlayingState);
    emit started();
    emitPositionIfMoved();
}

void Player::showLastPicture()
{
    m_onLastPicture = true;
    m_landing->setTime(m_lastPicture->known() / 1000.0);
}

// A file cut short (a download or copy that stopped) ends where its data
// does, long before the end its header gives: the user must be told.
void Player::checkEndedEarly()
{
    const qint64 end = toMs(m_mpv->doubleProperty("time-pos", m_landing->time()));
    if (m_endedEarly || m_duration - end <= kEndMargin)
        return;
    m_endedEarly = true;
    emit endedEarly(tr("\"%1\" ends early: its pictures stop at %2, but the file should last %3. "
                       "The rest is missing or damaged.")
                        .arg(QFileInfo(m_file).fileName(), formatTime(end), formatTime(m_duration)));
}

void Player::fileEnded(int reason, int failure)
{
    const bool wasLoaded = m_loaded;
    m_loaded = false;
    m_lastPicture->forget();
    m_onLastPicture = false;
    m_landing->fileEnded();
    if (reason == MPV_END_FILE_REASON_ERROR) {
        m_failed = true;
        setMediaStatus(InvalidMedia);
        setState(StoppedState);
        emit error(tr("\"%1\" cannot be played: %2.")
                       .arg(QFileInfo(m_file).fileName(), MpvHandle::errorText(failure)));
        return;
    }
    if (!m_failed)
        setMediaStatus(NoMedia);
    setState(StoppedState);
    if (wasLoaded) {
        emit stopped();
        emitPositionIfMoved();
    }
}

// Runs before the decoders and filters are made, so the first frame already
// comes out upright: the turn of the first video track, which is the one played.
void Player::applyRotation()
{
    int rotation = 0;
    const qint64 tracks = m_mpv->intProperty("track-list/count");
    for (qint64 i = 0; i < tracks; ++i) {
        const QByteArray track = "track-list/" + QByteArray::number(i);
        if (m_mpv->stringProperty((track + "/type").constData()) == QLatin1String("video")
            && !m_mpv->flagProperty((track + "/albumart").constData())) {
            rotation = int(m_mpv->intProperty((track + "/demux-rotation").constData()));
            break;
        }
    }
    m_rotationFilter = VideoFilters::rotationFilter(rotation);
    m_toneMapFilter.clear();
    applyFilters();
}

void Player::updateToneMapping()
{
    m_toneMapFilter = VideoFilters::toneMapFilter(videoGamma());
    applyFilters();
}

void Player::applyFilters()
{
    const QString chain = VideoFilters::chain({ m_rotationFilter, m_toneMapFilter });
    if (chain != m_filter) {
        m_filter = chain;
        m_mpv->setProperty("vf", chain);
    }
}

void Player::updateVideoSize()
{
    const QSize size(int(m_mpv->intProperty("dwidth")), int(m_mpv->intProperty("dheight")));
    const QSize shown = m_loaded && size.width() > 0 && size.height() > 0 ? size : QSize();
    if (shown != m_videoSize) {
        m_videoSize = shown;
        emit videoSizeChanged(m_videoSize);
    }
}

void Player::setState(State state)
{
    if (state == m_state)
        return;
    const bool wasPaused = m_state == PausedState;
    m_state = state;
    if (m_state == PlayingState)
        m_notifyTimer->start();
    else
        m_notifyTimer->stop();
    m_renderer->setShowing(m_state != StoppedState);
    emit stateChanged(m_state);
    if (wasPaused != (m_state == PausedState))
        emit paused(m_state == PausedState);
}

void Player::setMediaStatus(MediaStatus status)
{
    if (status == m_mediaStatus)
        return;
    m_mediaStatus = status;
    emit mediaStatusChanged(m_mediaStatus);
}

void Player::emitPositionIfMoved()
{
    const qint64 now = position();
    if (now == m_lastNotifiedPosition)
        return;
    m_lastNotifiedPosition = now;
    emit positionChanged(now);
}

// The move's frame is on show.
void Player::landed(double target)
{
    // Near the end libmpv's position follows the sound, before or past the
    // last picture; its time must then be known before the landing is told.
    // A seek at or past it shows that picture.
    if (m_duration > 0 && std::max(toMs(m_landing->time()), toMs(target)) > m_duration - kEndMargin) {
        const qint64 last = m_lastPicture->time();
        if (last >= 0 && target >= 0.0 && toMs(target) >= last)
            showLastPicture();
    }
    if (m_loaded)
        setState(m_mpv->flagProperty("pause") ? PausedState : PlayingState);
    emitPositionIfMoved();
    emit seekFinished(displayPosition());
}
