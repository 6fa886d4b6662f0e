#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

class FrameCapture;
class LastPictureReader;
class MpvHandle;
class QImage;
class QStringList;
class QTimer;
class SeekLanding;
class VideoRenderer;
class VideoWidget;
struct mpv_event;

// The desktop program's media player: plays one file at a time through libmpv
// into a VideoWidget, seeks and steps to exact frames, and hands snapshots of
// the frame on show to its FrameCapture.
//
// It is the facade: it sets libmpv up, keeps the state its users see and
// hands libmpv's events on. Frames reach the widget through a VideoRenderer,
// a SeekLanding tells when a seek or step has landed, and the filters come
// from VideoFilters.
//
// Positions and durations are milliseconds from the first frame of the media
// (a stream whose clock starts at 1.4 s still starts at 0 here). Opening a file
// starts playing it; at the end the player pauses on the last frame. Position
// updates are coalesced to about twelve a second.
//
// Thread: create, use and delete it on the GUI thread. libmpv's own threads
// only post events to it; every signal is emitted on the GUI thread. It may
// be deleted in any state (playing, seeking, capturing).
class Player : public QObject
{
    Q_OBJECT

public:
    enum State { StoppedState, PlayingState, PausedState };
    Q_ENUM(State)
    enum MediaStatus { NoMedia, LoadingMedia, LoadedMedia, EndOfMedia, InvalidMedia };
    Q_ENUM(MediaStatus)

    explicit Player(QObject *parent = nullptr);
    ~Player() override;

    // False when libmpv could not be set up; errorString() tells why and
    // nothing will play.
    bool isValid() const;
    QString errorString() const { return m_errorString; }

    // The widget the video is painted into; the player does not own it. It may
    // be deleted before the player.
    void setVideoWidget(VideoWidget *widget);
    VideoWidget *videoWidget() const;
    // The snapshot taker of this player; owned by the player.
    FrameCapture *videoCapture() const { return m_capture; }

    // Audio output driver of libmpv for the next file ("null" plays silently);
    // empty picks the system's output. Without a working output playback goes
    // on silently.
    void setAudioOutput(const QString &driver);

    QString file() const { return m_file; }
    // Remembers the file for play(); a different file stops the current one,
    // an empty name unloads.
    void setFile(const QString &file);

    State state() const { return m_state; }
    MediaStatus mediaStatus() const { return m_mediaStatus; }
    // A file is loaded: playing or paused.
    bool isPlaying() const { return m_state != StoppedState; }
    bool isPaused() const { return m_state == PausedState; }

    qint64 duration() const { return m_duration; }
    // Playback position (ms); never past the file's last picture, whose time
    // it is while that picture stays on show at the end.
    qint64 position() const;
    // Time of the frame on show (ms): position() under the name the main
    // window reads, which is the frame's time once a seek or step has finished.
    qint64 displayPosition() const { return position(); }

    // Audio volume from 0.0 to 1.0; muting is volume 0.
    void setVolume(qreal volume);

    // Size of the video as shown and captured: upright, at the display aspect.
    // Empty while no video is loaded.
    QSize videoSize() const { return m_videoSize; }
    // Frames libmpv dropped in the decoder or the video output since the file opened.
    qint64 droppedFrames() const;
    // The colours of the video on show in libmpv's names: the transfer curve
    // ("pq", "hlg", "bt.1886"...) and the primaries ("bt.709", "bt.2020"...).
    // Empty while no video is loaded.
    QString videoGamma() const;
    QString videoPrimaries() const;

    // Asks libmpv for the frame on show at the video's resolution, upright and
    // at the display aspect; frameGrabbed() follows once, later.
    void grabFrame();

public slots:
    // Opens file and plays it; an empty name unloads.
    void play(const QString &file);
    // Plays the current file: from the start when stopped or at the end,
    // otherwise resumes.
    void play();
    // Resuming on the last picture, or at the end, plays from the start.
    void pause(bool paused = true);
    // Unloads the file; file() stays for a later play().
    void stop();
    // Both go to the frame shown at ms (the first frame starting at or after
    // it), not to the nearest key frame, and keep the paused state.
    void setPosition(qint64 ms);
    void seek(qint64 ms);
    // Goes to a key frame next to ms, which shows at once where an exact seek
    // decodes on from the key frame before: for following a dragged slider.
    // Keeps the paused state.
    void seekToKeyFrame(qint64 ms);
    // Pause and show exactly the next or previous frame.
    void stepForward();
    void stepBackward();

signals:
    void started();
    void stopped();
    void paused(bool paused);
    void stateChanged(Player::State state);
    void mediaStatusChanged(Player::MediaStatus status);
    void durationChanged(qint64 duration);
    void positionChanged(qint64 position);
    // The interval between two positionChanged signals changed. It is fixed
    // (about twelve a second), so this never comes; the main window connects
    // it to refresh its slider unit.
    void notifyIntervalChanged();
    void videoSizeChanged(const QSize &size);
    // A seek or frame step has finished and its frame is on show; also when
    // the first frame of a file is on show.
    void seekFinished(qint64 position);
    // The file cannot be played (or holds no video); the player has stopped.
    void error(const QString &message);
    // The pictures stop well before the file's duration (a file cut short):
    // playback ended there, paused on the last picture that could be shown.
    void endedEarly(const QString &message);
    // The answer to grabFrame(): the frame (Format_ARGB32), or a null image
    // with libmpv's reason, empty when the output gave no picture.
    void frameGrabbed(const QImage &image, const QString &error);

private:
    QString setUp();
    void processEvents();
    void handleEvent(const mpv_event &event);
    void handlePropertyChange(const mpv_event &event);
    void handleRenderUpdate();
    void fileLoaded();
    void fileEnded(int reason, int failure);
    void applyRotation();
    void updateToneMapping();
    void applyFilters();
    void updateVideoSize();
    void setState(State state);
    void setMediaStatus(MediaStatus status);
    void emitPositionIfMoved();
    bool atEnd();
    void showLastPicture();
    void checkEndedEarly();
    void commandAsync(const QStringList &arguments);
    void move(const QStringList &arguments);
    void exactSeek(double seconds);
    void landed(double target);

    std::unique_ptr<MpvHandle> m_mpv;
    VideoRenderer *m_renderer = nullptr;
    FrameCapture *m_capture = nullptr;
    QTimer *m_notifyTimer = nullptr;
    SeekLanding *m_landing = nullptr;
    QString m_errorString;
    QString m_file;
    State m_state = StoppedState;
    MediaStatus m_mediaStatus = NoMedia;
    qint64 m_duration = 0;
    qint64 m_lastNotifiedPosition = -1;
    QSize m_videoSize;
    QString m_rotationFilter;
    QString m_toneMapFilter;
    QString m_filter;
    bool m_loaded = false;
    bool m_failed = false;
    LastPictureReader *m_lastPicture = nullptr;
    // The last picture is on show at the end: the position is its time.
    bool m_onLastPicture = false;
    bool m_endedEarly = false;
};
