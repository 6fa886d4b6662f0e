// Time per frame of FrameGrabber against the ffmpeg tool doing the same
// accurate seeks, on a long-GOP 1080p clip.
//
//   grabberbench [frames] [clip]
//
// Both deliver each frame as 32-bit BGRA pixels: the grabber through
// VideoFrame::toImage, the tool as raw video written to /dev/null.

#include "benchclip.h"
#include "capture/framegrabber.h"
#include "media/loglevel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    media::setLogLevel(media::LogCritical);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    const int frames = args.size() > 1 ? args.at(1).toInt() : 20;
    const QString clip = args.size() > 2 ? args.at(2) : benchClip();
    if (frames < 1 || clip.isEmpty()) {
        out << "usage: grabberbench [frames] [clip]\n";
        return 1;
    }

    FrameGrabber grabber;
    grabber.setSource(clip);
    const qint64 duration = grabber.duration();
    if (duration <= 0) {
        out << "cannot open " << clip << "\n";
        return 1;
    }
    QVector<qint64> positions;
    for (int i = 0; i < frames; ++i)
        positions.append(duration * (2 * i + 1) / (2 * frames));

    int good = 0;
    QObject::connect(&grabber, &FrameGrabber::frameExtracted, [&](const media::VideoFrame &frame) {
        if (!frame.toImage(QImage::Format_ARGB32).isNull())
            ++good;
    });
    QElapsedTimer timer;
    timer.start();
    for (qint64 pos : qAsConst(positions)) {
        grabber.setPosition(pos);
        grabber.extract();
    }
    const double grabberMs = timer.nsecsElapsed() / 1e6 / frames;
    if (good != frames) {
        out << "the grabber delivered " << good << " of " << frames << " frames\n";
        return 1;
    }

    double toolTotal = 0;
    for (qint64 pos : qAsConst(positions)) {
        const double ms = timeCommand(QStringLiteral("ffmpeg"),
                                      { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                                        QStringLiteral("-ss"), QString::number(pos / 1000.0, 'f', 3),
                                        QStringLiteral("-i"), clip, QStringLiteral("-frames:v"), QStringLiteral("1"),
                                        QStringLiteral("-pix_fmt"), QStringLiteral("bgra"), QStringLiteral("-f"),
                                        QStringLiteral("rawvideo"), QStringLiteral("-y"), QStringLiteral("/dev/null") });
        if (ms < 0) {
            out << "the ffmpeg tool failed at " << pos << " ms\n";
            return 1;
        }
        toolTotal += ms;
    }
    const double toolMs = toolTotal / frames;

    out << "clip: " << clip << " (" << duration << " ms), " << frames << " frames at spread positions\n";
    out << QString::asprintf("FrameGrabber:     %8.1f ms per frame\n", grabberMs);
    out << QString::asprintf("ffmpeg -ss -i:    %8.1f ms per frame\n", toolMs);
    out << QString::asprintf("ratio grabber/ffmpeg: %.2f (goal: at most 0.50)\n", grabberMs / toolMs);
    return 0;
}
