#include "batch/batchthread.h"
#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "profiles/filenameprofile.h"

#include "queuedsignalcounter.h"
#include "testclips.h"

#include <QtTest>

#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>

class BatchThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void noWorkers();
    void overallProgress();
    void interruptionDuringSecondWorker();

private:
    BatchWorker *makeWorker(int images, const QString &prefix);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void BatchThreadTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void BatchThreadTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

BatchWorker *BatchThreadTest::makeWorker(int images, const QString &prefix)
{
    auto *config = new BatchWorkerConfig(this);
    config->setSource(TestClips::path(QStringLiteral("h264-10s.mp4")));
    config->setFileOutputPath(m_dir->path());
    config->setIntervalType(BatchWorkerConfig::ImageCount);
    config->setIntervalImages(images);
    config->fileNameProfile()->setFileOutputPrefix(prefix);
    auto *worker = new BatchWorker;
    worker->setConfig(config);
    return worker;
}

void BatchThreadTest::noWorkers()
{
    BatchThread thread;
    QueuedSignalCounter progress(&thread, &BatchThread::progressUpdate);
    QueuedSignalCounter done(&thread, &BatchThread::threadDone);
    thread.start();
    QVERIFY(done.wait(5000));
    QVERIFY(thread.wait(5000));
    QCOMPARE(progress.count(), 0);
}

void BatchThreadTest::overallProgress()
{
    BatchThread thread;
    QPointer<BatchWorker> first = makeWorker(2, QStringLiteral("a-"));
    QPointer<BatchWorker> second = makeWorker(2, QStringLiteral("b-"));
    thread.addWorker(first);
    thread.addWorker(second);
    QCOMPARE(first->parent(), &thread);

    // A slow receiver of the images (a preview, say) lets the batch thread run
    // ahead of the user-interface thread: nothing may get lost or go back.
    QStringList saved;
    for (BatchWorker *worker : { first.data(), second.data() }) {
        connect(worker, &BatchWorker::statusUpdate, this,
                [&](BatchWorker *, const QString &text) { saved.append(text); });
        connect(worker, &BatchWorker::imageReady, this, [] { QThread::msleep(300); });
    }
    // Updates from either thread are collected on this one.
    QList<QPair<float, float>> progress;
    connect(&thread, &BatchThread::progressUpdate, this,
            [&](float overall, float current) { progress.append(qMakePair(overall, current)); });
    QueuedSignalCounter done(&thread, &BatchThread::threadDone);
    thread.start();
    QVERIFY(done.wait(30000));
    QVERIFY(thread.wait(5000));
    // Finished workers go through the event loop of the thread they belong to.
    QTRY_VERIFY(first.isNull() && second.isNull());

    QCOMPARE(saved.size(), 4);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 4);
    // Each finished worker reports current 1.0; its share of the whole rises to k / n.
    QList<QPair<float, float>> finished;
    float lastOverall = 0.0f;
    for (const auto &update : qAsConst(progress)) {
        QVERIFY(update.first >= 0.0f && update.first <= 1.0f);
        QVERIFY2(update.first >= lastOverall, "overall progress went back");
        lastOverall = update.first;
        if (update.second == 1.0f)
            finished.append(update);
    }
    QVERIFY(finished.contains(qMakePair(0.5f, 1.0f)));
    QCOMPARE(finished.constLast(), qMakePair(1.0f, 1.0f));
}

void BatchThreadTest::interruptionDuringSecondWorker()
{
    BatchThread thread;
    BatchWorker *second = makeWorker(8, QStringLiteral("b-"));
    thread.addWorker(makeWorker(1, QStringLiteral("a-")));
    thread.addWorker(second);
    thread.addWorker(makeWorker(2, QStringLiteral("c-")));
    QueuedSignalCounter done(&thread, &BatchThread::threadDone);
    int updatesAfterStop = 0;
    bool stopped = false;
    connect(&thread, &BatchThread::progressUpdate, this, [&](float overall, float current) {
        if (stopped) {
            ++updatesAfterStop;
            return;
        }
        // Well into the second worker: its first image is out.
        if (overall > 1.0f / 3.0f && current > 0.2f && current < 1.0f) {
            stopped = true;
            thread.requestInterruption();
        }
    });
    thread.start();
    QVERIFY(done.wait(30000));
    QVERIFY(thread.wait(5000));
    QVERIFY(stopped);
    QCoreApplication::processEvents();
    QCOMPARE(updatesAfterStop, 0);
    // The second worker stopped early; the third never ran.
    const QStringList files = QDir(m_dir->path()).entryList(QDir::Files);
    QCOMPARE(files.filter(QStringLiteral("a-")).size(), 1);
    QVERIFY(files.filter(QStringLiteral("b-")).size() < 8);
    // The worker stopped asking for frames, not only saving them.
    QVERIFY2(second->outcome().framesRequested < 8, qPrintable(QString::number(second->outcome().framesRequested)));
    QCOMPARE(files.filter(QStringLiteral("c-")).size(), 0);
    QVERIFY(second->isInterruptionRequested());
}

QTEST_MAIN(BatchThreadTest)
#include "batchthreadtest.moc"
