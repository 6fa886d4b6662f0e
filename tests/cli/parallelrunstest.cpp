#include "frameid.h"
#include "testclips.h"

#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>
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
    void manifest_data();
    void manifest();
};

namespace {

// The fields of one CSV line; quoted fields may hold commas and quotes.
QStringList csvFields(const QString &line)
{
    QStringList fields = { QString() };
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == QLatin1Char('"') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
            fields.last() += line.at(++i);
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(',') && !quoted)
            fields.append(QString());
        else
            fields.last() += c;
    }
    return fields;
}

const QStringList Columns = { "image", "video", "position_ms", "frame_time_ms", "frame_number", "width", "height", "shot" };

// The rows of a manifest as column -> value; empty on a line that is not a
// whole row.
QList<QVariantMap> manifestRows(const QString &path, int *headers)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QList<QVariantMap> rows;
    *headers = 0;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (path.endsWith(QLatin1String(".jsonl"))) {
            rows.append(QJsonDocument::fromJson(line.toUtf8()).object().toVariantMap());
            continue;
        }
        const QStringList fields = csvFields(line);
        if (fields == Columns) {
            ++*headers;
            continue;
        }
        QVariantMap row;
        for (int i = 0; fields.size() == Columns.size() && i < fields.size(); ++i)
            row.insert(Columns.at(i), fields.at(i));
        rows.append(row);
    }
    return rows;
}

}

void ParallelRunsTest::libraryIntoOneFolder()
{
    if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
        QSKIP("GNU parallel is not installed (scripts/setup.sh installs it)");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir root(dir.path());
    // Two videos of the same name in different folders make the same file
    // names, a third is not a video at all.
    for (const char *folder : { "library/a", "library/b c", "out" })
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

void ParallelRunsTest::manifest_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("runs");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("shots");

    QTest::newRow("CSV, one run") << "list.csv" << 1 << QByteArray() << 0 << false;
    QTest::newRow("CSV, two runs at once") << "list.csv" << 2 << QByteArray() << 0 << false;
    QTest::newRow("JSON Lines, two runs at once") << "list.jsonl" << 2 << QByteArray() << 0 << false;
    QTest::newRow("CSV, rows of an earlier run") << "list.csv" << 1
        << QByteArray("image,video,position_ms,frame_time_ms,frame_number,width,height,shot\n") << 0 << false;
    QTest::newRow("CSV, another file") << "list.csv" << 1 << QByteArray("name,size\n") << 2 << false;
    QTest::newRow("JSON Lines, another file") << "list.jsonl" << 1 << QByteArray("{\"a\":1}\n") << 2 << false;
    // The five shots of the clip, each row with its shot's number.
    QTest::newRow("JSON Lines, each shot") << "list.jsonl" << 1 << QByteArray() << 0 << true;
}

// Runs at once append whole rows to one list, under one header: each row
// names an image that carries the frame the row says, at the time it says.
void ParallelRunsTest::manifest()
{
    QFETCH(QString, list);
    QFETCH(int, runs);
    QFETCH(QByteArray, before);
    QFETCH(int, status);
    QFETCH(bool, shots);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A comma in the folder's name: CSV fields are quoted where needed.
    const QDir out(dir.filePath(QStringLiteral("out, \"all\"")));
    QVERIFY(out.mkpath(QStringLiteral(".")));
    const QString listPath = dir.filePath(list);
    if (!before.isEmpty()) {
        QFile file(listPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    const QString video = TestClips::path(shots ? QStringLiteral("shots-cuts.mp4") : QStringLiteral("h264-bframes.mp4"));
    // The whole 16:9 picture, whose frame number a cut to 4:3 would lose.
    const QStringList rule = shots ? QStringList { "--shots", "--trimfront", "0", "--trimback", "0", "--videoaspectratio" }
                                   : QStringList { "--count", "20" };
    const int images = shots ? 5 : 20;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < runs; ++i) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(TestClips::builtFile(QStringLiteral("cli/tindracmd")),
                                QStringList { QStringLiteral("--manifest"), listPath, QStringLiteral("--name-time") }
                                    + rule + QStringList { video, out.path() });
    }
    for (const auto &process : processes) {
        QVERIFY(process->waitForFinished(120000));
        QCOMPARE(process->exitCode(), status);
    }
    if (status != 0) {
        QCOMPARE(out.entryList(QDir::Files), QStringList());
        QFile file(listPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        return;
    }

    int headers = 0;
    const QList<QVariantMap> rows = manifestRows(listPath, &headers);
    QCOMPARE(headers, list.endsWith(QLatin1String(".csv")) ? 1 : 0);
    QCOMPARE(rows.size(), images * runs);
    QStringList names;
    for (const QVariantMap &row : rows) {
        QCOMPARE(row.keys().size(), Columns.size());
        const QString image = row.value("image").toString();
        names.append(QFileInfo(image).fileName());
        QCOMPARE(QFileInfo(image).absolutePath(), out.absolutePath());
        QCOMPARE(row.value("video").toString(), video);
        const int frame = FrameId::read(QImage(image));
        QCOMPARE(row.value("frame_number").toInt(), frame);
        QCOMPARE(row.value("frame_time_ms").toLongLong(), TestClips::frameTime(frame));
        QVERIFY(qAbs(row.value("frame_time_ms").toLongLong() - row.value("position_ms").toLongLong()) < 40);
        QCOMPARE(row.value("width").toInt(), 640);
        QCOMPARE(row.value("height").toInt(), shots ? 360 : 480);
        if (shots)
            QCOMPARE(row.value("shot").toInt(), names.size());
        else
            QVERIFY(row.value("shot").isNull() || row.value("shot").toString().isEmpty());
    }
    // Every image written is listed once; the second run's names end in "-2".
    names.sort();
    QCOMPARE(names, out.entryList(QDir::Files, QDir::Name));
    QCOMPARE(names.filter(QStringLiteral("-2.jpeg")).size(), images * (runs - 1));
}

QTEST_MAIN(ParallelRunsTest)
#include "parallelrunstest.moc"
