#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "media/videodecoder.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "filesizelimit.h"
#include "frameid.h"
#include "testclips.h"

#include <QtTest>

#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace {

// The frame numbers held by the images of a folder, in file-name order.
QList<int> framesIn(const QDir &folder, QStringList *names)
{
    QList<int> frames;
    *names = folder.entryList(QDir::Files, QDir::Name);
    for (const QString &name : qAsConst(*names))
        frames.append(FrameId::read(QImage(folder.filePath(name))));
    return frames;
}

}

class BatchWorkerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void schedule_data();
    void schedule();
    void choices_data();
    void choices();
    void secondRunContinuesTheCounter();
    void unreadableVideo_data();
    void unreadableVideo();
    void writeFailures_data();
    void writeFailures();
    void interruptionStopsSaving();
    void keyFrameMode_data();
    void keyFrameMode();

private:
    BatchWorkerConfig *makeJob(const QString &clip);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void BatchWorkerTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void BatchWorkerTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

BatchWorkerConfig *BatchWorkerTest::makeJob(const QString &clip)
{
    auto *config = new BatchWorkerConfig(this);
    config->setSource(TestClips::path(clip));
    config->setFileOutputPath(m_dir->path());
    return config;
}

void BatchWorkerTest::schedule_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("rule");
    QTest::addColumn<int>("every");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("single");
    QTest::addColumn<qint64>("skipFront");
    QTest::addColumn<qint64>("skipBack");
    QTest::addColumn<QList<int>>("frames");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<float>("lastProgress");

    // Key frames only every 10 s: position p gives frame ceil(p / 40).
    QStringList twelve;
    QList<int> everyFive;
    for (int i = 1; i <= 12; ++i) {
        twelve << QStringLiteral("h264-60s-%1.jpeg").arg(i, 5, 10, QLatin1Char('0'));
        everyFive << (2000 + (i - 1) * 5000) / 40;
    }
    QTest::newRow("defaults on 60 s: 2000 to 57000")
        << "h264-60s.mp4" << 0 << 5000 << 10 << 1 << qint64(2000) << qint64(2000) << everyFive << twelve << 1.0f;
    // The estimate of 3 steps leaves the last progress at 0.01 + 0.99 * 4 / 6.
    QTest::newRow("every 5000 on 10 s, no skips")
        << "h264-10s.mp4" << 0 << 5000 << 10 << 1 << qint64(0) << qint64(0) << QList<int> { 0, 125 }
        << QStringList { "h264-10s-00001.jpeg", "h264-10s-00002.jpeg" } << 0.67f;
    QTest::newRow("4 images on 10 s: step 2499")
        << "h264-10s.mp4" << 1 << 5000 << 4 << 1 << qint64(0) << qint64(0) << QList<int> { 0, 63, 125, 188 }
        << QStringList { "h264-10s-00001.jpeg", "h264-10s-00002.jpeg", "h264-10s-00003.jpeg", "h264-10s-00004.jpeg" }
        << 1.0f;
    // Each position lands exactly on a frame: 1 ms later would be the next one.
    QTest::newRow("3 images on frames: step 2000")
        << "h264-10s.mp4" << 1 << 5000 << 3 << 1 << qint64(0) << qint64(3997) << QList<int> { 0, 50, 100 }
        << QStringList { "h264-10s-00001.jpeg", "h264-10s-00002.jpeg", "h264-10s-00003.jpeg" } << 1.0f;
    // One image is a single shot, named without a counter.
    QTest::newRow("1 image becomes the middle single shot")
        << "h264-10s.mp4" << 1 << 5000 << 1 << 1 << qint64(0) << qint64(0) << QList<int> { 125 }
        << QStringList { "h264-10s-.jpeg" } << 1.0f;
    // Half the trimmed length, counted from the start of the video.
    QTest::newRow("middle with skips 2000/2000")
        << "h264-10s.mp4" << 2 << 5000 << 10 << 1 << qint64(2000) << qint64(2000) << QList<int> { 75 }
        << QStringList { "h264-10s-.jpeg" } << 1.0f;
    QTest::newRow("front with skips")
        << "h264-10s.mp4" << 2 << 5000 << 10 << 0 << qint64(1000) << qint64(2000) << QList<int> { 25 }
        << QStringList { "h264-10s-.jpeg" } << 1.0f;
    QTest::newRow("back with skips")
        << "h264-10s.mp4" << 2 << 5000 << 10 << 2 << qint64(1000) << qint64(2000) << QList<int> { 200 }
        << QStringList { "h264-10s-.jpeg" } << 1.0f;
    // Past the end the grabber answers with the last frame.
    QTest::newRow("back without skips")
        << "h264-10s.mp4" << 2 << 5000 << 10 << 2 << qint64(0) << qint64(0) << QList<int> { 249 }
        << QStringList { "h264-10s-.jpeg" } << 1.0f;
    QTest::newRow("skips cover the video")
        << "h264-10s.mp4" << 0 << 5000 << 10 << 1 << qint64(6000) << qint64(4000) << QList<int> {} << QStringList {}
        << 0.01f;
    // Positions closer than the tolerance: each gives a frame of its own,
    // also where they are closer than two frames.
    QStringList twenty;
    QList<int> twentyFrames;
    for (int i = 1; i <= 20; ++i) {
        twenty << QStringLiteral("h264-10s-%1.jpeg").arg(i, 5, 10, QLatin1Char('0'));
        twentyFrames << (2000 + (i - 1) * 299 + 39) / 40;
    }
    QTest::newRow("20 images over 6 s: step 299")
        << "h264-10s.mp4" << 1 << 5000 << 20 << 1 << qint64(2000) << qint64(2000) << twentyFrames << twenty << 1.0f;
    QTest::newRow("every 50 ms")
        << "h264-10s.mp4" << 0 << 50 << 10 << 1 << qint64(0) << qint64(9800) << QList<int> { 0, 2, 3, 4 }
        << QStringList { "h264-10s-00001.jpeg", "h264-10s-00002.jpeg", "h264-10s-00003.jpeg", "h264-10s-00004.jpeg" }
        << 0.01f + 0.99f * 8 / 10;
    // Trims that cover the video leave nothing for a single shot either.
    QTest::newRow("middle, trims cover the video")
        << "h264-10s.mp4" << 2 << 5000 << 10 << 1 << qint64(0) << qint64(20000) << QList<int> {} << QStringList {} << 0.01f;
    QTest::newRow("front, trims cover the video")
        << "h264-10s.mp4" << 2 << 5000 << 10 << 0 << qint64(30000) << qint64(2000) << QList<int> {} << QStringList {}
        << 0.01f;
    QTest::newRow("unknown rule takes none")
        << "h264-10s.mp4" << 5 << 5000 << 10 << 1 << qint64(2000) << qint64(2000) << QList<int> {} << QStringList {}
        << 0.01f;
    // An interval below 1 ms reads as one second.
    QTest::newRow("interval 0 is 1000 ms")
        << "h264-10s.mp4" << 0 << 0 << 10 << 1 << qint64(0) << qint64(6500) << QList<int> { 0, 25, 50, 75 }
        << QStringList { "h264-10s-00001.jpeg", "h264-10s-00002.jpeg", "h264-10s-00003.jpeg", "h264-10s-00004.jpeg" }
        << 0.01f + 0.99f * 8 / 8;
}

void BatchWorkerTest::schedule()
{
    QFETCH(QString, clip);
    QFETCH(int, rule);
    QFETCH(int, every);
    QFETCH(int, count);
    QFETCH(int, single);
    QFETCH(qint64, skipFront);
    QFETCH(qint64, skipBack);
    QFETCH(QList<int>, frames);
    QFETCH(QStringList, names);
    QFETCH(float, lastProgress);

    BatchWorkerConfig *config = makeJob(clip);
    config->setIntervalType(rule);
    config->setIntervalMilliseconds(every);
    config->setIntervalImages(count);
    config->setIntervalSingleShot(single);
    config->setSkipFront(skipFront);
    config->setSkipBack(skipBack);

    BatchWorker worker;
    worker.setConfig(config);
    QSignalSpy progress(&worker, &BatchWorker::progressUpdate);
    QSignalSpy ready(&worker, &BatchWorker::imageReady);
    QSignalSpy status(&worker, &BatchWorker::statusUpdate);
    QSignalSpy finished(&worker, &BatchWorker::finished);
    worker.run();

    QStringList written;
    QCOMPARE(framesIn(QDir(m_dir->path()), &written), frames);
    QCOMPARE(written, names);
    QCOMPARE(ready.count(), names.size());
    QCOMPARE(finished.count(), 1);
    const auto outcome = finished.constFirst().at(1).value<BatchOutcome>();
    QCOMPARE(outcome.imagesSaved, names.size());
    QCOMPARE(outcome.framesRequested, names.size());
    QCOMPARE(status.count(), names.size());
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(status.at(i).at(1).toString(), QStringLiteral("Saving: ") + names.at(i));
    // Progress: 0, 0.01 once the video is set, then two steps per image, never falling.
    QVERIFY(progress.count() >= 2);
    QCOMPARE(progress.at(0).at(1).toFloat(), 0.0f);
    QCOMPARE(progress.at(1).at(1).toFloat(), 0.01f);
    QCOMPARE(progress.count(), 2 + 2 * names.size());
    for (int i = 1; i < progress.count(); ++i)
        QVERIFY(progress.at(i).at(1).toFloat() >= progress.at(i - 1).at(1).toFloat());
    QVERIFY2(qAbs(progress.constLast().at(1).toFloat() - lastProgress) < 0.005f,
             qPrintable(QString::number(progress.constLast().at(1).toFloat())));
    // The default image profile: exactly 640 x 480, JPEG.
    for (const QString &name : qAsConst(names)) {
        QImageReader reader(QDir(m_dir->path()).filePath(name));
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(640, 480));
    }
    if (rule == 1 && count <= 1) {
        QCOMPARE(config->intervalType(), int(BatchWorkerConfig::SingleImage));
        QCOMPARE(config->intervalImages(), 10);
    }
}

// One image per shot, and frames chosen near the positions: the frames taken
// (each within a lowest and highest frame number) and what the job says
// besides the names it saves.
void BatchWorkerTest::choices_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("rule");
    QTest::addColumn<bool>("skipBlank");
    QTest::addColumn<int>("sharpest");
    QTest::addColumn<QList<int>>("lowest");
    QTest::addColumn<QList<int>>("highest");
    QTest::addColumn<QStringList>("notes");

    // Cuts at frames 31, 70, 113 and 150.
    QTest::newRow("each shot") << "shots-cuts.mp4" << 3 << false << 0 << QList<int> { 0, 31, 70, 113, 150 }
                               << QList<int> { 30, 69, 112, 149, 185 } << QStringList { "5 shots found" };
    // Every 1000 ms; black from frame 50 to 74.
    QTest::newRow("blank skipped") << "blank-gap.mp4" << 0 << true << 0 << QList<int> { 0, 25, 75, 75 }
                                   << QList<int> { 0, 25, 75, 75 } << QStringList { "2000 ms is blank; took 3000 ms" };
    // Black reads as frame 0.
    QTest::newRow("blank kept") << "blank-gap.mp4" << 0 << false << 0 << QList<int> { 0, 25, 0, 75 }
                                << QList<int> { 0, 25, 0, 75 } << QStringList();
    // The middle, 2000 ms: only frames 20 and 53 are sharp.
    QTest::newRow("sharpest within 500 ms") << "blurred.mp4" << 2 << false << 500 << QList<int> { 53 }
                                            << QList<int> { 53 } << QStringList { "2000 ms: took the sharpest frame, at 2120 ms" };
    QTest::newRow("all black, blank skipped") << "black.mp4" << 1 << true << 0 << QList<int>() << QList<int>()
                                              << QStringList { "No images made: every frame of the trimmed video is blank" };
}

void BatchWorkerTest::choices()
{
    QFETCH(QString, clip);
    QFETCH(int, rule);
    QFETCH(bool, skipBlank);
    QFETCH(int, sharpest);
    QFETCH(QList<int>, lowest);
    QFETCH(QList<int>, highest);
    QFETCH(QStringList, notes);

    BatchWorkerConfig *config = makeJob(clip);
    config->setIntervalType(rule);
    config->setIntervalMilliseconds(1000);
    config->setIntervalImages(3);
    config->setSkipFront(0);
    config->setSkipBack(0);
    config->setSkipBlank(skipBlank);
    config->setSharpestMilliseconds(sharpest);
    // Whole pictures, frame numbers and all.
    config->imageProfile()->setMaintainAspectRatio(true);
    BatchWorker worker;
    worker.setConfig(config);
    QStringList said;
    connect(&worker, &BatchWorker::statusUpdate, this, [&](BatchWorker *, const QString &text) {
        if (!text.startsWith(QLatin1String("Saving: ")))
            said.append(text);
    });
    worker.run();

    QStringList names;
    const QList<int> frames = framesIn(QDir(m_dir->path()), &names);
    QCOMPARE(frames.size(), lowest.size());
    for (int i = 0; i < frames.size(); ++i)
        QVERIFY2(frames.at(i) >= lowest.at(i) && frames.at(i) <= highest.at(i), qPrintable(QString::number(frames.at(i))));
    QCOMPARE(said, notes);
    QCOMPARE(worker.outcome().blankVideo, lowest.isEmpty());
}

void BatchWorkerTest::secondRunContinuesTheCounter()
{
    const QDir folder(m_dir->path());
    // Someone else's file in the way, and an earlier single shot.
    QFile other(folder.filePath(QStringLiteral("h264-10s-00002.jpeg")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("not ours");
    other.close();

    for (int run = 0; run < 2; ++run) {
        BatchWorkerConfig *config = makeJob(QStringLiteral("h264-10s.mp4"));
        config->setIntervalType(BatchWorkerConfig::ImageCount);
        config->setIntervalImages(2);
        config->setSkipFront(0);
        config->setSkipBack(0);
        BatchWorker worker;
        worker.setConfig(config);
        worker.run();
        QCOMPARE(worker.outcome().imagesSaved, 2);
    }
    QCOMPARE(folder.entryList(QDir::Files, QDir::Name),
             QStringList({ "h264-10s-00001.jpeg", "h264-10s-00002.jpeg", "h264-10s-00003.jpeg",
                           "h264-10s-00004.jpeg", "h264-10s-00005.jpeg" }));
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("not ours"));
    // The first run took frames 0 and 125, the second the same again.
    QCOMPARE(FrameId::read(QImage(folder.filePath(QStringLiteral("h264-10s-00004.jpeg")))), 0);
    QCOMPARE(FrameId::read(QImage(folder.filePath(QStringLiteral("h264-10s-00005.jpeg")))), 125);
}

void BatchWorkerTest::unreadableVideo_data()
{
    QTest::addColumn<QString>("clip");
    QTest::newRow("empty") << "empty.mp4";
    QTest::newRow("random bytes") << "random.mp4";
    QTest::newRow("audio only") << "audio-only.m4a";
    QTest::newRow("missing") << "no-such-clip.mp4";
}

void BatchWorkerTest::unreadableVideo()
{
    QFETCH(QString, clip);
    BatchWorkerConfig *config = makeJob(clip);
    BatchWorker worker;
    worker.setConfig(config);
    QSignalSpy status(&worker, &BatchWorker::statusUpdate);
    worker.run();
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(1).toString(), QStringLiteral("Could not open file ") + config->source());
    QVERIFY(worker.outcome().openFailed);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

void BatchWorkerTest::writeFailures_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<qint64>("fileSizeLimit");
    QTest::addColumn<int>("framesRequested");
    QTest::addColumn<QString>("lastStatus");
    // A folder that takes no new files, whoever runs the test: each image fails.
    QTest::newRow("folder takes no files") << "/proc" << qint64(0) << 3
        << "Could not write image /proc/h264-10s-00001.jpeg: No such file or directory";
    // No room: the job stops at once, and no file is left behind.
    QTest::newRow("no room") << QString() << qint64(1000) << 1 << "No more images are written.";
}

void BatchWorkerTest::writeFailures()
{
    QFETCH(QString, folder);
    QFETCH(qint64, fileSizeLimit);
    QFETCH(int, framesRequested);
    QFETCH(QString, lastStatus);
    BatchWorkerConfig *config = makeJob(QStringLiteral("h264-10s.mp4"));
    if (!folder.isEmpty())
        config->setFileOutputPath(folder);
    config->setIntervalType(BatchWorkerConfig::ImageCount);
    config->setIntervalImages(3);
    BatchWorker worker;
    worker.setConfig(config);
    worker.setPauseAfterImage(0);
    QSignalSpy status(&worker, &BatchWorker::statusUpdate);
    QSignalSpy ready(&worker, &BatchWorker::imageReady);
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (fileSizeLimit > 0)
            limit = std::make_unique<FileSizeLimit>(fileSizeLimit);
        worker.run();
    }
    QCOMPARE(worker.outcome().framesRequested, framesRequested);
    QCOMPARE(worker.outcome().saveErrors, framesRequested);
    QCOMPARE(worker.outcome().imagesSaved, 0);
    QCOMPARE(ready.count(), 0);
    QVERIFY2(status.constLast().at(1).toString().endsWith(lastStatus), qPrintable(status.constLast().at(1).toString()));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void BatchWorkerTest::interruptionStopsSaving()
{
    BatchWorkerConfig *config = makeJob(QStringLiteral("h264-10s.mp4"));
    config->setIntervalType(BatchWorkerConfig::ImageCount);
    config->setIntervalImages(8);
    BatchWorker worker;
    worker.setConfig(config);
    // Stop once the second image is saved: no later emission, no later file.
    QList<float> progressAfter;
    int saved = 0;
    connect(&worker, &BatchWorker::imageReady, this, [&] {
        if (++saved == 2)
            worker.requestInterruption();
    });
    connect(&worker, &BatchWorker::progressUpdate, this, [&](BatchWorker *, float p) {
        if (saved >= 2)
            progressAfter.append(p);
    });
    worker.run();
    QCOMPARE(saved, 2);
    QCOMPARE(progressAfter, QList<float>());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2);
}

void BatchWorkerTest::keyFrameMode_data()
{
    QTest::addColumn<bool>("skipBlank");
    QTest::addColumn<QString>("said");
    QTest::newRow("key frames") << false << "Key-frame mode: each image is the key frame nearest to its position";
    QTest::newRow("blank frames to be skipped")
        << true << "Key-frame mode: each image is the key frame nearest to its position "
                   "(blank frames are not skipped, nor the sharpest frame sought)";
}

void BatchWorkerTest::keyFrameMode()
{
    QFETCH(bool, skipBlank);
    QFETCH(QString, said);
    // Key frames every 10 s; 8 images from 2000 ms, 6999 ms apart. Each
    // image is the key frame nearest to its position, and each key frame is
    // decoded once: no other picture is.
    BatchWorkerConfig *config = makeJob(QStringLiteral("h264-60s.mp4"));
    config->setIntervalType(BatchWorkerConfig::ImageCount);
    config->setIntervalImages(8);
    config->setKeyFramesOnly(true);
    config->setSkipBlank(skipBlank);
    BatchWorker worker;
    worker.setConfig(config);
    worker.setDecoderThreads(1);
    worker.setPauseAfterImage(0);
    QSignalSpy status(&worker, &BatchWorker::statusUpdate);
    const qint64 before = media::VideoDecoder::picturesDecoded();
    worker.run();
    QCOMPARE(media::VideoDecoder::picturesDecoded() - before, qint64(6));
    QStringList names;
    QCOMPARE(framesIn(QDir(m_dir->path()), &names), QList<int>({ 0, 250, 500, 500, 750, 1000, 1000, 1250 }));
    QCOMPARE(status.count(), 9);
    QCOMPARE(status.at(0).at(1).toString(), said);
}

QTEST_MAIN(BatchWorkerTest)
#include "batchworkertest.moc"
