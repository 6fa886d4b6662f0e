// Desktop player figures: playback of a 1080p clip in an 800 x 450 video
// widget (frames dropped by libmpv, CPU time used), then seek, step and
// snapshot times, each the median of 20.
#include "benchclip.h"

#include "player/framecapture.h"
#include "player/player.h"
#include "player/videowidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

namespace {

double cpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Median in ms of 20 runs of an action that ends with a signal.
template <typename Sender, typename Signal>
double median(Sender *sender, Signal signal, const std::function<void(int)> &prepare,
              const std::function<void()> &action)
{
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        prepare(i);
        QSignalSpy spy(sender, signal);
        QElapsedTimer timer;
        timer.start();
        action();
        if (!spy.wait(10000))
            return -1;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return (times[9] + times[10]) / 2;
}

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QString clip = argc > 1 ? QString::fromLocal8Bit(argv[1]) : benchClip();
    if (clip.isEmpty())
        return 1;

    VideoWidget widget;
    Player player;
    player.setAudioOutput(QStringLiteral("null"));
    player.setVideoWidget(&widget);
    widget.resize(800, 450);
    widget.show();

    QSignalSpy started(&player, &Player::started);
    player.play(clip);
    if (!started.wait(10000))
        return 1;
    out << "clip " << clip << ", " << player.videoSize().width() << "x" << player.videoSize().height() << "\n";

    // Playback: 10 s of wall time.
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double cpu = cpuSeconds() - cpuBefore;
    out << "play 10 s: position " << player.position() << " ms, frames dropped " << player.droppedFrames()
        << ", CPU " << QString::number(cpu, 'f', 2)
        << " s (" << QString::number(100 * cpu / (wall.elapsed() / 1000.0), 'f', 0) << "% of one core)\n";
    player.pause(true);

    const auto noPrep = [](int) {};
    // Targets all over the 60 s clip, half way between key frames and further.
    int target = 0;
    const double seekMs = median(&player, &Player::seekFinished, [&](int i) { target = 1000 + i * 2930 % 58000; },
                                 [&] { player.seek(target); });
    out << "seek to a frame shown (median of 20): " << QString::number(seekMs, 'f', 1) << " ms\n";
    // The same targets as a dragged slider follows them: the key frame next to each.
    const double keyFrameMs = median(&player, &Player::seekFinished,
                                     [&](int i) { target = 1000 + i * 2930 % 58000; },
                                     [&] { player.seekToKeyFrame(target); });
    out << "seek to a key frame (median of 20): " << QString::number(keyFrameMs, 'f', 1) << " ms\n";

    const double stepMs = median(&player, &Player::seekFinished, noPrep, [&] { player.stepForward(); });
    out << "step forward: " << QString::number(stepMs, 'f', 1) << " ms\n";

    // Back over the key frame at 10 s: from its frame to the one before.
    const double backMs = median(
        &player, &Player::seekFinished,
        [&](int) {
            QSignalSpy landed(&player, &Player::seekFinished);
            player.seek(10000);
            landed.wait(10000);
        },
        [&] { player.stepBackward(); });
    out << "step back over a key frame: " << QString::number(backMs, 'f', 1) << " ms\n";

    const double shotMs = median(player.videoCapture(), &FrameCapture::imageCaptured, noPrep,
                                 [&] { player.videoCapture()->capture(); });
    out << "snapshot to QImage: " << QString::number(shotMs, 'f', 1) << " ms\n";
    return 0;
}
