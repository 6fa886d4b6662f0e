#include "capture/videoinfo.h"
#include "testclips.h"

#include <QtTest>

class VideoInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void load_data();
    void load();
};

void VideoInfoTest::load_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    QTest::newRow("h264 mp4") << "h264-bframes.mp4" << true << qint64(12000) << 320 << 240;
    QTest::newRow("vp9 webm") << "vp9.webm" << true << qint64(4000) << 320 << 240;
    QTest::newRow("hevc 10-bit mkv") << "hevc10.mkv" << true << qint64(4000) << 320 << 240;
    QTest::newRow("mpeg-ts") << "h264.ts" << true << qint64(6000) << 320 << 240;
    // The stored size, not the size shown.
    QTest::newRow("rotated") << "rotated.mp4" << true << qint64(2000) << 320 << 240;
    QTest::newRow("anamorphic") << "anamorphic.mp4" << true << qint64(2000) << 160 << 240;
    QTest::newRow("non-ascii path") << QString::fromUtf8("dossier à part/vidéo d'été ü.webm") << true
                                    << qint64(4000) << 320 << 240;
    // No picture: the duration is kept, the rest stays as it was.
    QTest::newRow("audio only") << "audio-only.m4a" << false << qint64(2000) << 0 << 0;
    QTest::newRow("empty file") << "empty.mp4" << false << qint64(0) << 0 << 0;
    QTest::newRow("random bytes") << "random.mp4" << false << qint64(0) << 0 << 0;
    QTest::newRow("missing file") << "no-such-clip.mp4" << false << qint64(0) << 0 << 0;
}

void VideoInfoTest::load()
{
    QFETCH(QString, clip);
    QFETCH(bool, loaded);
    QFETCH(qint64, duration);
    QFETCH(int, width);
    QFETCH(int, height);

    VideoInfo info;
    info.load(TestClips::path(clip));
    QCOMPARE(info.loaded(), loaded);
    // Container durations round to the nearest stream tick.
    QVERIFY2(qAbs(info.duration() - duration) <= 50, qPrintable(QString::number(info.duration())));
    QCOMPARE(info.width(), width);
    QCOMPARE(info.height(), height);
}

QTEST_GUILESS_MAIN(VideoInfoTest)
#include "videoinfotest.moc"
