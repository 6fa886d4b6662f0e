#include "frameid.h"
#include "testclips.h"

#include <QtTest>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// A video library run through GNU parallel as the README shows: one tindracmd
// per video, several at once, all writing into one folder.
class ParallelRunsTest : public QObject
{
    Q_OBJECT

private slots:
    void libraryIntoOneFolder();
    void threadsOption_data();
    void threadsOption();
};

void ParallelRunsTest::libraryIntoOneFolder()
{
    if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
        QSKIP("GNU parallel is not installed (scripts/setup.sh installs it)");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir root(dir.path());
    // Two videos of the same name in different folders make the same file
    // names, a third is not a video at all.
    for (const QString &folder : { "library/a", "library/b c", "out" })
        QVERIFY(root.mkpath(folder));
    QVERIFY(QFile::copy(TestClips::path("h264-bframes.mp4"), root.filePath("library/a/clip.mp4")));
    QVERIFY(QFile::copy(TestClips::path("h264-bframes.mp4"), root.filePath("library/b c/clip.mp4")));
    QVERIFY(QFile::copy(TestClips::path("h264-10s.mp4"), root.filePath("library/ten.mp4")));
    QVERIFY(QFile::copy(TestClips::path("random.mp4"), root.filePath("library/b c/broken.mp4")));
    QFile other(root.filePath("out/clip-00002.jpeg"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("not ours");
    other.close();

    QProcess shell;
    shell.setWorkingDirectory(root.path());
    shell.start(QStringLiteral("bash"), { QStringLiteral("-c"),
        QStringLiteral("find library -name '*.mp4' -print0 | parallel -0 --will-cite -j 3 --joblog jobs.log "
                       "\"$0\" --threads 1 --count 3 {} out"),
        TestClips::builtFile(QStringLiteral("cli/tindracmd")) });
    QVERIFY(shell.waitForFinished(120000));
    // parallel's exit status is the number of jobs that failed.
    QCOMPARE(shell.exitCode(), 1);

    // Every image asked for, none in place of another.
    QStringList names = QDir(root.filePath("out")).entryList(QDir::Files, QDir::Name);
    QCOMPARE(names, QStringList({ "clip-00001.jpeg", "clip-00002.jpeg", "clip-00003.jpeg", "clip-00004.jpeg",
                                  "clip-00005.jpeg", "clip-00006.jpeg", "clip-00007.jpeg", "ten-00001.jpeg",
                                  "ten-00002.jpeg", "ten-00003.jpeg" }));
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("not ours"));
    names.removeOne(QStringLiteral("clip-00002.jpeg"));
    QList<int> frames;
    for (const QString &name : qAsConst(names))
        frames.append(FrameId::read(QImage(root.filePath("out/" + name))));
    std::sort(frames.begin(), frames.begin() + 6);
    QCOMPARE(frames, QList<int>({ 50, 50, 117, 117, 184, 184, 50, 100, 150 }));

    // The job log names the video that failed, with tindracmd's exit status.
    QFile log(root.filePath("jobs.log"));
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList failed;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() >= 9 && fields.at(6) != "Exitval" && fields.at(6) != "0")
            failed << QString::fromUtf8(fields.at(6) + ' ' + fields.at(8));
    }
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.at(0).startsWith(QLatin1String("3 ")) && failed.at(0).endsWith(QLatin1String("broken.mp4' out")),
             qPrintable(failed.at(0)));
}

void ParallelRunsTest::threadsOption_data()
{
    QTest::addColumn<QString>("threads");
    QTest::addColumn<int>("status");
    QTest::newRow("one decoder") << "1" << 0;
    QTest::newRow("more decoders than cores") << "5" << 0;
    QTest::newRow("none") << "0" << 2;
    QTest::newRow("too many") << "65" << 2;
    QTest::newRow("not a number") << "two" << 2;
}

// The decoders a job runs at once: the same images, or a clear refusal.
void ParallelRunsTest::threadsOption()
{
    QFETCH(QString, threads);
    QFETCH(int, status);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess tindracmd;
    tindracmd.start(TestClips::builtFile(QStringLiteral("cli/tindracmd")),
                    { QStringLiteral("--threads"), threads, QStringLiteral("--count"), QStringLiteral("3"),
                      TestClips::path(QStringLiteral("h264-bframes.mp4")), dir.path() });
    QVERIFY(tindracmd.waitForFinished(120000));
    QCOMPARE(tindracmd.exitCode(), status);
    QList<int> frames;
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files, QDir::Name))
        frames.append(FrameId::read(QImage(QDir(dir.path()).filePath(name))));
    if (status == 0) {
        QCOMPARE(frames, QList<int>({ 50, 117, 184 }));
    } else {
        QCOMPARE(frames, QList<int>());
        QVERIFY(tindracmd.readAllStandardOutput().startsWith("Invalid value for --threads: \"" + threads.toUtf8()));
    }
}

QTEST_MAIN(ParallelRunsTest)
#include "parallelrunstest.moc"
