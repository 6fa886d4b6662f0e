// File size and encode time of one 1080p frame per image type and quality,
// written as the programs write images: through ImageWriter (encoded in
// memory, temporary file, moved into place).
//
//   encodebench [repeats]
//
// The frame is the one at 30 s of the benchmarks' clip (a moving test
// picture: hard edges and flat areas, so sizes differ from camera footage).
// Prints one line per type and quality: the file size and the median and
// fastest of the repeats in milliseconds.

#include "benchclip.h"
#include "capture/framegrabber.h"
#include "imaging/imagewriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QImage frameAt(const QString &clip, qint64 ms)
{
    FrameGrabber grabber;
    QImage image;
    QObject::connect(&grabber, &FrameGrabber::frameExtracted,
                     [&](const media::VideoFrame &frame) { image = frame.toImage(QImage::Format_ARGB32); });
    grabber.setSource(clip);
    grabber.extractAt(ms);
    return image;
}

struct Case {
    const char *type;
    int quality;   // -1: Qt's default
};

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int repeats = argc > 1 ? qMax(1, atoi(argv[1])) : 11;
    const QString clip = benchClip();
    const QImage frame = clip.isEmpty() ? QImage() : frameAt(clip, 30000);
    if (frame.isNull()) {
        std::fprintf(stderr, "no frame from the benchmark clip\n");
        return 1;
    }
    QTemporaryDir dir;
    const std::vector<Case> cases = {
        { "jpeg", 50 }, { "jpeg", -1 }, { "jpeg", 90 }, { "jpeg", 95 }, { "jpeg", 100 },
        { "webp", 50 }, { "webp", -1 }, { "webp", 90 }, { "webp", 100 },
        { "png", -1 },
    };
    std::printf("frame %dx%d, repeats: %d\n", frame.width(), frame.height(), repeats);
    std::printf("%-6s %8s %10s %18s\n", "type", "quality", "size (KB)", "median / fastest ms");
    int file = 0;
    for (const Case &c : cases) {
        std::vector<double> times;
        qint64 size = 0;
        for (int k = 0; k <= repeats; ++k) {
            const QString path = dir.filePath(QStringLiteral("%1.%2").arg(++file).arg(QLatin1String(c.type)));
            QElapsedTimer timer;
            timer.start();
            const ImageWriter::Result result = ImageWriter::write(frame, path, ImageWriter::Mode::CreateNew, c.quality);
            const double ms = timer.nsecsElapsed() / 1e6;
            if (!result.written()) {
                std::fprintf(stderr, "%s: %s\n", c.type, qPrintable(result.reason));
                return 1;
            }
            size = QFileInfo(path).size();
            QFile::remove(path);
            if (k > 0)   // the first is a warm-up
                times.push_back(ms);
        }
        std::sort(times.begin(), times.end());
        std::printf("%-6s %8s %10.0f %8.1f / %7.1f\n", c.type,
                    c.quality < 0 ? "default" : qPrintable(QString::number(c.quality)), size / 1024.0,
                    times[times.size() / 2], times.front());
    }
    return 0;
}
