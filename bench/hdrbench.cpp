// Cost of turning HDR frames into SDR images, against decoding them and
// against converting SDR frames of the same size, at 1080p and 4K.
//
//   hdrbench [repeats]
//
// The clips (HEVC 10-bit, 12 frames of a moving test picture, made with the
// ffmpeg tool on first use) hold the same picture as SDR BT.709, as HLG and as
// PQ with highlights up to 1000 cd/m². For each clip it prints per frame the
// decode time (two decoder threads, as the grabber uses), the time of
// VideoFrame::toImage, and for HDR clips the part of it spent in
// ColourMapper::map (on a picture of bright colours), and the processor time
// libavfilter (zscale and tonemap, one thread) takes for the same conversion
// in the ffmpeg tool: decoding to BGRA with the filter chain against without.

#include "benchclip.h"
#include "media/colourmapper.h"
#include "media/demuxer.h"
#include "media/loglevel.h"
#include "media/videodecoder.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int clipFrames = 12;

struct Clip {
    QString name;
    QString size;
    QString transfer;  // empty for SDR
};

// Processor time in ms used so far by this process (all threads) or by its
// finished child processes.
double cpuMs(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

QString makeClip(const Clip &clip)
{
    const QString path = QDir(QStringLiteral(TINDRA_BENCH_CLIP_DIR)).filePath(clip.name);
    if (QFileInfo::exists(path))
        return path;
    QDir().mkpath(QStringLiteral(TINDRA_BENCH_CLIP_DIR));
    // The test picture's white becomes 1000 cd/m² in HDR: its white areas are highlights.
    // Grain, as cameras record, so that decoding costs what it does on real video.
    const QString source = QStringLiteral("testsrc2=size=%1:rate=25,noise=alls=12:allf=t,format=gbrp").arg(clip.size);
    const QString filter = clip.transfer.isEmpty()
        ? QStringLiteral("%1,format=yuv420p10le").arg(source)
        : QStringLiteral("%1,zscale=tin=bt709:pin=bt709:t=%2:p=bt2020:m=bt2020nc:r=limited:npl=1000,"
                         "format=yuv420p10le").arg(source, clip.transfer);
    const QString tags = clip.transfer.isEmpty()
        ? QStringLiteral("colorprim=bt709:transfer=bt709:colormatrix=bt709")
        : QStringLiteral("colorprim=bt2020:transfer=%1:colormatrix=bt2020nc%2")
              .arg(clip.transfer, clip.transfer == QLatin1String("smpte2084")
                                      ? QStringLiteral(":hdr10=1:max-cll=1000,400") : QString());
    QTextStream(stderr) << "Making " << path << " ...\n";
    const double ms = timeCommand(QStringLiteral("ffmpeg"),
                                  { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                                    QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), filter,
                                    QStringLiteral("-frames:v"), QString::number(clipFrames),
                                    QStringLiteral("-c:v"), QStringLiteral("libx265"),
                                    QStringLiteral("-preset"), QStringLiteral("ultrafast"),
                                    QStringLiteral("-x265-params"), QStringLiteral("log-level=error:") + tags,
                                    QStringLiteral("-y"), path });
    return ms < 0 ? QString() : path;
}

struct Cost {
    double wall = -1;  // ms per frame
    double cpu = -1;   // ms of processor time per frame, all threads
};

// Decodes every frame, keeping the first ones.
Cost decodeAll(const QString &path, std::vector<media::VideoFrame> &kept, size_t keep)
{
    media::Demuxer demuxer;
    demuxer.setMedia(path);
    if (!demuxer.load())
        return {};
    auto decoder = media::VideoDecoder::create(QStringLiteral("FFmpeg"));
    decoder->setCodecContext(demuxer.videoCodecContext());
    if (!decoder->open())
        return {};
    int frames = 0;
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs(RUSAGE_SELF);
    const auto take = [&]() {
        if (!decoder->frame().isValid())
            return;
        ++frames;
        if (kept.size() < keep)
            kept.push_back(decoder->frame());
    };
    while (!demuxer.atEnd()) {
        if (!demuxer.readFrame() || demuxer.stream() != demuxer.videoStream())
            continue;
        if (decoder->decode(demuxer.packet()))
            take();
    }
    while (decoder->decode(media::Packet()) && decoder->frame().isValid())
        take();
    if (!frames)
        return {};
    return { timer.nsecsElapsed() / 1e6 / frames, (cpuMs(RUSAGE_SELF) - cpuStart) / frames };
}

// The mapping alone, on a mid-grey-to-white R'G'B' picture of the frame's size
// (the upper half of the signal range, where the highlights are compressed).
double mapOnly(const media::VideoFrame &frame, int repeats, const Clip &clip)
{
    AVFrame *tags = av_frame_alloc();
    tags->color_primaries = AVCOL_PRI_BT2020;
    tags->color_trc = clip.transfer == QLatin1String("smpte2084") ? AVCOL_TRC_SMPTE2084 : AVCOL_TRC_ARIB_STD_B67;
    const int width = frame.width(), height = frame.height();
    const size_t plane = size_t(width) * height;
    std::vector<quint16> rgb(plane * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = quint16(32768 + (i % plane) * 32767 / plane);
    const uint8_t *planes[3] = { reinterpret_cast<const uint8_t *>(rgb.data()),
                                 reinterpret_cast<const uint8_t *>(rgb.data() + plane),
                                 reinterpret_cast<const uint8_t *>(rgb.data() + 2 * plane) };
    const int strides[3] = { width * 2, width * 2, width * 2 };
    std::vector<uchar> bgra(plane * 4);
    std::vector<double> times;
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer timer;
        timer.start();
        media::ColourMapper(tags).map(planes, strides, bgra.data(), width * 4, width, height);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    av_frame_free(&tags);
    return median(times);
}

// Processor time per frame the ffmpeg tool spends on a filter chain ending in
// BGRA, beyond decoding to BGRA with libswscale alone (least of three runs each).
double toolFilterCost(const QString &path, const QString &chain)
{
    const auto run = [&](const QString &filter) {
        double best = -1;
        for (int i = 0; i < 3; ++i) {
            const double start = cpuMs(RUSAGE_CHILDREN);
            const double wall = timeCommand(QStringLiteral("ffmpeg"),
                                          { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                                            QStringLiteral("-threads"), QStringLiteral("2"),
                                            QStringLiteral("-i"), path, QStringLiteral("-filter_threads"),
                                            QStringLiteral("1"), QStringLiteral("-vf"), filter,
                                            QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-") });
            if (wall < 0)
                return -1.0;
            const double ms = cpuMs(RUSAGE_CHILDREN) - start;
            best = best < 0 ? ms : std::min(best, ms);
        }
        return best;
    };
    const double plain = run(QStringLiteral("format=bgra"));
    const double filtered = run(chain + QStringLiteral(",format=bgra"));
    return plain < 0 || filtered < 0 ? -1 : (filtered - plain) / clipFrames;
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    media::setLogLevel(media::LogCritical);
    QTextStream out(stdout);
    const int repeats = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 5;
    if (repeats < 1) {
        out << "usage: hdrbench [repeats]\n";
        return 1;
    }

    const Clip clips[] = {
        { QStringLiteral("sdr10-1080p.mkv"), QStringLiteral("1920x1080"), QString() },
        { QStringLiteral("hlg-1080p.mkv"), QStringLiteral("1920x1080"), QStringLiteral("arib-std-b67") },
        { QStringLiteral("pq-1080p.mkv"), QStringLiteral("1920x1080"), QStringLiteral("smpte2084") },
        { QStringLiteral("sdr10-2160p.mkv"), QStringLiteral("3840x2160"), QString() },
        { QStringLiteral("pq-2160p.mkv"), QStringLiteral("3840x2160"), QStringLiteral("smpte2084") },
    };
    // Linear light with SDR white at 203 cd/m², BT.709 primaries, Hable's
    // curve, BT.709 signal: the usual libavfilter recipe.
    const QString chain = QStringLiteral("zscale=t=linear:npl=203,format=gbrpf32le,zscale=p=bt709,"
                                         "tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv");

    out << "ms per frame; wall: elapsed time, cpu: processor time of all threads\n";
    out << QString::asprintf("%-16s %8s %8s %8s %8s %8s %12s\n", "clip", "decode", "decode", "toImage", "toImage",
                             "map", "libavfilter");
    out << QString::asprintf("%-16s %8s %8s %8s %8s %8s %12s\n", "", "wall", "cpu", "wall", "cpu", "wall", "cpu");
    for (const Clip &clip : clips) {
        const QString path = makeClip(clip);
        if (path.isEmpty()) {
            out << "cannot make " << clip.name << "\n";
            return 1;
        }
        std::vector<media::VideoFrame> frames;
        const Cost decode = decodeAll(path, frames, 3);
        if (decode.wall < 0 || frames.empty()) {
            out << "cannot decode " << path << "\n";
            return 1;
        }
        std::vector<double> times;
        const double cpuStart = cpuMs(RUSAGE_SELF);
        for (int r = 0; r < repeats; ++r) {
            for (const media::VideoFrame &frame : frames) {
                QElapsedTimer timer;
                timer.start();
                const QImage image = frame.toImage(QImage::Format_ARGB32);
                times.push_back(timer.nsecsElapsed() / 1e6);
                if (image.isNull()) {
                    out << "cannot convert " << path << "\n";
                    return 1;
                }
            }
        }
        const double convertCpu = (cpuMs(RUSAGE_SELF) - cpuStart) / times.size();
        const bool hdr = !clip.transfer.isEmpty();
        const QString mapMs = hdr ? QString::number(mapOnly(frames.front(), repeats, clip), 'f', 1) : QStringLiteral("-");
        const QString toolMs = hdr ? QString::number(toolFilterCost(path, chain), 'f', 1) : QStringLiteral("-");
        out << QString::asprintf("%-16s %8.1f %8.1f %8.1f %8.1f %8s %12s\n", qPrintable(clip.name), decode.wall,
                                 decode.cpu, median(times), convertCpu, qPrintable(mapMs), qPrintable(toolMs));
        out.flush();
    }
    return 0;
}
