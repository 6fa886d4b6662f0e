#include "batch/batchthread.h"
#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"

#include "queuedsignalcounter.h"
#include "testclips.h"

#include <QtTest>

#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// Everything a job shows and leaves behind.
struct JobRecord {
    QStringList statuses;
    QList<float> progress;
    int imagesReady = 0;
    QStringList names;
    QList<QByteArray> files;
};

}

// A job decoded ahead on several decoders makes what one decoder makes: the
// same signals in the same order, the same files with the same bytes.
class ParallelDecodingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameJobOnEveryDecoderCount_data();
    void sameJobOnEveryDecoderCount();
    void interruptionStopsTheDecodersPromptly();

private:
    JobRecord runJob(int decoders);
};

void ParallelDecodingTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

JobRecord ParallelDecodingTest::runJob(int decoders)
{
    QFETCH(QString, clip);
    QFETCH(int, rule);
    QFETCH(int, every);
    QFETCH(qint64, skipFront);
    QFETCH(qint64, skipBack);

    QTemporaryDir dir;
    BatchWorkerConfig config;
    config.setSource(TestClips::path(clip));
    config.setFileOutputPath(dir.path());
    config.setIntervalType(rule);
    config.setIntervalMilliseconds(every);
    config.setIntervalImages(every);
    config.setIntervalSingleShot(BatchWorkerConfig::Back);
    config.setSkipFront(skipFront);
    config.setSkipBack(skipBack);
    BatchWorker worker;
    worker.setConfig(&config);
    worker.setDecoderThreads(decoders);
    worker.setPauseAfterImage(0);

    JobRecord record;
    connect(&worker, &BatchWorker::statusUpdate, this,
            [&](BatchWorker *, const QString &text) { record.statuses << text; });
    connect(&worker, &BatchWorker::progressUpdate, this,
            [&](BatchWorker *, float progress) { record.progress << progress; });
    connect(&worker, &BatchWorker::imageReady, this, [&] { ++record.imagesReady; });
    worker.run();
    record.names = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    for (const QString &name : qAsConst(record.names)) {
        QFile file(QDir(dir.path()).filePath(name));
        file.open(QIODevice::ReadOnly);
        record.files << file.readAll();
    }
    return record;
}

void ParallelDecodingTest::sameJobOnEveryDecoderCount_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("rule");
    QTest::addColumn<int>("every");   // ms for rule 0, images for rule 1
    QTest::addColumn<qint64>("skipFront");
    QTest::addColumn<qint64>("skipBack");

    QTest::newRow("h264 with B-frames, several per group of pictures") << "h264-bframes.mp4" << 0 << 1500 << qint64(0) << qint64(0);
    QTest::newRow("60 s, one per group of pictures") << "h264-60s.mp4" << 1 << 6 << qint64(2000) << qint64(2000);
    QTest::newRow("one group of pictures") << "long-gop-720p.mp4" << 0 << 1000 << qint64(0) << qint64(0);
    QTest::newRow("vp9") << "vp9.webm" << 1 << 5 << qint64(0) << qint64(0);
    QTest::newRow("hevc 10 bit mkv") << "hevc10.mkv" << 1 << 5 << qint64(0) << qint64(0);
    QTest::newRow("mpeg-ts") << "h264.ts" << 1 << 5 << qint64(0) << qint64(0);
    QTest::newRow("rotated") << "rotated.mp4" << 1 << 3 << qint64(0) << qint64(0);
    QTest::newRow("anamorphic") << "anamorphic.mp4" << 1 << 3 << qint64(0) << qint64(0);
    QTest::newRow("full-range colour") << "colour-hd-full.mp4" << 1 << 2 << qint64(0) << qint64(0);
    QTest::newRow("non-ASCII path") << "dossier à part/vidéo d'été ü.webm" << 1 << 3 << qint64(0) << qint64(0);
    QTest::newRow("truncated: frames missing") << "truncated.mp4" << 1 << 6 << qint64(0) << qint64(0);
    QTest::newRow("single shot past the end") << "h264-10s.mp4" << 2 << 1 << qint64(0) << qint64(0);
    // Steps within the grabber's tolerance keep its earlier position.
    QTest::newRow("steps below the tolerance") << "h264-10s.mp4" << 0 << 100 << qint64(0) << qint64(8800);
    // More images than milliseconds: the step is -1 ms.
    QTest::newRow("step below zero") << "h264-10s.mp4" << 1 << 20 << qint64(4990) << qint64(5000);
    QTest::newRow("not a video") << "random.mp4" << 1 << 3 << qint64(0) << qint64(0);
}

void ParallelDecodingTest::sameJobOnEveryDecoderCount()
{
    const JobRecord one = runJob(1);
    const JobRecord three = runJob(3);
    QVERIFY(!one.statuses.isEmpty());
    QCOMPARE(three.statuses, one.statuses);
    QCOMPARE(three.progress, one.progress);
    QCOMPARE(three.imagesReady, one.imagesReady);
    QCOMPARE(three.names, one.names);
    for (int i = 0; i < one.files.size(); ++i)
        QVERIFY2(three.files.at(i) == one.files.at(i), qPrintable(one.names.at(i)));
}

// As the desktop runs a batch: the worker on the batch thread, its frames
// saved on this thread, a decoder walking through a long group of pictures.
void ParallelDecodingTest::interruptionStopsTheDecodersPromptly()
{
    QTemporaryDir dir;
    auto *config = new BatchWorkerConfig(this);
    config->setSource(TestClips::path(QStringLiteral("long-gop-720p.mp4")));
    config->setFileOutputPath(dir.path());
    config->setIntervalType(BatchWorkerConfig::EveryInterval);
    config->setIntervalMilliseconds(300);
    config->setSkipFront(0);
    config->setSkipBack(0);
    BatchThread thread;
    auto *worker = new BatchWorker;
    worker->setConfig(config);
    worker->setDecoderThreads(2);
    thread.addWorker(worker);
    QSignalSpy ready(worker, &BatchWorker::imageReady);
    QueuedSignalCounter done(&thread, &BatchThread::threadDone);
    thread.start();
    QVERIFY(ready.wait(60000));

    // How soon each decoder stops is the fetcher's and the grabber's to show.
    thread.requestInterruption();
    QVERIFY(thread.wait(10000));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.count(), 1);
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).size() < 34);
}

QTEST_MAIN(ParallelDecodingTest)
#include "paralleldecodingtest.moc"
