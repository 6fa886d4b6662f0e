#include "frameid.h"
#include "testclips.h"
#include "tindraversion.h"

#include <QtTest>

#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}

// Runs the built tindracmd as a user would, without a display, in a fresh
// folder that holds a copy of the clip as "clip.mp4".
class TindracmdTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void defaultJob();
    void secondRunContinuesTheCounter();
    void options_data();
    void options();
    void choices_data();
    void choices();
    void fileTypes_data();
    void fileTypes();
    void quality();
    void failures_data();
    void failures();
    void unreadableVideos_data();
    void unreadableVideos();
    void unwritableFolder();
    void stopSignals_data();
    void stopSignals();
    void truncatedVideo();
    void nonAsciiPaths();
    void nameLikeAProtocol();
    void logFile();
    void helpAndVersion();

private:
    Run tindracmd(const QStringList &arguments);
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QStringList images(const QString &folder = QString()) const;
    int frameOf(const QString &file) const { return FrameId::read(QImage(path(file))); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TindracmdTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QFile::copy(TestClips::path(QStringLiteral("h264-bframes.mp4")), path(QStringLiteral("clip.mp4"))));
}

Run TindracmdTest::tindracmd(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_dir->path());
    process.start(TestClips::builtFile(QStringLiteral("cli/tindracmd")), arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QStringList TindracmdTest::images(const QString &folder) const
{
    QStringList names = QDir(path(folder)).entryList(QDir::Files, QDir::Name);
    names.removeAll(QStringLiteral("clip.mp4"));
    names.removeAll(QStringLiteral("run.log"));
    return names;
}

void TindracmdTest::defaultJob()
{
    // Every 5000 ms with 2000 ms skipped at both ends of 12 s: 2000 and 7000.
    const Run run = tindracmd({ QStringLiteral("clip.mp4") });
    QCOMPARE(run.status, 0);
    QCOMPARE(images(), QStringList({ "clip-00001.jpeg", "clip-00002.jpeg" }));
    QCOMPARE(frameOf(QStringLiteral("clip-00001.jpeg")), 50);
    QCOMPARE(frameOf(QStringLiteral("clip-00002.jpeg")), 175);
    QImageReader reader(path(QStringLiteral("clip-00001.jpeg")));
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.size(), QSize(640, 480));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList({ "Saving: clip-00001.jpeg", "Saving: clip-00002.jpeg",
                                  QStringLiteral("2 images written to %1").arg(m_dir->path()) }));
    // Diagnostics and the progress bar (not a terminal here) stay out of sight.
    QVERIFY2(!run.err.contains(QStringLiteral("tindra")) && !run.err.contains(QStringLiteral("%")),
             qPrintable(run.err));
}

void TindracmdTest::secondRunContinuesTheCounter()
{
    QCOMPARE(tindracmd({ QStringLiteral("clip.mp4") }).status, 0);
    QCOMPARE(tindracmd({ QStringLiteral("clip.mp4") }).status, 0);
    QCOMPARE(images(), QStringList({ "clip-00001.jpeg", "clip-00002.jpeg", "clip-00003.jpeg", "clip-00004.jpeg" }));
    QCOMPARE(frameOf(QStringLiteral("clip-00003.jpeg")), 50);
}

void TindracmdTest::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("frames");
    QTest::addColumn<QSize>("size");

    // Three images over 8000 ms from 2000: step 8000 / 3 - 1 = 2665.
    const QStringList three = { "clip-00001.jpeg", "clip-00002.jpeg", "clip-00003.jpeg" };
    const QList<int> threeFrames = { 50, 117, 184 };
    QTest::newRow("-count") << QStringList { "-count", "3", "clip.mp4" } << QString() << three << threeFrames
                            << QSize(640, 480);
    QTest::newRow("--count") << QStringList { "--count", "3", "clip.mp4" } << QString() << three << threeFrames
                             << QSize(640, 480);
    QTest::newRow("-c") << QStringList { "-c", "3", "clip.mp4" } << QString() << three << threeFrames
                        << QSize(640, 480);
    QTest::newRow("--ms with trims") << QStringList { "--ms", "3000", "--trimfront", "0", "--trimback", "5000", "clip.mp4" }
                                     << QString() << QStringList { "clip-00001.jpeg", "clip-00002.jpeg", "clip-00003.jpeg" }
                                     << QList<int> { 0, 75, 150 } << QSize(640, 480);
    // One image is a single shot in the middle: half of 8000 ms.
    QTest::newRow("count 1") << QStringList { "--count", "1", "clip.mp4" } << QString() << QStringList { "clip-.jpeg" }
                             << QList<int> { 100 } << QSize(640, 480);
    QTest::newRow("size") << QStringList { "--width", "400", "--height", "300", "-c", "1", "clip.mp4" } << QString()
                          << QStringList { "clip-.jpeg" } << QList<int> { 100 } << QSize(400, 300);
    // Cut to 2:1 from the middle, which loses the frame number at the top.
    QTest::newRow("cropped") << QStringList { "--width", "200", "--height", "100", "-c", "1", "clip.mp4" } << QString()
                             << QStringList { "clip-.jpeg" } << QList<int> { -1 } << QSize(200, 100);
    QTest::newRow("aspect kept") << QStringList { "--width", "200", "--height", "200", "--videoaspectratio", "-c", "1", "clip.mp4" }
                                 << QString() << QStringList { "clip-.jpeg" } << QList<int> { 100 } << QSize(200, 150);
    QTest::newRow("names") << QStringList { "--fileprefix", "p_", "--filesuffix", "_s", "--filename", "shot", "-c", "2", "clip.mp4" }
                           << QString() << QStringList { "p_shot_s00001.jpeg", "p_shot_s00002.jpeg" } << QList<int> { 50, 150 }
                           << QSize(640, 480);
    QTest::newRow("counter start and digits") << QStringList { "--filecounter", "7,3", "-c", "2", "clip.mp4" } << QString()
                                              << QStringList { "clip-007.jpeg", "clip-008.jpeg" } << QList<int> { 50, 150 }
                                              << QSize(640, 480);
    QTest::newRow("counter start") << QStringList { "--filecounter", "42", "-c", "2", "clip.mp4" } << QString()
                                   << QStringList { "clip-00042.jpeg", "clip-00043.jpeg" } << QList<int> { 50, 150 }
                                   << QSize(640, 480);
    // Positions closer than the tolerance of a 12 s video (500 ms) still give
    // as many frames as images.
    QStringList twenty;
    QList<int> twentyFrames;
    for (int i = 0; i < 20; ++i) {
        twenty << QStringLiteral("clip-%1.jpeg").arg(i + 1, 5, 10, QLatin1Char('0'));
        twentyFrames << (2000 + i * 399 + 39) / 40;
    }
    QTest::newRow("--count 20") << QStringList { "--count", "20", "clip.mp4" } << QString() << twenty << twentyFrames
                                << QSize(640, 480);
    QStringList forty;
    QList<int> fortyFrames;
    for (int i = 0; i < 40; ++i) {
        forty << QStringLiteral("clip-%1.jpeg").arg(i + 1, 5, 10, QLatin1Char('0'));
        fortyFrames << (2000 + i * 200) / 40;
    }
    QTest::newRow("--ms 200") << QStringList { "--ms", "200", "clip.mp4" } << QString() << forty << fortyFrames
                              << QSize(640, 480);
    QTest::newRow("--name-time") << QStringList { "--name-time", "-c", "2", "clip.mp4" } << QString()
                                 << QStringList { "clip-00h00m02s000.jpeg", "clip-00h00m06s000.jpeg" }
                                 << QList<int> { 50, 150 } << QSize(640, 480);
    QTest::newRow("--name-time beside the counter") << QStringList { "--name-time", "--filecounter", "1,2", "-c", "2", "clip.mp4" }
        << QString() << QStringList { "clip-01-00h00m02s000.jpeg", "clip-02-00h00m06s000.jpeg" }
        << QList<int> { 50, 150 } << QSize(640, 480);
    // The grid left out: 4 x 4; the sheet's own width, whatever the image size.
    QTest::newRow("--sheet") << QStringList { "--sheet", "--width", "100", "clip.mp4" } << QString()
                             << QStringList { "clip-sheet.jpeg" } << QList<int> { -1 } << QSize(1600, 1405);
    QTest::newRow("--sheet 2x1 --sheet-width 400") << QStringList { "--sheet", "2x1", "--sheet-width", "400", "clip.mp4" }
                                                   << QString() << QStringList { "clip-sheet.jpeg" } << QList<int> { -1 }
                                                   << QSize(400, 226);
    // Key frames at 0, 4 and 8 s: the nearest to 2500, 5500 and 8500 ms.
    QTest::newRow("--fast") << QStringList { "--fast", "--ms", "3000", "--trimfront", "2500", "clip.mp4" } << QString()
                            << QStringList { "clip-00001.jpeg", "clip-00002.jpeg", "clip-00003.jpeg" }
                            << QList<int> { 100, 100, 200 } << QSize(640, 480);
    QTest::newRow("relative destination") << QStringList { "-c", "2", "clip.mp4", "out" } << QStringLiteral("out")
                                          << QStringList { "clip-00001.jpeg", "clip-00002.jpeg" } << QList<int> { 50, 150 }
                                          << QSize(640, 480);
}

void TindracmdTest::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, folder);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, frames);
    QFETCH(QSize, size);
    if (!folder.isEmpty())
        QVERIFY(QDir(m_dir->path()).mkdir(folder));

    const Run run = tindracmd(arguments);
    QCOMPARE(run.status, 0);
    QCOMPARE(images(folder), names);
    for (int i = 0; i < names.size(); ++i) {
        const QString file = QDir(folder).filePath(names.at(i));
        if (frames.at(i) >= 0)
            QCOMPARE(frameOf(file), frames.at(i));
        QCOMPARE(QImageReader(path(file)).size(), size);
    }
}

// One image per shot and the shot list, frames chosen near the positions,
// on clips of their own (copied in as video.mp4), whole pictures at 320 x 180:
// the frames written (-1: any frame of the shot the list gives), the output
// (%1 the folder) and the shot list.
void TindracmdTest::choices_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<int>>("frames");
    QTest::addColumn<QStringList>("output");
    QTest::addColumn<QStringList>("shotList");

    const QStringList whole { "--trimfront", "0", "--trimback", "0", "--width", "320", "--height", "180", "video.mp4" };
    // Cuts at frames 31, 70, 113 and 150.
    QTest::newRow("--shots, --shot-list") << "shots-cuts.mp4" << QStringList { "--shots", "--shot-list", "shots.csv" } + whole
                                          << 0 << QList<int> { -1, -1, -1, -1, -1 }
                                          << QStringList { "5 shots found", "Saving: video-00001.jpeg", "Saving: video-00002.jpeg",
                                                           "Saving: video-00003.jpeg", "Saving: video-00004.jpeg",
                                                           "Saving: video-00005.jpeg", "Shot list written to %1/shots.csv",
                                                           "5 images written to %1" }
                                          << QStringList { "Shot,Start (ms),End (ms),Start,End,Start frame,End frame,Image",
                                                           "1,0,1240,00:00:00.000,00:00:01.240,0,30,video-00001.jpeg",
                                                           "2,1240,2800,00:00:01.240,00:00:02.800,31,69,video-00002.jpeg",
                                                           "3,2800,4520,00:00:02.800,00:00:04.520,70,112,video-00003.jpeg",
                                                           "4,4520,6000,00:00:04.520,00:00:06.000,113,149,video-00004.jpeg",
                                                           "5,6000,7440,00:00:06.000,00:00:07.440,150,185,video-00005.jpeg" };
    // Shots shorter than 2 s join a neighbour across their weaker cut.
    QTest::newRow("--min-shot") << "shots-cuts.mp4" << QStringList { "--shots", "--min-shot", "2000" } + whole << 0
                                << QList<int> { -1, -1 }
                                << QStringList { "2 shots found", "Saving: video-00001.jpeg", "Saving: video-00002.jpeg",
                                                 "2 images written to %1" }
                                << QStringList();
    QTest::newRow("--shots, one frame") << "one-frame.mp4" << QStringList { "--shots" } + whole << 0 << QList<int> { 0 }
                                        << QStringList { "1 shot found", "Saving: video-00001.jpeg", "1 image written to %1" }
                                        << QStringList();
    // Every 1000 ms; black from frame 50 to 74.
    QTest::newRow("--skip-blank") << "blank-gap.mp4" << QStringList { "--skip-blank", "--ms", "1000" } + whole << 0
                                  << QList<int> { 0, 25, 75, 75 }
                                  << QStringList { "Saving: video-00001.jpeg", "Saving: video-00002.jpeg",
                                                   "2000 ms is blank; took 3000 ms", "Saving: video-00003.jpeg",
                                                   "Saving: video-00004.jpeg", "4 images written to %1" }
                                  << QStringList();
    // The middle, 2000 ms: only frames 20 and 53 are sharp.
    QTest::newRow("--sharpest") << "blurred.mp4" << QStringList { "--sharpest", "500", "-c", "1" } + whole << 0
                                << QList<int> { 53 }
                                << QStringList { "2000 ms: took the sharpest frame, at 2120 ms", "Saving: video-.jpeg",
                                                 "1 image written to %1" }
                                << QStringList();
    QTest::newRow("all black, --skip-blank") << "black.mp4" << QStringList { "--skip-blank", "--shots" } + whole << 6
                                             << QList<int>()
                                             << QStringList { "No images made: every frame of the trimmed video is blank" }
                                             << QStringList();
    QTest::newRow("all black") << "black.mp4" << QStringList { "--shots" } + whole << 0 << QList<int> { 0 }
                               << QStringList { "1 shot found", "Saving: video-00001.jpeg", "1 image written to %1" }
                               << QStringList();
}

void TindracmdTest::choices()
{
    QFETCH(QString, clip);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QList<int>, frames);
    QFETCH(QStringList, output);
    QFETCH(QStringList, shotList);
    QVERIFY(QFile::copy(TestClips::path(clip), path(QStringLiteral("video.mp4"))));

    const Run run = tindracmd(arguments);
    QCOMPARE(run.status, status);
    QStringList expected;
    for (QString line : qAsConst(output))
        expected.append(line.replace(QLatin1String("%1"), m_dir->path()));
    QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    QStringList names = images();
    names.removeAll(QStringLiteral("video.mp4"));
    names.removeAll(QStringLiteral("shots.csv"));
    QCOMPARE(names.size(), frames.size());
    for (int i = 0; i < names.size(); ++i) {
        if (frames.at(i) >= 0)
            QCOMPARE(frameOf(names.at(i)), frames.at(i));
    }
    if (shotList.isEmpty())
        return;
    const QStringList rows = QString::fromUtf8(fileContent(path(QStringLiteral("shots.csv")))).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows, shotList);
    // Each image is a frame of its shot.
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList columns = rows.at(i).split(QLatin1Char(','));
        const int frame = frameOf(columns.at(7));
        QVERIFY2(frame >= columns.at(5).toInt() && frame <= columns.at(6).toInt(), qPrintable(rows.at(i)));
    }
}

void TindracmdTest::fileTypes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("jpeg") << "jpeg" << QByteArray("jpeg");
    QTest::newRow("jpg") << "jpg" << QByteArray("jpeg");
    QTest::newRow("png") << "png" << QByteArray("png");
    QTest::newRow("bmp") << "bmp" << QByteArray("bmp");
    QTest::newRow("tif") << "tif" << QByteArray("tiff");
    QTest::newRow("tiff") << "tiff" << QByteArray("tiff");
    QTest::newRow("webp") << "webp" << QByteArray("webp");
}

void TindracmdTest::fileTypes()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, format);
    const Run run = tindracmd({ QStringLiteral("--filetype"), type, QStringLiteral("-c"), QStringLiteral("1"),
                                QStringLiteral("clip.mp4") });
    QCOMPARE(run.status, 0);
    const QString name = QStringLiteral("clip-.") + type;
    QCOMPARE(images(), QStringList({ name }));
    QImageReader reader(path(name));
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), QSize(640, 480));
    QCOMPARE(frameOf(name), 100);
}

// --quality reaches the image written: a lower one makes a smaller file.
void TindracmdTest::quality()
{
    for (const QString &quality : { QStringLiteral("5"), QStringLiteral("95") }) {
        QCOMPARE(tindracmd({ QStringLiteral("--quality"), quality, QStringLiteral("--filetype"), QStringLiteral("webp"),
                             QStringLiteral("--filename"), quality, QStringLiteral("-c"), QStringLiteral("1"),
                             QStringLiteral("clip.mp4") }).status, 0);
    }
    QVERIFY(QFileInfo(path(QStringLiteral("5-.webp"))).size() < QFileInfo(path(QStringLiteral("95-.webp"))).size() / 2);
    QCOMPARE(frameOf(QStringLiteral("5-.webp")), 100);
}

void TindracmdTest::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("no source") << QStringList {} << 2 << "A file name is required" << QStringList();
    QTest::newRow("missing source") << QStringList { "nothing.mp4" } << 2 << "File not found: nothing.mp4" << QStringList();
    // A missing source is reported before the clash of two options.
    QTest::newRow("missing source and clash") << QStringList { "-c", "2", "-m", "100", "nothing.mp4" } << 2
                                              << "File not found: nothing.mp4" << QStringList();
    QTest::newRow("missing destination") << QStringList { "clip.mp4", "nowhere" } << 2
                                         << "Output folder is incorrect or does not exist: nowhere" << QStringList();
    QTest::newRow("memory budget below 64 MB") << QStringList { "--memory", "10", "clip.mp4" } << 2
        << "Invalid value for --memory: \"10\" (expected a whole number of MB from 64 to 1048576)" << QStringList();
    QTest::newRow("count and ms") << QStringList { "-c", "2", "-m", "100", "clip.mp4" } << 2
                                  << "Please only set count or milliseconds" << QStringList();
    QTest::newRow("ms not a number") << QStringList { "--ms", "abc", "clip.mp4" } << 2
                                     << "Invalid value for --ms: \"abc\" (expected a whole number from 0 to 2147483647)" << QStringList();
    QTest::newRow("negative trim") << QStringList { "--trimfront", "-5", "clip.mp4" } << 2
                                   << "Invalid value for --trimfront: \"-5\" (expected a whole number from 0 to 2147483647)" << QStringList();
    QTest::newRow("huge trim") << QStringList { "--trimback", "9223372036854775807", "clip.mp4" } << 2
                               << "Invalid value for --trimback: \"9223372036854775807\" (expected a whole number from 0 to 2147483647)" << QStringList();
    QTest::newRow("too many images") << QStringList { "--count", "100001", "clip.mp4" } << 2
                                     << "Invalid value for --count: \"100001\" (expected a whole number from 0 to 100000)" << QStringList();
    QTest::newRow("sheet grid") << QStringList { "--sheet", "21x2", "clip.mp4" } << 2
        << "Invalid value for --sheet: \"21x2\" (expected COLSxROWS, such as 4x4, with 1 to 20 columns and 1 to 100 rows)"
        << QStringList();
    QTest::newRow("sheet and count") << QStringList { "--sheet", "-c", "3", "clip.mp4" } << 2
        << "A contact sheet takes its frames from its grid: leave out --count and --ms" << QStringList();
    QTest::newRow("sheet width without a sheet") << QStringList { "--sheet-width", "800", "clip.mp4" } << 2
        << "--sheet-width applies to --sheet only" << QStringList();
    QTest::newRow("sheet too narrow") << QStringList { "--sheet", "--sheet-width", "100", "clip.mp4" } << 2
        << "Invalid value for --sheet-width: \"100\" (expected 200 to 8192 pixels)" << QStringList();
    QTest::newRow("sheet too high") << QStringList { "--sheet", "1x100", "--sheet-width", "8000", "clip.mp4" } << 2
        << "A contact sheet of 100 rows would be 461221 pixels high, more than the 8388 that fit at this width." << QStringList();
    QTest::newRow("quality 0") << QStringList { "--quality", "0", "clip.mp4" } << 2
        << "Invalid value for --quality: \"0\" (expected a whole number from 1 to 100)" << QStringList();
    QTest::newRow("zero width") << QStringList { "--width", "0", "clip.mp4" } << 2
                                << "Invalid value for --width: \"0\" (expected 1 to 65535 pixels)" << QStringList();
    QTest::newRow("unknown type") << QStringList { "--filetype", "gif", "clip.mp4" } << 2
                                  << "Unsupported file type: \"gif\" (use jpeg, jpg, png, bmp, tiff, tif or webp)" << QStringList();
    QTest::newRow("bad counter") << QStringList { "--filecounter", "1,x", "clip.mp4" } << 2
                                 << "Invalid value for --filecounter: \"1,x\" (expected START or START,DIGITS, such as 1 or 1,3)" << QStringList();
    QTest::newRow("name with a folder") << QStringList { "--filename", "a/b", "clip.mp4" } << 2
                                        << "Invalid value for --filename: \"a/b\" (a name, not a path)" << QStringList();
    QTest::newRow("prefix leading out") << QStringList { "--fileprefix", "../", "clip.mp4" } << 2
                                        << "Invalid value for --fileprefix: \"../\" (a name, not a path)" << QStringList();
    QTest::newRow("suffix with a folder") << QStringList { "--filesuffix", "/x", "clip.mp4" } << 2
                                          << "Invalid value for --filesuffix: \"/x\" (a name, not a path)" << QStringList();
    // The checks of the job come first.
    QTest::newRow("log that cannot be written") << QStringList { "--log", "no/such/folder/run.log", "clip.mp4" } << 2
                                                << "Cannot write the log file: no/such/folder/run.log" << QStringList();
    QTest::newRow("missing source before the log") << QStringList { "--log", "no/such/folder/run.log" } << 2
                                                   << "A file name is required" << QStringList();
    // An existing file that is not a log (the log's name forgotten, so the
    // parser takes the video) is never written to.
    QTest::newRow("log name forgotten") << QStringList { "--log", "clip.mp4" } << 2
                                        << "Will not write the log to clip.mp4: it is not a text file" << QStringList();
    QTest::newRow("log is the video") << QStringList { "--log", "./clip.mp4", "clip.mp4" } << 2
                                      << "Will not write the log to ./clip.mp4: it is the video to process" << QStringList();
    QTest::newRow("log is a folder") << QStringList { "--log", ".", "clip.mp4" } << 2
                                     << "Will not write the log to .: it is not a file" << QStringList();
    QTest::newRow("manifest that cannot be written") << QStringList { "--manifest", "no/such/folder/list.csv", "clip.mp4" } << 2
        << "Cannot write the manifest no/such/folder/list.csv: No such file or directory" << QStringList();
    QTest::newRow("manifest is the video") << QStringList { "--manifest", "./clip.mp4", "clip.mp4" } << 2
        << "Will not write the manifest to ./clip.mp4: it is the video to process" << QStringList();
    // A list on a full disk: the image is written, the row is not, and the
    // job says so (full.jsonl leads to /dev/full).
    QTest::newRow("manifest runs out of room") << QStringList { "--manifest", "full.jsonl", "-c", "1", "clip.mp4" } << 7
        << "Saving: clip-.jpeg" << QStringList { "clip-.jpeg", "full.jsonl" };
    QTest::newRow("unknown option") << QStringList { "--frobnicate", "clip.mp4" } << 1 << QString() << QStringList();
    QTest::newRow("missing value") << QStringList { "clip.mp4", "--count" } << 1 << QString() << QStringList();
    QTest::newRow("trims cover the video") << QStringList { "--trimfront", "7000", "--trimback", "5000", "clip.mp4" } << 6
                                           << "No images made: the trimmed video is empty" << QStringList();
    QTest::newRow("trims cover the video, count") << QStringList { "--trimfront", "20000", "-c", "3", "clip.mp4" } << 6
                                                  << "No images made: the trimmed video is empty" << QStringList();
    // A single shot has nothing to capture either when the trims cover the video.
    QTest::newRow("single shot, trims cover the video") << QStringList { "-c", "1", "--trimfront", "0", "--trimback", "20000", "clip.mp4" }
                                                        << 6 << "No images made: the trimmed video is empty" << QStringList();
    QTest::newRow("single shot after the trimmed end") << QStringList { "-c", "1", "--trimfront", "30000", "clip.mp4" } << 6
                                                       << "No images made: the trimmed video is empty" << QStringList();
    QTest::newRow("shots and count") << QStringList { "--shots", "-c", "3", "clip.mp4" } << 2
                                     << "Please only set one of --count, --ms and --shots" << QStringList();
    QTest::newRow("fast and sharpest") << QStringList { "--fast", "--sharpest", "200", "clip.mp4" } << 2
                                       << "--fast takes key frames as they are: leave out --sharpest" << QStringList();
    QTest::newRow("shot option without shots") << QStringList { "--min-shot", "100", "clip.mp4" } << 2
                                               << "--min-shot needs --shots" << QStringList();
    QTest::newRow("threshold too low") << QStringList { "--shots", "--shot-threshold", "0", "clip.mp4" } << 2
                                       << "Invalid value for --shot-threshold: \"0\" (expected a number from 0.5 to 100)" << QStringList();
    QTest::newRow("threshold not a number") << QStringList { "--shots", "--shot-threshold", "ten", "clip.mp4" } << 2
                                            << "Invalid value for --shot-threshold: \"ten\" (expected a number from 0.5 to 100)" << QStringList();
    QTest::newRow("negative min shot") << QStringList { "--shots", "--min-shot", "-600", "clip.mp4" } << 2
                                       << "Invalid value for --min-shot: \"-600\" (expected a whole number from 0 to 2147483647)" << QStringList();
    QTest::newRow("sharpest 0") << QStringList { "--sharpest", "0", "clip.mp4" } << 2
                                << "Invalid value for --sharpest: \"0\" (expected a whole number from 1 to 10000)" << QStringList();
    QTest::newRow("shot list is the video") << QStringList { "--shots", "--shot-list", "clip.mp4", "clip.mp4" } << 2
                                            << "Will not write the shot list to clip.mp4: it is the video to process" << QStringList();
    QTest::newRow("shot list in no folder") << QStringList { "--shots", "--shot-list", "no/such/shots.csv", "clip.mp4" } << 2
                                            << "Cannot write the shot list: no/such/shots.csv" << QStringList();
    // The counter stops at the largest int instead of running over.
    QTest::newRow("counter at its end") << QStringList { "--filecounter", "2147483647", "-c", "3", "clip.mp4" } << 5
                                        << "Saving: clip-2147483647.jpeg" << QStringList { "clip-2147483647.jpeg" };
}

void TindracmdTest::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, firstLine);
    QFETCH(QStringList, written);
    const QByteArray video = fileContent(path(QStringLiteral("clip.mp4")));
    if (arguments.contains(QStringLiteral("full.jsonl")))
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), path(QStringLiteral("full.jsonl"))));
    const Run run = tindracmd(arguments);
    QCOMPARE(run.status, status);
    if (!firstLine.isEmpty())
        QCOMPARE(run.out.section(QLatin1Char('\n'), 0, 0), firstLine);
    if (status == 2)
        QVERIFY2(run.out.contains(QStringLiteral("Tindra Command line options")), "help follows the error");
    else if (status == 7)
        QVERIFY2(run.out.contains(QStringLiteral("No space left on device. No more images are listed.")), qPrintable(run.out));
    else if (status == 1)
        QVERIFY(!run.err.isEmpty());
    QCOMPARE(images(), written);
    QVERIFY2(fileContent(path(QStringLiteral("clip.mp4"))) == video, "the video was changed");
}

void TindracmdTest::unreadableVideos_data()
{
    QTest::addColumn<QString>("clip");
    QTest::newRow("empty") << "empty.mp4";
    QTest::newRow("random bytes") << "random.mp4";
    QTest::newRow("audio only") << "audio-only.m4a";
}

void TindracmdTest::unreadableVideos()
{
    QFETCH(QString, clip);
    QVERIFY(QFile::copy(TestClips::path(clip), path(clip)));
    const Run run = tindracmd({ clip });
    QCOMPARE(run.status, 3);
    QCOMPARE(run.out, QStringLiteral("Could not open file %1\n").arg(clip));
    QCOMPARE(images(), QStringList({ clip }));
}

void TindracmdTest::unwritableFolder()
{
    // Refused by the check when /proc reads as read-only, else by the write itself.
    const Run run = tindracmd({ QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("clip.mp4"),
                                QStringLiteral("/proc") });
    if (run.status == 2) {
        QVERIFY(run.out.startsWith(QStringLiteral("Output folder is not writable: /proc\n")));
    } else {
        QCOMPARE(run.status, 5);
        QVERIFY2(run.out.contains(QStringLiteral("Could not write image /proc/clip-.jpeg: ")), qPrintable(run.out));
        QVERIFY(run.out.endsWith(QStringLiteral("0 of 1 images written to /proc\n")));
    }
}

void TindracmdTest::stopSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

// Stopped once its first image is out, the job finishes or drops the image in
// progress, says how far it got and leaves only complete images behind.
void TindracmdTest::stopSignals()
{
    QFETCH(int, signal);
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(TestClips::builtFile(QStringLiteral("cli/tindracmd")),
                  { QStringLiteral("--count"), QStringLiteral("40"), QStringLiteral("--filetype"), QStringLiteral("png"),
                    QStringLiteral("clip.mp4") });
    QByteArray out;
    while (!out.contains("Saving: ") && process.waitForReadyRead(60000))
        out += process.readAllStandardOutput();
    QVERIFY2(out.contains("Saving: "), out.constData());
    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(60000));
    out += process.readAllStandardOutput();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + signal);

    const QStringList written = images();
    QVERIFY(!written.isEmpty() && written.size() < 40);
    QVERIFY2(out.endsWith(QStringLiteral("Interrupted: %1 images written to %2\n").arg(written.size()).arg(m_dir->path()).toUtf8()),
             out.constData());
    for (const QString &image : written)
        QVERIFY2(FrameId::read(QImage(path(image))) >= 0, qPrintable(image));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Hidden | QDir::Files).size(), written.size() + 1);
}

void TindracmdTest::truncatedVideo()
{
    // The index promises 12 s, the data stops before 6 s: of four images 1999
    // ms apart the last is missing, and the job says so.
    QVERIFY(QFile::copy(TestClips::path(QStringLiteral("truncated.mp4")), path(QStringLiteral("cut.mp4"))));
    const Run run = tindracmd({ QStringLiteral("-c"), QStringLiteral("4"), QStringLiteral("cut.mp4") });
    QCOMPARE(run.status, 4);
    QCOMPARE(images(), QStringList({ "cut-00001.jpeg", "cut-00002.jpeg", "cut-00003.jpeg", "cut.mp4" }));
    QCOMPARE(frameOf(QStringLiteral("cut-00001.jpeg")), 50);
    QCOMPARE(frameOf(QStringLiteral("cut-00002.jpeg")), 100);
    QVERIFY2(run.out.contains(QStringLiteral("Frame extraction error Cannot extract frame at position 7997: data ends at ")),
             qPrintable(run.out));
    QVERIFY(run.out.endsWith(QStringLiteral("3 of 4 images written to %1\n").arg(m_dir->path())));
}

void TindracmdTest::nameLikeAProtocol()
{
    // Read as the file it is, not as standard input.
    QVERIFY(QFile::copy(TestClips::path(QStringLiteral("vp9.webm")), path(QStringLiteral("pipe:0"))));
    const Run run = tindracmd({ QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("--trimfront"), QStringLiteral("0"),
                                QStringLiteral("--trimback"), QStringLiteral("0"), QStringLiteral("pipe:0") });
    QCOMPARE(run.status, 0);
    QCOMPARE(frameOf(QStringLiteral("pipe:0-.jpeg")), 50);
}

void TindracmdTest::nonAsciiPaths()
{
    const QString folder = QString::fromUtf8("sortie à part");
    const QString video = QString::fromUtf8("vidéo d'été ü.webm");
    QVERIFY(QDir(m_dir->path()).mkdir(folder));
    QVERIFY(QFile::copy(TestClips::path(QStringLiteral("vp9.webm")), path(video)));
    const Run run = tindracmd({ QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("--trimfront"),
                                QStringLiteral("0"), QStringLiteral("--trimback"), QStringLiteral("0"), video, folder });
    QCOMPARE(run.status, 0);
    const QString name = QString::fromUtf8("vidéo d'été ü-.jpeg");
    QCOMPARE(images(folder), QStringList({ name }));
    QCOMPARE(frameOf(QDir(folder).filePath(name)), 50);
}

void TindracmdTest::logFile()
{
    QVERIFY(QFile::copy(TestClips::path(QStringLiteral("empty.mp4")), path(QStringLiteral("empty.mp4"))));
    QCOMPARE(tindracmd({ QStringLiteral("--log"), QStringLiteral("run.log"), QStringLiteral("--fast"), QStringLiteral("-c"),
                         QStringLiteral("1"), QStringLiteral("clip.mp4") }).status, 0);
    QCOMPARE(tindracmd({ QStringLiteral("--log"), QStringLiteral("run.log"), QStringLiteral("empty.mp4") }).status, 3);
    QCOMPARE(tindracmd({ QStringLiteral("--log"), QStringLiteral("run.log"), QStringLiteral("-m"), QStringLiteral("x"),
                         QStringLiteral("clip.mp4") }).status, 2);
    QFile log(path(QStringLiteral("run.log")));
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList lines;
    for (const QString &line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines.append(line.section(QLatin1Char(' '), 1));
    QCOMPARE(lines, QStringList({ "Key-frame mode: each image is the key frame nearest to its position",
                                  "Saving: clip-.jpeg", QStringLiteral("1 image written to %1").arg(m_dir->path()),
                                  "Could not open file empty.mp4",
                                  "Invalid value for --ms: \"x\" (expected a whole number from 0 to 2147483647)" }));
}

void TindracmdTest::helpAndVersion()
{
    const Run help = tindracmd({ QStringLiteral("--help") });
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains(QStringLiteral("Tindra Command line options")));
    QVERIFY(help.out.contains(QStringLiteral("--videoaspectratio")));
    const Run version = tindracmd({ QStringLiteral("--version") });
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out.trimmed(), QStringLiteral("Tindra " TINDRA_VERSION));
}

QTEST_GUILESS_MAIN(TindracmdTest)
#include "tindracmdtest.moc"
