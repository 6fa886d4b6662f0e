// Shot detection against ffmpeg's scdet filter.
//
//   shotbench [accuracy|speed|breakdown|choice|memory]...   (all by default)
//
// accuracy: precision and recall on the test clips with known transitions
//   (tests/support/shotclips.cpp, made by make-clips.sh into the build's clip
//   folder): ours at its default threshold, scdet at its default (10) and at
//   the threshold that suits these clips best.
// speed: time of `tindracmd --shots` on a 2-minute 1080p H.264 clip with
//   cuts (made on first use) against `ffmpeg -i clip -vf scdet -f null -`,
//   in the same run, and the transitions found in that clip.
// breakdown: where the time of the analysis goes.
// choice: time per image of --skip-blank and --sharpest against the exact
//   frame, on the same clip.
// memory: peak memory of `tindracmd --shots` on a one-minute and a 2-hour clip.

#include "benchprocess.h"
#include "analysis/shotanalysis.h"
#include "analysis/smallpicture.h"
#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "capture/framescanner.h"
#include "media/loglevel.h"
#include "shotclips.h"
#include "testclips.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

QTextStream out(stdout);

struct Tally {
    int found = 0;
    int missed = 0;
    int extra = 0;
    void add(const ShotClips::Score &score)
    {
        found += score.found;
        missed += score.missed;
        extra += score.extra;
    }
    double precision() const { return found + extra > 0 ? double(found) / (found + extra) : 1.0; }
    double recall() const { return found + missed > 0 ? double(found) / (found + missed) : 1.0; }
    double f1() const { return 2 * precision() * recall() / qMax(1e-9, precision() + recall()); }
};

// Our cuts: the first frame of every shot but the first, on the whole clip.
QVector<int> ourCuts(const QString &path)
{
    ShotAnalysis analysis(path);
    analysis.setMinShot(600);
    QVector<int> cuts;
    if (!analysis.run(0, 1000000))
        return cuts;
    for (int i = 1; i < analysis.shots().size(); ++i)
        cuts.append(int(analysis.shots().at(i).startFrame));
    return cuts;
}

// scdet's score of every frame (frame number -> score).
std::map<int, double> scdetScores(const QString &path)
{
    std::map<int, double> scores;
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("scores.txt"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 { "-v", "error", "-nostdin", "-i", path, "-vf",
                   "scdet=threshold=0,metadata=mode=print:key=lavfi.scd.score:file=" + file, "-f", "null", "-" });
    if (!ffmpeg.waitForFinished(-1))
        return scores;
    QFile text(file);
    if (!text.open(QIODevice::ReadOnly))
        return scores;
    static const QRegularExpression frameLine(QStringLiteral("^frame:(\\d+)"));
    int frame = -1;
    for (const QByteArray &line : text.readAll().split('\n')) {
        const QRegularExpressionMatch match = frameLine.match(QString::fromLatin1(line));
        if (match.hasMatch())
            frame = match.captured(1).toInt();
        else if (line.startsWith("lavfi.scd.score=") && frame >= 0)
            scores[frame] = line.mid(16).toDouble();
    }
    return scores;
}

QVector<int> scdetCuts(const std::map<int, double> &scores, double threshold)
{
    QVector<int> cuts;
    for (const auto &[frame, score] : scores) {
        if (score > threshold)
            cuts.append(frame);
    }
    return cuts;
}

void accuracy()
{
    out << "## Accuracy on the test clips\n\n";
    out << "| clip | transitions | ours: found, missed, extra | scdet 10: found, missed, extra |\n|---|---|---|---|\n";
    Tally ours;
    Tally theirs;
    std::vector<std::map<int, double>> allScores;
    for (const ShotClips::Clip &clip : ShotClips::all()) {
        const QString path = TestClips::path(clip.name);
        const QVector<int> cuts = ourCuts(path);
        const ShotClips::Score our = ShotClips::score(clip, cuts);
        allScores.push_back(scdetScores(path));
        const ShotClips::Score their = ShotClips::score(clip, scdetCuts(allScores.back(), 10.0));
        ours.add(our);
        theirs.add(their);
        QStringList found;
        for (int cut : cuts)
            found << QString::number(cut);
        out << QStringLiteral("| %1 | %2 | %3, %4, %5 (%6) | %7, %8, %9 |\n")
                   .arg(clip.name)
                   .arg(clip.transitions.size())
                   .arg(our.found).arg(our.missed).arg(our.extra).arg(found.join(QLatin1Char(' ')))
                   .arg(their.found).arg(their.missed).arg(their.extra);
        out.flush();
    }
    // scdet's best threshold for these clips: the highest F1 over a sweep.
    double bestThreshold = 10.0;
    Tally best = theirs;
    for (double threshold = 0.5; threshold <= 60.0; threshold += 0.5) {
        Tally tally;
        for (int i = 0; i < ShotClips::all().size(); ++i)
            tally.add(ShotClips::score(ShotClips::all().at(i), scdetCuts(allScores[size_t(i)], threshold)));
        if (tally.f1() > best.f1()) {
            best = tally;
            bestThreshold = threshold;
        }
    }
    out << "\n| detector | precision | recall |\n|---|---|---|\n";
    out << QString::asprintf("| ours (threshold %.0f) | %.2f | %.2f |\n", ShotDetector::DefaultThreshold,
                             ours.precision(), ours.recall());
    out << QString::asprintf("| scdet (threshold 10, its default) | %.2f | %.2f |\n", theirs.precision(), theirs.recall());
    out << QString::asprintf("| scdet (threshold %.1f, best F1 here) | %.2f | %.2f |\n\n", bestThreshold,
                             best.precision(), best.recall());
}

// The speed clip: 2 minutes of 1080p H.264 at 25 fps (veryfast, key frames
// at most 10 s apart and at cuts, as the encoder places them), 24 shots of
// generated pictures in six groups of four joined by hard cuts, the groups
// joined by 1 s cross-fades.
struct Segment {
    const char *source;   // a generator
    const char *options;  // its own options
    const char *filters;  // filters after it
    int frames;
};
const Segment Segments[] = {
    { "testsrc2", "", "", 130 }, { "smptehdbars", "", "", 95 }, { "mandelbrot", "start_scale=1.5", "", 160 },
    { "life", "mold=10:ratio=0.25:seed=1:life_color=#F0C040:death_color=#203060", "", 120 },
    { "gradients", "speed=0.01:seed=2", "", 110 }, { "cellauto", "rule=30", "", 140 }, { "sierpinski", "seed=3", "", 100 },
    { "rgbtestsrc", "", "", 150 }, { "life", "mold=5:ratio=0.4:seed=4:life_color=#40C0F0:death_color=#302010", "", 125 },
    { "testsrc2", "", "hue=h=120", 105 }, { "gradients", "speed=0.02:seed=5", "", 145 },
    { "mandelbrot", "start_scale=0.5:start_x=-0.75", "", 115 }, { "smptehdbars", "", "hue=h=200", 135 },
    { "sierpinski", "seed=6:type=triangle", "", 120 }, { "cellauto", "rule=110", "", 100 }, { "testsrc2", "", "hue=s=0", 160 },
    { "gradients", "speed=0.015:seed=7", "", 125 }, { "life", "mold=20:ratio=0.1:seed=8", "", 110 },
    { "mandelbrot", "start_scale=3", "", 140 }, { "rgbtestsrc", "", "hue=h=90", 130 }, { "sierpinski", "seed=9", "", 120 },
    { "testsrc2", "", "hue=h=240", 125 }, { "cellauto", "rule=90", "", 115 }, { "gradients", "speed=0.005:seed=11", "", 212 },
};
constexpr int SegmentsPerGroup = 4;
constexpr int FadeFrames = 25;

QString sourceFilter(const Segment &segment)
{
    QString filter = QStringLiteral("%1=size=1920x1080:rate=25").arg(QLatin1String(segment.source));
    if (*segment.options)
        filter += QLatin1Char(':') + QLatin1String(segment.options);
    if (*segment.filters)
        filter += QLatin1Char(',') + QLatin1String(segment.filters);
    return filter + QStringLiteral(",trim=end_frame=%1,setpts=PTS-STARTPTS,format=yuv420p,setsar=1,settb=1/25")
                        .arg(segment.frames);
}

// The clip's transitions, in the clip table's form.
ShotClips::Clip speedClipTransitions()
{
    ShotClips::Clip clip { QStringLiteral("shots-1080p-120s.mp4"), 0, {} };
    int length = 0;
    for (size_t i = 0; i < std::size(Segments); ++i) {
        if (i > 0 && i % SegmentsPerGroup == 0) {
            clip.transitions.append({ length - FadeFrames, length });
            length -= FadeFrames;
        } else if (i > 0) {
            clip.transitions.append({ length, length });
        }
        length += Segments[i].frames;
    }
    clip.frames = length;
    return clip;
}

QString speedClip()
{
    const QString path = QDir(QStringLiteral(TINDRA_BENCH_CLIP_DIR)).filePath(QStringLiteral("shots-1080p-120s.mp4"));
    if (QFileInfo::exists(path))
        return path;
    QDir().mkpath(QStringLiteral(TINDRA_BENCH_CLIP_DIR));
    QStringList graph;
    QString joined;
    int length = 0;
    for (size_t i = 0; i < std::size(Segments); ++i) {
        graph << sourceFilter(Segments[i]) + QStringLiteral("[s%1]").arg(i);
    }
    for (size_t g = 0; g < std::size(Segments) / SegmentsPerGroup; ++g) {
        QString inputs;
        int groupLength = 0;
        for (size_t i = g * SegmentsPerGroup; i < (g + 1) * SegmentsPerGroup; ++i) {
            inputs += QStringLiteral("[s%1]").arg(i);
            groupLength += Segments[i].frames;
        }
        graph << QStringLiteral("%1concat=n=%2,settb=1/25[g%3]").arg(inputs).arg(SegmentsPerGroup).arg(g);
        if (g == 0) {
            joined = QStringLiteral("[g0]");
            length = groupLength;
            continue;
        }
        graph << QStringLiteral("%1[g%2]xfade=transition=fade:duration=%3:offset=%4[j%2]")
                     .arg(joined).arg(g).arg(FadeFrames / 25.0).arg((length - FadeFrames) / 25.0);
        joined = QStringLiteral("[j%1]").arg(g);
        length += groupLength - FadeFrames;
    }
    QTextStream(stderr) << "Making the benchmark clip " << path << " ...\n";
    QProcess make;
    make.setProcessChannelMode(QProcess::ForwardedChannels);
    make.start(QStringLiteral("ffmpeg"), { "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-filter_complex",
                                           graph.join(QLatin1Char(';')), "-map", joined, "-c:v", "libx264", "-preset",
                                           "veryfast", "-pix_fmt", "yuv420p", path + ".part.mp4" });
    if (!make.waitForFinished(-1) || make.exitStatus() != QProcess::NormalExit || make.exitCode() != 0
        || !QFile::rename(path + ".part.mp4", path))
        return QString();
    return path;
}

QString load()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

double cpuNow()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// A batch job through the worker in this process, without the pause after
// each image; wall ms, or -1 when it failed.
double workerJob(const QString &clip, int rule, int images, bool skipBlank, int sharpest, int threads,
                 int *written = nullptr)
{
    QTemporaryDir folder;
    BatchWorkerConfig config;
    config.setSource(clip);
    config.setFileOutputPath(folder.path());
    config.setIntervalType(rule);
    config.setIntervalImages(images);
    config.setSkipBlank(skipBlank);
    config.setSharpestMilliseconds(sharpest);
    if (rule == BatchWorkerConfig::Shots) {
        config.setSkipFront(0);
        config.setSkipBack(0);
    }
    BatchWorker worker;
    worker.setConfig(&config);
    worker.setDecoderThreads(threads);
    worker.setPauseAfterImage(0);
    QElapsedTimer timer;
    timer.start();
    worker.run();
    if (written)
        *written = worker.outcome().imagesSaved;
    return worker.outcome().imagesSaved == worker.outcome().framesRequested && worker.outcome().imagesSaved > 0 ? timer.nsecsElapsed() / 1e6
                                                                                        : -1;
}

/*
 * tindracmd --shots (the whole job: analysis, then the images, with the
 * pause after each) against ffmpeg's scdet decoding and scoring every frame,
 * alternating, three rounds; and the same job in this process without the
 * pause.
 */
void speed()
{
    const QString clip = speedClip();
    if (clip.isEmpty()) {
        out << "could not make the speed clip\n";
        return;
    }
    out << "## tindracmd --shots against ffmpeg scdet on " << QFileInfo(clip).fileName() << "\n\n";
    out << "| round | load before | ffmpeg scdet ms (cpu) | tindracmd --shots ms (cpu) | ratio | without pause ms | ratio | load after |\n";
    out << "|---|---|---|---|---|---|---|---|\n";
    for (int round = 1; round <= 3; ++round) {
        const QString before = load();
        const ProcessCost scdet = runMeasured(QStringLiteral("ffmpeg"), { "-nostdin", "-i", clip, "-vf", "scdet", "-f", "null", "-" });
        QTemporaryDir folder;
        const ProcessCost ours = runMeasured(QStringLiteral(TINDRACMD), { "--shots", "--trimfront", "0", "--trimback", "0", clip,
                                                               folder.path() });
        const double withoutPause = workerJob(clip, BatchWorkerConfig::Shots, 0, false, 0, 0);
        out << QString::asprintf("| %d | %s | %.0f (%.0f) | %.0f (%.0f) | %.2f | %.0f | %.2f | %s |\n", round,
                                 qPrintable(before), scdet.ms, scdet.cpuMs, ours.ms, ours.cpuMs, ours.ms / scdet.ms,
                                 withoutPause, withoutPause / scdet.ms, qPrintable(load()));
        out.flush();
    }
    ShotAnalysis analysis(clip);
    analysis.run(0, 1000000);
    QVector<int> cuts;
    for (int i = 1; i < analysis.shots().size(); ++i)
        cuts.append(int(analysis.shots().at(i).startFrame));
    const ShotClips::Score score = ShotClips::score(speedClipTransitions(), cuts);
    out << QString::asprintf("\nTransitions of the clip: %d found, %d missed, %d extra.\n\n", score.found,
                             score.missed, score.extra);
}

/*
 * What choosing a frame costs per image: 20 images spread over the clip
 * through the worker in this process (no pause, one decoder, so that every
 * image's decoding is counted alike): the exact frame, --skip-blank (no frame
 * of this clip is blank: the cost of looking) and --sharpest 200 and 500.
 */
void choice()
{
    const QString clip = speedClip();
    out << "## Cost per image of choosing the frame (20 images, one decoder, no pause)\n\n";
    out << "| round | load | exact ms/image | --skip-blank | ratio | --sharpest 200 | ratio | --sharpest 500 | ratio |\n";
    out << "|---|---|---|---|---|---|---|---|---|\n";
    for (int round = 1; round <= 3; ++round) {
        const QString before = load();
        const double exact = workerJob(clip, BatchWorkerConfig::ImageCount, 20, false, 0, 1) / 20;
        const double blank = workerJob(clip, BatchWorkerConfig::ImageCount, 20, true, 0, 1) / 20;
        const double sharp200 = workerJob(clip, BatchWorkerConfig::ImageCount, 20, false, 200, 1) / 20;
        const double sharp500 = workerJob(clip, BatchWorkerConfig::ImageCount, 20, false, 500, 1) / 20;
        out << QString::asprintf("| %d | %s | %.1f | %.1f | %.2f | %.1f | %.2f | %.1f | %.2f |\n", round,
                                 qPrintable(before), exact, blank, blank / exact, sharp200, sharp200 / exact, sharp500,
                                 sharp500 / exact);
        out.flush();
    }
    out << "\n";
}

/*
 * Memory over a long video: tindracmd --shots on two hours of 320x180 made
 * of copies of a one-minute clip with cuts (stream copy, so made in
 * seconds), against the same on the one-minute clip alone.
 */
void memory()
{
    const QDir clips(QStringLiteral(TINDRA_BENCH_CLIP_DIR));
    const QString minute = clips.filePath(QStringLiteral("shots-180p-60s.mp4"));
    const QString hours = clips.filePath(QStringLiteral("shots-180p-2h.mp4"));
    if (!QFileInfo::exists(hours)) {
        QStringList graph;
        for (int i = 0; i < 12; ++i) {
            const Segment &segment = Segments[size_t(i) * 2];
            graph << QStringLiteral("%1=size=320x180:rate=25%2%3,trim=end_frame=125,setpts=PTS-STARTPTS,format=yuv420p,"
                                    "setsar=1[s%4]")
                         .arg(QLatin1String(segment.source),
                              *segment.options ? QLatin1Char(':') + QLatin1String(segment.options) : QString(),
                              *segment.filters ? QLatin1Char(',') + QLatin1String(segment.filters) : QString())
                         .arg(i);
        }
        QString inputs;
        for (int i = 0; i < 12; ++i)
            inputs += QStringLiteral("[s%1]").arg(i);
        graph << inputs + QStringLiteral("concat=n=12");
        QProcess make;
        make.setProcessChannelMode(QProcess::ForwardedChannels);
        make.start(QStringLiteral("ffmpeg"), { "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-filter_complex",
                                               graph.join(QLatin1Char(';')), "-c:v", "libx264", "-preset", "veryfast",
                                               "-pix_fmt", "yuv420p", minute });
        make.waitForFinished(-1);
        QTemporaryDir folder;
        QFile list(folder.filePath(QStringLiteral("list.txt")));
        if (!list.open(QIODevice::WriteOnly))
            return;
        for (int i = 0; i < 120; ++i)
            list.write(QStringLiteral("file '%1'\n").arg(minute).toUtf8());
        list.close();
        make.start(QStringLiteral("ffmpeg"), { "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "concat",
                                               "-safe", "0", "-i", list.fileName(), "-c", "copy", hours });
        make.waitForFinished(-1);
    }
    out << "## Memory of tindracmd --shots\n\n| clip | shots | peak MB | ms | load |\n|---|---|---|---|---|\n";
    for (const QString &clip : { minute, hours }) {
        QTemporaryDir folder;
        const QString before = load();
        const ProcessCost measured = runMeasured(QStringLiteral(TINDRACMD), { "--shots", "--trimfront", "0", "--trimback", "0",
                                                                   "--width", "160", "--height", "90", clip, folder.path() });
        out << QString::asprintf("| %s | %d | %.0f | %.0f | %s |\n", qPrintable(QFileInfo(clip).fileName()),
                                 int(QDir(folder.path()).entryList(QDir::Files).size()), measured.peakMb, measured.ms,
                                 qPrintable(before));
        out.flush();
    }
    out << "\n";
}

// Where the time of an analysis goes: processor time of decoding every frame,
// only the reference frames, those with their small pictures, and the whole
// analysis, in this process.
void breakdown()
{
    const QString clip = speedClip();
    out << "## Where the time goes (load " << load() << ")\n\n| pass | wall ms | cpu ms | frames |\n|---|---|---|---|\n";
    const auto pass = [&](const char *name, FrameScanner::Mode mode, bool pictures) {
        FrameScanner scanner(clip);
        int frames = 0;
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuNow();
        scanner.scan(0, 1000000, mode, [&](const media::VideoFrame &frame, qint64) {
            if (pictures)
                SmallPicture::fromFrame(frame);
            ++frames;
            return true;
        });
        out << QString::asprintf("| %s | %.0f | %.0f | %d |\n", name, timer.nsecsElapsed() / 1e6, cpuNow() - cpu, frames);
        out.flush();
    };
    pass("decode all frames", FrameScanner::AllFrames, false);
    pass("decode reference frames", FrameScanner::ReferenceFrames, false);
    pass("reference frames and small pictures", FrameScanner::ReferenceFrames, true);
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuNow();
    ShotAnalysis analysis(clip);
    analysis.run(0, 1000000);
    out << QString::asprintf("| whole analysis | %.0f | %.0f | |\n\n", timer.nsecsElapsed() / 1e6, cpuNow() - cpu);
}

}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    media::setLogLevel(media::LogCritical);
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\ntindra.*.warning=false"));
    QStringList parts = app.arguments().mid(1);
    if (parts.isEmpty())
        parts = QStringList { "accuracy", "speed", "breakdown", "choice", "memory" };
    for (const QString &part : qAsConst(parts)) {
        if (part == QLatin1String("accuracy"))
            accuracy();
        else if (part == QLatin1String("speed"))
            speed();
        else if (part == QLatin1String("breakdown"))
            breakdown();
        else if (part == QLatin1String("choice"))
            choice();
        else if (part == QLatin1String("memory"))
            memory();
    }
    return 0;
}
