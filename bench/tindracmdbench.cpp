// Time per image of a whole tindracmd job against the ffmpeg tool making the
// same images (accurate seek, centre crop to 4:3, scaled to 640 x 480,
// written as JPEG), on 1080p clips of 2 minutes with a key frame every 10 s
// (long groups of pictures) and every second (short ones), and the peak
// memory of a job on a 4K clip.
//
//   tindracmdbench [images]
//   tindracmdbench sheet
//
// With "sheet" it measures contact sheets instead: the peak memory and time
// of tindracmd --sheet on the 4K clip and on a 2-hour clip, against the same
// frames taken as separate images.
//
// tindracmd runs with one decoder (--threads 1) and with one per core (the
// default). The worker pauses 100 ms after every image; the figures without
// that pause come from the same batch worker run in this process with the
// pause set to 0, since the pause now overlaps decoding and can no longer
// simply be subtracted.

#include "benchclip.h"
#include "benchprocess.h"
#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "capture/framegrabber.h"
#include "media/loglevel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

namespace {

struct Clip {
    const char *name;
    const char *size;
    int seconds;
    int keyInterval;   // frames, at 25 per second
};

const Clip LongGop { "long-gop-1080p-120s.mp4", "1920x1080", 120, 250 };
const Clip ShortGop { "short-gop-1080p-120s.mp4", "1920x1080", 120, 25 };
const Clip Uhd { "long-gop-2160p-20s.mp4", "3840x2160", 20, 250 };
const Clip TwoHours { "long-gop-180p-2h.mp4", "320x180", 7200, 250 };

// Makes the clip on first use; an empty string when that fails.
QString clipPath(const Clip &clip)
{
    return generatedClip(QLatin1String(clip.name), QLatin1String(clip.size), clip.seconds, clip.keyInterval);
}

// The positions of a tindracmd job of n images with the default trims.
QVector<qint64> jobPositions(const QString &clip, int images)
{
    FrameGrabber grabber;
    grabber.setSource(clip);
    const qint64 duration = grabber.duration();
    const qint64 step = (duration - 4000) / images - 1;
    QVector<qint64> positions;
    for (int i = 0; i < images; ++i)
        positions.append(2000 + i * step);
    return positions;
}

double toolMsPerImage(const QString &clip, const QVector<qint64> &positions, const QString &folder)
{
    double total = 0;
    for (int i = 0; i < positions.size(); ++i) {
        const double ms = runMeasured(QStringLiteral("ffmpeg"),
            { "-v", "error", "-nostdin", "-ss", QString::number(positions.at(i) / 1000.0, 'f', 3), "-i", clip,
              "-frames:v", "1", "-vf", "crop=ih*4/3:ih,scale=640:480", "-q:v", "5", "-y",
              QDir(folder).filePath(QStringLiteral("%1.jpg").arg(i)) }, true).ms;
        if (ms < 0)
            return -1;
        total += ms;
    }
    return total / positions.size();
}

// A tindracmd job of n images into a fresh folder, with the given number of
// decoders (0: tindracmd's default); -1 ms when it fails or misses an image.
ProcessCost tindracmd(const QString &clip, int images, int threads)
{
    QTemporaryDir folder;
    QStringList arguments { "--count", QString::number(images), clip, folder.path() };
    if (threads > 0)
        arguments = QStringList { "--threads", QString::number(threads) } + arguments;
    ProcessCost measured = runMeasured(QStringLiteral(TINDRACMD), arguments, true);
    if (QDir(folder.path()).entryList(QDir::Files).size() != images)
        measured.ms = -1;
    measured.ms /= images;
    return measured;
}

// tindracmd --sheet GRID on clip (or --count with as many images); -1 ms
// when it fails.
ProcessCost sheetJob(const QString &clip, const QString &grid, bool sheet)
{
    QTemporaryDir folder;
    const QStringList parts = grid.split(QLatin1Char('x'));
    const QStringList arguments = sheet
        ? QStringList { "--sheet", grid, clip, folder.path() }
        : QStringList { "--count", QString::number(parts.at(0).toInt() * parts.at(1).toInt()), clip, folder.path() };
    return runMeasured(QStringLiteral(TINDRACMD), arguments, true);
}

int sheetBench(QTextStream &out)
{
    const QString uhd = clipPath(Uhd);
    const QString twoHours = clipPath(TwoHours);
    if (uhd.isEmpty() || twoHours.isEmpty()) {
        out << "the clips could not be made\n";
        return 1;
    }
    out << "| clip | grid | sheet: peak MB | s | images: peak MB | s |\n|---|---|---|---|---|---|\n";
    for (const QString &clip : { uhd, twoHours }) {
        for (const QString &grid : { QStringLiteral("4x4"), QStringLiteral("10x10") }) {
            const ProcessCost sheet = sheetJob(clip, grid, true);
            const ProcessCost images = sheetJob(clip, grid, false);
            if (sheet.ms < 0 || images.ms < 0) {
                out << "a job failed on " << clip << "\n";
                return 1;
            }
            out << QString::asprintf("| %s | %s | %.0f | %.1f | %.0f | %.1f |\n", qPrintable(QFileInfo(clip).fileName()),
                                     qPrintable(grid), sheet.peakMb, sheet.ms / 1000, images.peakMb, images.ms / 1000);
            out.flush();
        }
    }
    return 0;
}

// The same job through the batch worker in this process, without the pause.
double workerMsPerImage(const QString &clip, int images, int threads)
{
    QTemporaryDir folder;
    BatchWorkerConfig config;
    config.setSource(clip);
    config.setFileOutputPath(folder.path());
    config.setIntervalType(BatchWorkerConfig::ImageCount);
    config.setIntervalImages(images);
    BatchWorker worker;
    worker.setConfig(&config);
    worker.setDecoderThreads(threads);
    worker.setPauseAfterImage(0);
    QElapsedTimer timer;
    timer.start();
    worker.run();
    const double ms = timer.nsecsElapsed() / 1e6;
    return worker.outcome().imagesSaved == images ? ms / images : -1;
}

}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    media::setLogLevel(media::LogCritical);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\ntindra.*.warning=false"));
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("sheet"))
        return sheetBench(out);
    const int images = args.size() > 1 ? args.at(1).toInt() : 20;
    const int cores = QThread::idealThreadCount();
    const QString longGop = clipPath(LongGop);
    const QString shortGop = clipPath(ShortGop);
    const QString uhd = clipPath(Uhd);
    QTemporaryDir theirs;
    if (images < 2 || longGop.isEmpty() || shortGop.isEmpty() || uhd.isEmpty() || !theirs.isValid()) {
        out << "usage: tindracmdbench [images >= 2]\n";
        return 1;
    }

    out << images << " images per job, " << cores << " cores; ms per image\n\n";
    out << "| clip | ffmpeg tool | threads | with pause | ratio | without pause | ratio |\n";
    out << "|---|---|---|---|---|---|---|\n";
    for (const QString &clip : { longGop, shortGop }) {
        const double tool = toolMsPerImage(clip, jobPositions(clip, images), theirs.path());
        for (int threads : { 1, 0 }) {
            const double with = tindracmd(clip, images, threads).ms;
            const double without = workerMsPerImage(clip, images, threads);
            if (tool < 0 || with < 0 || without < 0) {
                out << "a job failed on " << clip << "\n";
                return 1;
            }
            out << QString::asprintf("| %s | %.1f | %d | %.1f | %.2f | %.1f | %.2f |\n",
                                     qPrintable(QFileInfo(clip).fileName()), tool, threads > 0 ? threads : cores,
                                     with, with / tool,
                                     without, without / tool);
            out.flush();
        }
    }

    out << "\nPeak memory of tindracmd on " << QFileInfo(uhd).fileName() << ":\n\n";
    out << "| threads | peak MB | ms per image |\n|---|---|---|\n";
    for (int threads : { 1, 0 }) {
        const ProcessCost measured = tindracmd(uhd, images, threads);
        if (measured.ms < 0) {
            out << "a job failed on " << uhd << "\n";
            return 1;
        }
        out << QString::asprintf("| %d | %.0f | %.1f |\n", threads > 0 ? threads : cores, measured.peakMb,
                                 measured.ms);
    }
    return 0;
}
