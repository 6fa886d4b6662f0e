// Times the kernel resize that every batch frame and snapshot goes through:
// the engine's kernelResize, the plain reference it must match to the bit,
// and libswscale's Lanczos on the same input as an outside yardstick.
//
//   resizebench [repeats]
//
// Prints one line per case with the median and fastest of the repeats in
// milliseconds, and whether the engine's output equals the reference's.

#include "imaging/kernelresize.h"

#include "referenceresize.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

struct SwsContextFree {
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextFree>;

// An opaque frame-sized picture; the content does not change the work done.
QImage picture(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = random.generate() | 0xff000000u;
    }
    return image;
}

struct Timing {
    double median;
    double fastest;
};

Timing measure(int repeats, const std::function<void()> &work)
{
    work(); // warm-up: thread pool, caches, lazy allocations
    std::vector<double> times;
    for (int k = 0; k < repeats; ++k) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

// libswscale's Lanczos from BGRA to BGRA (Qt's ARGB32 on little-endian
// machines); the context is made once, as a video pipeline would keep it.
QImage swscaleLanczos(const SwsContextPtr &context, const QImage &source, const QSize &size)
{
    QImage output(size, QImage::Format_ARGB32);
    const uint8_t *sourcePlanes[] = {source.constBits()};
    const int sourceStrides[] = {int(source.bytesPerLine())};
    uint8_t *outputPlanes[] = {output.bits()};
    const int outputStrides[] = {int(output.bytesPerLine())};
    sws_scale(context.get(), sourcePlanes, sourceStrides, 0, source.height(), outputPlanes, outputStrides);
    return output;
}

struct Case {
    const char *name;
    QSize source;
    QRect crop; // the part of the source that is resized, as the pipeline cuts it
    QSize target;
    bool ignoreAspectRatio;
};

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int repeats = argc > 1 ? qMax(1, atoi(argv[1])) : 15;

    const std::vector<Case> cases = {
        {"1920x1080 -> 640x480, cut to fill (1440x1080 piece)", QSize(1920, 1080), QRect(240, 0, 1440, 1080),
         QSize(640, 480), true},
        {"1920x1080 -> 640x480, aspect kept (640x360)", QSize(1920, 1080), QRect(0, 0, 1920, 1080),
         QSize(640, 480), false},
        {"3840x2160 -> 320x180", QSize(3840, 2160), QRect(0, 0, 3840, 2160), QSize(320, 180), true},
    };

    std::printf("threads: %d, repeats: %d (median / fastest, ms)\n", QThread::idealThreadCount(), repeats);
    std::printf("%-54s %17s %17s %8s %17s %s\n", "case", "reference", "kernelResize", "speed-up",
                "swscale lanczos", "bit-identical");
    for (const Case &c : cases) {
        const QImage frame = picture(c.source);
        const QImage input = frame.copy(c.crop);
        const QImage engine = kernelResize(input, c.target, c.ignoreAspectRatio);
        const QImage reference = ReferenceResize::kernelResize(input, c.target, c.ignoreAspectRatio);
        const bool identical = engine == reference && engine.format() == reference.format();

        const Timing referenceTime = measure(repeats, [&] {
            ReferenceResize::kernelResize(input, c.target, c.ignoreAspectRatio);
        });
        const Timing engineTime = measure(repeats, [&] {
            kernelResize(input, c.target, c.ignoreAspectRatio);
        });
        const QSize outputSize = engine.size();
        const SwsContextPtr context(sws_getContext(input.width(), input.height(), AV_PIX_FMT_BGRA,
                                                   outputSize.width(), outputSize.height(), AV_PIX_FMT_BGRA,
                                                   SWS_LANCZOS, nullptr, nullptr, nullptr));
        if (!context) {
            std::fprintf(stderr, "swscale refused %s\n", c.name);
            return 1;
        }
        const Timing swscaleTime = measure(repeats, [&] { swscaleLanczos(context, input, outputSize); });

        std::printf("%-54s %7.2f / %7.2f %7.2f / %7.2f %7.1fx %7.2f / %7.2f %s\n", c.name, referenceTime.median,
                    referenceTime.fastest, engineTime.median, engineTime.fastest,
                    referenceTime.median / engineTime.median, swscaleTime.median, swscaleTime.fastest,
                    identical ? "yes" : "NO");
        if (!identical)
            return 1;
    }
    return 0;
}
