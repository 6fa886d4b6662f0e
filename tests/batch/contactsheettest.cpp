#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "capture/videoinfo.h"
#include "imaging/contactsheet.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"
#include "frameid.h"
#include "testclips.h"

#include <QtTest>

#include <QStandardPaths>
#include <QTemporaryDir>

// A contact sheet job as the batch worker runs it: the frames a job of as
// many images takes, each whole in its cell, read back from the sheet.
class ContactSheetTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layout_data();
    void layout();
};

void ContactSheetTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void ContactSheetTest::layout_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("width");
    QTest::addColumn<QList<int>>("frames");
    QTest::addColumn<double>("aspect");
    QTest::addColumn<bool>("watermark");
    QTest::addColumn<bool>("shots");

    // Spread as that many images: step 10000 / N - 1 ms, frame ceil(p / 40).
    QTest::newRow("2 x 2") << "h264-10s.mp4" << 2 << 2 << 1600 << QList<int> { 0, 63, 125, 188 } << 4.0 / 3 << false
                           << false;
    QTest::newRow("3 x 2, 900 pixels, watermarked") << "h264-10s.mp4" << 3 << 2 << 900
                                                    << QList<int> { 0, 42, 84, 125, 167, 209 } << 4.0 / 3 << true << false;
    QTest::newRow("1 x 1") << "h264-10s.mp4" << 1 << 1 << 400 << QList<int> { 0 } << 4.0 / 3 << false << false;
    // Stored 160 x 240 with wide pixels: cells at the 4:3 it is shown at.
    QTest::newRow("anamorphic") << "anamorphic.mp4" << 2 << 1 << 800 << QList<int> { 0, 25 } << 4.0 / 3 << false << false;
    // One frame per shot, the rows as many as the five shots fill: frames
    // holds where the shots start, and each cell a frame of its own shot.
    QTest::newRow("each shot, 2 columns") << "shots-cuts.mp4" << 2 << 1 << 800 << QList<int> { 0, 31, 70, 113, 150, 186 }
                                          << 16.0 / 9 << false << true;
}

void ContactSheetTest::layout()
{
    QFETCH(QString, clip);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(int, width);
    QFETCH(QList<int>, frames);
    QFETCH(double, aspect);
    QFETCH(bool, watermark);
    QFETCH(bool, shots);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BatchWorkerConfig config;
    config.setSource(TestClips::path(clip));
    config.setFileOutputPath(dir.path());
    config.setSkipFront(0);
    config.setSkipBack(0);
    config.setContactSheet(true);
    if (shots)
        config.setIntervalType(BatchWorkerConfig::Shots);
    ContactSheet::Layout layout;
    layout.columns = columns;
    layout.rows = rows;
    layout.width = width;
    config.setSheetLayout(layout);
    // A solid red picture at the bottom right corner of the whole sheet.
    if (watermark) {
        QImage red(30, 20, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(WatermarkProfile::watermarkImagePath(QStringLiteral("red.png"))));
        auto *mark = new WatermarkProfile;
        mark->setWatermarkType(WatermarkProfile::PictureWatermark);
        mark->setImageFile(QStringLiteral("red.png"));
        mark->setXMargin(0);
        mark->setYMargin(0);
        WatermarkProfile::profileManager()->addProfile(mark);
        config.imageProfile()->setWatermarkProfileId(mark->id());
    }

    BatchWorker worker;
    worker.setConfig(&config);
    QSignalSpy status(&worker, &BatchWorker::statusUpdate);
    worker.run();

    const QString name = QFileInfo(clip).completeBaseName() + QStringLiteral("-sheet.jpeg");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { name });
    QCOMPARE(status.constLast().at(1).toString(), QStringLiteral("Saving: ") + name);
    QCOMPARE(worker.outcome().sheetsSaved, 1);
    const int cells = shots ? frames.size() - 1 : frames.size();
    QCOMPARE(worker.outcome().imagesSaved, cells);
    const QImage image(QDir(dir.path()).filePath(name));
    layout.rows = (cells + columns - 1) / columns;

    VideoInfo video;
    video.load(TestClips::path(clip));
    const ContactSheet sheet(layout, video);
    QCOMPARE(image.size(), sheet.image().size());
    QCOMPARE(image.width(), width);
    for (int cell = 0; cell < cells; ++cell) {
        const QRect picture = sheet.pictureRect(cell);
        QVERIFY2(qAbs(double(picture.width()) / picture.height() - aspect) < 0.01, qPrintable(QString::number(cell)));
        const int frame = FrameId::read(image.copy(picture));
        if (shots)
            QVERIFY2(frame >= frames.at(cell) && frame < frames.at(cell + 1), qPrintable(QString::number(frame)));
        else
            QCOMPARE(frame, frames.at(cell));
    }
    // The header: the video's details, drawn above the first row of frames.
    const QStringList header = sheet.headerLines();
    QCOMPARE(header.value(0), QFileInfo(clip).fileName());
    QVERIFY2(header.value(1).contains(QStringLiteral("25 fps")) && header.value(2).startsWith(QStringLiteral("Video: h264")),
             qPrintable(header.join(QLatin1Char('\n'))));
    int lit = 0;
    for (int y = 0; y < sheet.pictureRect(0).top(); ++y)
        for (int x = 0; x < image.width(); ++x)
            lit += qGray(image.pixel(x, y)) > 160;
    QVERIFY2(lit > 100, qPrintable(QString::number(lit)));
    const QRgb corner = image.pixel(image.width() - 5, image.height() - 5);
    QCOMPARE(qRed(corner) > 200 && qGreen(corner) < 60, watermark);
}

QTEST_MAIN(ContactSheetTest)
#include "contactsheettest.moc"
