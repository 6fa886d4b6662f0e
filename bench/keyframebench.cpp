// Key-frame mode (tindracmd --fast) against ffmpegthumbnailer, which also
// takes a key frame for each image, on the same positions and output size
// (640 pixels wide, aspect kept: 640 x 360 for 16:9).
//
//   keyframebench [rounds]
//
// 1. A 2-minute 1080p clip with a key frame every 10 s, 20 images at 2, 8,
//    14 ... 116 s: ffmpegthumbnailer once per image; tindracmd --fast once
//    for all of them (with its pause of 100 ms after each image but the
//    last); the same job through the batch worker in this process without
//    the pause; and tindracmd's exact job on the same positions.
// 2. A folder of 20 short 1080p clips (12 to 31 s, a key frame every 10 s),
//    one image from the middle of each, both programs run by GNU parallel
//    with as many jobs as cores: time per video, process start-up included.
//
// Run it through bench/keyframebench.sh, which installs ffmpegthumbnailer.

#include "benchclip.h"
#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "media/loglevel.h"
#include "profiles/imageprofile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTime>

namespace {

constexpr int Images = 20;
constexpr qint64 FirstMs = 2000;
constexpr qint64 StepMs = 6000;
const QSize OutputSize(640, 360);
const QStringList TindraSize { "--width", "640", "--height", "480", "--videoaspectratio" };

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

// True when the folder holds count images of the output size.
bool imagesMade(const QString &folder, int count)
{
    const QStringList names = QDir(folder).entryList(QDir::Files);
    if (names.size() != count)
        return false;
    for (const QString &name : names) {
        if (QImageReader(QDir(folder).filePath(name)).size() != OutputSize)
            return false;
    }
    return true;
}

double thumbnailerPerImage(const QString &clip)
{
    QTemporaryDir folder;
    double total = 0;
    for (int i = 0; i < Images; ++i) {
        const QString at = QTime(0, 0).addMSecs(int(FirstMs + i * StepMs)).toString(QStringLiteral("hh:mm:ss"));
        const double ms = timeCommand(QStringLiteral("ffmpegthumbnailer"),
            { "-i", clip, "-o", QDir(folder.path()).filePath(QStringLiteral("%1.jpg").arg(i)), "-s", "640", "-t", at });
        if (ms < 0)
            return -1;
        total += ms;
    }
    return imagesMade(folder.path(), Images) ? total / Images : -1;
}

// tindracmd on the 20 positions: every 6000 ms from 2000 to 2000 before the end.
double tindracmdPerImage(const QString &clip, bool fast)
{
    QTemporaryDir folder;
    QStringList arguments = TindraSize + QStringList { "--ms", QString::number(StepMs), clip, folder.path() };
    if (fast)
        arguments.prepend(QStringLiteral("--fast"));
    const double ms = timeCommand(QStringLiteral(TINDRACMD), arguments);
    return ms >= 0 && imagesMade(folder.path(), Images) ? ms / Images : -1;
}

double workerPerImage(const QString &clip)
{
    QTemporaryDir folder;
    BatchWorkerConfig config;
    config.setSource(clip);
    config.setFileOutputPath(folder.path());
    config.setIntervalMilliseconds(StepMs);
    config.setKeyFramesOnly(true);
    config.imageProfile()->setImageWidth(640);
    config.imageProfile()->setImageHeight(480);
    config.imageProfile()->setMaintainAspectRatio(true);
    BatchWorker worker;
    worker.setConfig(&config);
    worker.setPauseAfterImage(0);
    QElapsedTimer timer;
    timer.start();
    worker.run();
    const double ms = timer.nsecsElapsed() / 1e6;
    return imagesMade(folder.path(), Images) ? ms / Images : -1;
}

// One image from the middle of every clip, the jobs run by GNU parallel.
double parallelPerVideo(const QStringList &clips, bool tindra)
{
    QTemporaryDir folder;
    QStringList command;
    if (tindra) {
        command = QStringList { TINDRACMD, "--fast", "--count", "1", "--trimfront", "0", "--trimback", "0" }
            + TindraSize + QStringList { "{}", folder.path() };
    } else {
        command = QStringList { "ffmpegthumbnailer", "-i", "{}", "-o", folder.path() + QStringLiteral("/{/.}.jpg"),
                                "-s", "640", "-t", "50%" };
    }
    const QStringList arguments = QStringList { "--will-cite", "-j", QString::number(QThread::idealThreadCount()) } + command
        + QStringList { ":::" } + clips;
    const double ms = timeCommand(QStringLiteral("parallel"), arguments);
    return ms >= 0 && imagesMade(folder.path(), clips.size()) ? ms / clips.size() : -1;
}

}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    media::setLogLevel(media::LogCritical);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\ntindra.*.warning=false"));
    QTextStream out(stdout);
    const int rounds = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 1;
    const QString longClip = generatedClip(QStringLiteral("long-gop-1080p-120s.mp4"), QStringLiteral("1920x1080"), 120, 250);
    QStringList shortClips;
    for (int i = 1; i <= 20; ++i) {
        shortClips << generatedClip(QStringLiteral("short-%1.mp4").arg(i, 2, 10, QLatin1Char('0')),
                                    QStringLiteral("1920x1080"), 11 + i, 250, QStringLiteral("short-videos"));
    }
    if (rounds < 1 || longClip.isEmpty() || shortClips.contains(QString())) {
        out << "usage: keyframebench [rounds]\n";
        return 1;
    }

    out << QThread::idealThreadCount() << " cores; ms per image (2-minute clip) and per video (folder)\n\n";
    out << "| load before | ffmpegthumbnailer | --fast | ratio | --fast without pause | ratio | exact | "
           "folder: ffmpegthumbnailer | folder: --fast | ratio | load after |\n";
    out << "|---|---|---|---|---|---|---|---|---|---|---|\n";
    out.flush();
    for (int round = 0; round < rounds; ++round) {
        const QString before = loadAverage();
        const double theirs = thumbnailerPerImage(longClip);
        const double fast = tindracmdPerImage(longClip, true);
        const double withoutPause = workerPerImage(longClip);
        const double exact = tindracmdPerImage(longClip, false);
        const double theirsFolder = parallelPerVideo(shortClips, false);
        const double fastFolder = parallelPerVideo(shortClips, true);
        if (theirs < 0 || fast < 0 || withoutPause < 0 || exact < 0 || theirsFolder < 0 || fastFolder < 0) {
            out << "a run failed or made the wrong images\n";
            return 1;
        }
        out << QString::asprintf("| %s | %.1f | %.1f | %.2f | %.1f | %.2f | %.1f | %.1f | %.1f | %.2f | %s |\n",
                                 qPrintable(before), theirs, fast, fast / theirs, withoutPause, withoutPause / theirs,
                                 exact, theirsFolder, fastFolder, fastFolder / theirsFolder,
                                 qPrintable(loadAverage()));
        out.flush();
    }
    return 0;
}
