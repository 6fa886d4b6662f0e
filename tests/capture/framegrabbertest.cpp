#include "capture/framegrabber.h"
#include "media/demuxer.h"
#include "media/videodecoder.h"

#include "frameid.h"
#include "testclips.h"

#include <QtTest>

#include <QTemporaryDir>
#include <QThread>

#include <atomic>

namespace {

struct Outcome {
    media::VideoFrame frame;
    QString error;
    QString aborted;
    int count = 0;
};

Outcome extractAt(FrameGrabber &grabber, qint64 pos)
{
    Outcome outcome;
    QObject context;
    QObject::connect(&grabber, &FrameGrabber::frameExtracted, &context, [&](const media::VideoFrame &f) {
        outcome.frame = f;
        ++outcome.count;
    });
    QObject::connect(&grabber, &FrameGrabber::error, &context, [&](const QString &text) {
        outcome.error = text;
        ++outcome.count;
    });
    QObject::connect(&grabber, &FrameGrabber::aborted, &context, [&](const QString &text) {
        outcome.aborted = text;
        ++outcome.count;
    });
    grabber.setPrecision(grabber.precision());
    grabber.extractAt(pos);
    return outcome;
}

// The frame number drawn into the picture, after turning the picture shown
// clockwise by turnBack degrees.
int frameNumber(const media::VideoFrame &frame, int turnBack = 0)
{
    QImage image = frame.toImage(QImage::Format_ARGB32);
    if (turnBack)
        image = image.transformed(QTransform().rotate(turnBack));
    return FrameId::read(image);
}

// Times of the key frames of a clip's video, in ms from the start of the
// file as positions count, read from its packets.
QList<qint64> keyFrameTimes(const QString &clip)
{
    media::Demuxer demuxer;
    demuxer.setMedia(TestClips::path(clip));
    QList<qint64> keys;
    if (!demuxer.load())
        return keys;
    while (!demuxer.atEnd()) {
        if (demuxer.readFrame() && demuxer.stream() == demuxer.videoStream() && demuxer.packet().hasKeyFrame)
            keys.append(demuxer.packet().ptsMs - demuxer.startTime());
    }
    return keys;
}

}

class FrameGrabberTest : public QObject
{
    Q_OBJECT

private slots:
    void frameAtPosition_data();
    void frameAtPosition();
    void runOfPositions();
    void earlierExtractionsKeepTheTargetIdentical_data();
    void earlierExtractionsKeepTheTargetIdentical();
    void samePositionSameFrame_data();
    void samePositionSameFrame();
    void pastTheEndReloads();
    void automaticPrecision_data();
    void automaticPrecision();
    void chosenPrecisionStays();
    void positionWithinPrecisionIsIgnored();
    void unreadableFiles_data();
    void unreadableFiles();
    void truncatedFileEnds();
    void abortBeforeDecodingIsSeen();
    void abortStopsDecodingForward();
    void frameCrossesThreads();
    void nearestKeyFrame_data();
    void nearestKeyFrame();
};

void FrameGrabberTest::frameAtPosition_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("turnBack");

    // Key frames every 4 s; tolerance 500 ms.
    QTest::newRow("h264 start") << "h264-bframes.mp4" << qint64(0) << 0 << 0;
    QTest::newRow("h264 far after key frame") << "h264-bframes.mp4" << qint64(3000) << 75 << 0;
    QTest::newRow("h264 between frames") << "h264-bframes.mp4" << qint64(6020) << 151 << 0;
    // A key frame within the tolerance is the answer itself.
    QTest::newRow("h264 key frame shortcut") << "h264-bframes.mp4" << qint64(4100) << 100 << 0;
    QTest::newRow("h264 before a key frame") << "h264-bframes.mp4" << qint64(7960) << 199 << 0;
    QTest::newRow("h264 last frame") << "h264-bframes.mp4" << qint64(11960) << 299 << 0;
    // Key frames every 2 s; tolerance 250 ms.
    QTest::newRow("vp9") << "vp9.webm" << qint64(1000) << 25 << 0;
    QTest::newRow("vp9 key frame shortcut") << "vp9.webm" << qint64(2100) << 50 << 0;
    QTest::newRow("vp9 late") << "vp9.webm" << qint64(3500) << 88 << 0;
    QTest::newRow("hevc 10-bit") << "hevc10.mkv" << qint64(1000) << 25 << 0;
    QTest::newRow("hevc 10-bit second gop") << "hevc10.mkv" << qint64(3010) << 76 << 0;
    // The clock starts at 1.48 s, key frames every 2 s: positions count from the first frame.
    QTest::newRow("ts zero") << "h264.ts" << qint64(0) << 0 << 0;
    QTest::newRow("ts before the clock's start") << "h264.ts" << qint64(1010) << 26 << 0;
    QTest::newRow("ts after the clock's start") << "h264.ts" << qint64(1500) << 38 << 0;
    QTest::newRow("ts key frame shortcut") << "h264.ts" << qint64(4100) << 100 << 0;
    QTest::newRow("ts between key frames") << "h264.ts" << qint64(5500) << 138 << 0;
    // Positions from 0 in every container, with audio starting before or after the video.
    QTest::newRow("mkv aac start") << "h264-aac.mkv" << qint64(0) << 0 << 0;
    QTest::newRow("mkv aac") << "h264-aac.mkv" << qint64(3000) << 75 << 0;
    QTest::newRow("mkv vorbis start") << "h264-vorbis.mkv" << qint64(0) << 0 << 0;
    QTest::newRow("webm opus start") << "vp9-opus.webm" << qint64(0) << 0 << 0;
    QTest::newRow("mov aac start") << "h264-aac.mov" << qint64(0) << 0 << 0;
    QTest::newRow("avi mp3 start") << "mpeg4-mp3.avi" << qint64(0) << 0 << 0;
    QTest::newRow("ts aac start") << "h264-aac.ts" << qint64(0) << 0 << 0;
    QTest::newRow("ts aac") << "h264-aac.ts" << qint64(3000) << 75 << 0;
    QTest::newRow("video first, audio outlasting it, start") << "audio-longer.mkv" << qint64(0) << 0 << 0;
    // Before the first frame, the first frame; after it, as usual.
    QTest::newRow("video 1 s after audio, start") << "late-video.mkv" << qint64(0) << 0 << 0;
    QTest::newRow("video 1 s after audio") << "late-video.mkv" << qint64(1500) << 12 << 0;
    // The file goes on 2 s past the video's last frame, which is the answer there.
    QTest::newRow("audio outlasting the video") << "audio-longer.mkv" << qint64(5000) << 99 << 0;
    QTest::newRow("audio outlasting the video, to its end") << "audio-longer.mkv" << qint64(6000) << 99 << 0;
    // Frame 201 lies exactly at 8040 ms: the frame at the position, not the next.
    QTest::newRow("frame exactly at the position") << "h264-60s.mp4" << qint64(8040) << 201 << 0;
    // Cut by stream copy at 5.3 s: decoding starts at a key frame before the
    // start, and the frames shown start with frame 133.
    QTest::newRow("stream-copied cut, start") << "cut.mp4" << qint64(0) << 133 << 0;
    QTest::newRow("stream-copied cut") << "cut.mp4" << qint64(1224) << 164 << 0;
    QTest::newRow("stream-copied cut, second gop") << "cut.mp4" << qint64(2448) << 195 << 0;
    // Past the last frame of a video that starts 3 s into the file: its last frame.
    QTest::newRow("late video start, past its end") << "late-start.mp4" << qint64(10900) << 249 << 0;
    // Every frame a key frame: the one at or before the position.
    QTest::newRow("mjpeg avi in the first second") << "mjpeg.avi" << qint64(665) << 16 << 0;
    // 50 fps, key frames every 240 ms: the last one at or before the position.
    QTest::newRow("short gop ts, 500 ms") << "short-gop-50fps.ts" << qint64(500) << 24 << 0;
    QTest::newRow("short gop ts, 1000 ms") << "short-gop-50fps.ts" << qint64(1000) << 48 << 0;
    // Key frames every 480 ms whose packets carry no presentation time.
    QTest::newRow("mpeg program stream, 1280 ms") << "program-stream.mpg" << qint64(1280) << 32 << 0;
    QTest::newRow("mpeg program stream, 1400 ms") << "program-stream.mpg" << qint64(1400) << 35 << 0;
    // No times at all: frames are counted from the key frame a seek lands on.
    QTest::newRow("raw h264") << "raw.h264" << qint64(1000) << 25 << 0;
    QTest::newRow("raw h264, last frame") << "raw.h264" << qint64(9960) << 249 << 0;
    QTest::newRow("raw hevc with b-frames, second gop") << "raw.hevc" << qint64(3010) << 76 << 0;
    // Shown a quarter turn counter-clockwise: the mark runs down the left side.
    QTest::newRow("rotated") << "rotated.mp4" << qint64(1000) << 25 << 90;
    QTest::newRow("anamorphic") << "anamorphic.mp4" << qint64(1000) << 25 << 0;
    QTest::newRow("non-ascii path") << QString::fromUtf8("dossier à part/vidéo d'été ü.webm") << qint64(1000) << 25 << 0;
}

void FrameGrabberTest::frameAtPosition()
{
    QFETCH(QString, clip);
    QFETCH(qint64, position);
    QFETCH(int, expected);
    QFETCH(int, turnBack);

    FrameGrabber grabber;
    grabber.setSource(TestClips::path(clip));
    const Outcome outcome = extractAt(grabber, position);
    QCOMPARE(outcome.error, QString());
    QCOMPARE(outcome.count, 1);
    QVERIFY(outcome.frame.isValid());
    QCOMPARE(frameNumber(outcome.frame, turnBack), expected);
}

void FrameGrabberTest::runOfPositions()
{
    // One loaded grabber, forwards and backwards, across key frames.
    const QList<QPair<qint64, int>> run = {
        { 1000, 25 }, { 3010, 76 }, { 520, 13 }, { 7000, 175 }, { 7100, 178 },
        { 11000, 275 }, { 2000, 50 }, { 9990, 250 },
    };
    FrameGrabber grabber;
    grabber.setSource(TestClips::path(QStringLiteral("h264-bframes.mp4")));
    for (const auto &step : run) {
        const Outcome outcome = extractAt(grabber, step.first);
        QVERIFY2(outcome.frame.isValid(), qPrintable(outcome.error));
        QCOMPARE(frameNumber(outcome.frame), step.second);
        QCOMPARE(qRound(outcome.frame.timestamp() * 1000), int(TestClips::frameTime(step.second)));
    }
}

void FrameGrabberTest::earlierExtractionsKeepTheTargetIdentical_data()
{
    QTest::addColumn<qint64>("before");
    // Key frames at 0, 4 and 8 s; the target 7 s decodes from the one at 4 s.
    QTest::newRow("seek after an earlier group") << qint64(1000);
    QTest::newRow("decoding on within the group") << qint64(5000);
    QTest::newRow("seek back from a later position") << qint64(9000);
}

void FrameGrabberTest::earlierExtractionsKeepTheTargetIdentical()
{
    QFETCH(qint64, before);
    const QString clip = TestClips::path(QStringLiteral("h264-bframes.mp4"));
    FrameGrabber fresh;
    fresh.setSource(clip);
    const QImage full = extractAt(fresh, 7000).frame.toImage(QImage::Format_ARGB32);
    QVERIFY(!full.isNull());

    // From the second extraction on, the way to the target skips frames.
    FrameGrabber warmed;
    warmed.setSource(clip);
    QVERIFY(extractAt(warmed, before).frame.isValid());
    const media::VideoFrame frame = extractAt(warmed, 7000).frame;
    QCOMPARE(frame.timestamp(), 7.0);
    QCOMPARE(frame.toImage(QImage::Format_ARGB32), full);
}

void FrameGrabberTest::samePositionSameFrame_data()
{
    QTest::addColumn<QString>("clip");
    for (const char *clip : { "h264-bframes.mp4", "h264-aac.mov", "h264-aac.mkv", "h264-vorbis.mkv", "vp9-opus.webm",
                              "hevc10.mkv", "mpeg4-mp3.avi", "h264.ts", "h264-aac.ts", "audio-longer.mkv",
                              "late-video.mkv" })
        QTest::newRow(clip) << clip;
}

void FrameGrabberTest::samePositionSameFrame()
{
    // One grabber decoding on through ascending positions gives what a fresh
    // grabber gives for each: on, just after and well after key frames, and past the end.
    QFETCH(QString, clip);
    FrameGrabber warmed;
    warmed.setSource(TestClips::path(clip));
    for (qint64 pos : { 0, 300, 1000, 1720, 2300, 3990, 4000, 4100, 4700, 5720, 6020, 7000, 7960, 9990, 13000 }) {
        FrameGrabber fresh;
        fresh.setSource(TestClips::path(clip));
        const int expected = frameNumber(extractAt(fresh, pos).frame);
        QVERIFY(expected >= 0);
        QCOMPARE(frameNumber(extractAt(warmed, pos).frame), expected);
    }
}

void FrameGrabberTest::pastTheEndReloads()
{
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(QFile::copy(TestClips::path(QStringLiteral("h264-bframes.mp4")), clip));
    FrameGrabber grabber;
    grabber.setSource(clip);
    const Outcome end = extractAt(grabber, 60000);
    QVERIFY(end.frame.isValid());
    QCOMPARE(frameNumber(end.frame), 299);
    // The grabber ran into the end and let go of the file: the next request
    // opens what is there now, not the file it had open.
    QVERIFY(QFile::remove(clip));
    QVERIFY(QFile::copy(TestClips::path(QStringLiteral("h264-10s.mp4")), clip));
    const Outcome again = extractAt(grabber, 1000);
    QVERIFY(again.frame.isValid());
    QCOMPARE(frameNumber(again.frame), 25);
    QCOMPARE(again.frame.width(), 160);
}

void FrameGrabberTest::automaticPrecision_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("precision");
    QTest::newRow("12 s") << "h264-bframes.mp4" << 500;
    QTest::newRow("10 s") << "long-gop-720p.mp4" << 500;
    QTest::newRow("4 s") << "vp9.webm" << 250;
}

void FrameGrabberTest::automaticPrecision()
{
    QFETCH(QString, clip);
    QFETCH(int, precision);
    FrameGrabber grabber;
    grabber.setSource(TestClips::path(clip));
    QSignalSpy changed(&grabber, &FrameGrabber::precisionChanged);
    extractAt(grabber, 500);
    QCOMPARE(grabber.precision(), precision);
    QCOMPARE(changed.count(), precision == 500 ? 0 : 1);
    // A later load of another video chooses again, quietly when duration() loads it.
    grabber.setSource(TestClips::path(precision == 500 ? QStringLiteral("vp9.webm")
                                                       : QStringLiteral("h264-bframes.mp4")));
    QVERIFY(grabber.duration() > 0);
    QCOMPARE(grabber.precision(), precision == 500 ? 250 : 500);
    QCOMPARE(changed.count(), precision == 500 ? 0 : 1);
}

void FrameGrabberTest::chosenPrecisionStays()
{
    FrameGrabber grabber;
    QSignalSpy changed(&grabber, &FrameGrabber::precisionChanged);
    grabber.setPrecision(100);
    QCOMPARE(changed.count(), 1);
    grabber.setSource(TestClips::path(QStringLiteral("vp9.webm")));
    QVERIFY(grabber.duration() > 0);
    QCOMPARE(grabber.precision(), 100);
    // Negative: back to choosing from the duration at the next load.
    grabber.setPrecision(-1);
    grabber.setSource(TestClips::path(QStringLiteral("hevc10.mkv")));
    grabber.duration();
    QCOMPARE(grabber.precision(), 250);
}

void FrameGrabberTest::positionWithinPrecisionIsIgnored()
{
    FrameGrabber grabber;
    QSignalSpy moved(&grabber, &FrameGrabber::positionChanged);
    QCOMPARE(grabber.position(), qint64(-1000));
    grabber.setPosition(2000);
    QCOMPARE(moved.count(), 1);
    grabber.setPosition(2499);
    QCOMPARE(grabber.position(), qint64(2000));
    QCOMPARE(moved.count(), 1);
    grabber.setPosition(2500);
    QCOMPARE(grabber.position(), qint64(2500));
    QCOMPARE(moved.count(), 2);
}

void FrameGrabberTest::unreadableFiles_data()
{
    QTest::addColumn<QString>("clip");
    QTest::newRow("empty") << "empty.mp4";
    QTest::newRow("random bytes") << "random.mp4";
    QTest::newRow("audio only") << "audio-only.m4a";
    QTest::newRow("missing") << "no-such-clip.mp4";
    QTest::newRow("folder") << "dossier à part";
}

void FrameGrabberTest::unreadableFiles()
{
    QFETCH(QString, clip);
    FrameGrabber grabber;
    grabber.setSource(TestClips::path(clip));
    QCOMPARE(grabber.duration(), qint64(0));
    const Outcome outcome = extractAt(grabber, 1000);
    QCOMPARE(outcome.count, 1);
    QCOMPARE(outcome.error, QStringLiteral("Cannot open file"));
}

void FrameGrabberTest::truncatedFileEnds()
{
    // The index promises 12 s but only the first half of the data is there.
    FrameGrabber grabber;
    grabber.setSource(TestClips::path(QStringLiteral("truncated.mp4")));
    QVERIFY(grabber.duration() > 0);
    const Outcome early = extractAt(grabber, 1000);
    QCOMPARE(frameNumber(early.frame), 25);
    const Outcome late = extractAt(grabber, 11000);
    QCOMPARE(late.count, 1);
    QVERIFY(!late.frame.isValid());
    QVERIFY2(late.error.startsWith(QStringLiteral("Cannot extract frame at position 11000: data ends at ")),
             qPrintable(late.error));
    // The file is let go of at its end; what is there still comes out.
    QCOMPARE(frameNumber(extractAt(grabber, 2000).frame), 50);
}

void FrameGrabberTest::abortBeforeDecodingIsSeen()
{
    // The load inside the extraction chooses the tolerance for 4 s and says
    // so; an abort asked for right then, before decoding starts, still stops it.
    FrameGrabber grabber;
    grabber.setSource(TestClips::path(QStringLiteral("vp9.webm")));
    connect(&grabber, &FrameGrabber::precisionChanged, &grabber, &FrameGrabber::abort);
    const Outcome stopped = extractAt(grabber, 3500);
    QCOMPARE(stopped.count, 1);
    QCOMPARE(stopped.aborted, QStringLiteral("Abort at position 3500: abort seek before read"));
    QVERIFY(!stopped.frame.isValid());
    // An abort stops one extraction only.
    QCOMPARE(frameNumber(extractAt(grabber, 3500).frame), 88);
}

void FrameGrabberTest::abortStopsDecodingForward()
{
    // The last frame of a ten-second group of pictures: 250 frames to decode.
    // Asked for from another thread once decoding is under way, the abort
    // stops it within a picture or two.
    FrameGrabber grabber;
    grabber.setSource(TestClips::path(QStringLiteral("long-gop-720p.mp4")));
    QVERIFY(grabber.duration() > 0);
    const qint64 before = media::VideoDecoder::picturesDecoded();
    std::atomic<qint64> atAbort { -1 };
    std::atomic_bool done { false };
    QScopedPointer<QThread> aborter(QThread::create([&] {
        while (!done && media::VideoDecoder::picturesDecoded() < before + 20)
            QThread::yieldCurrentThread();
        atAbort = media::VideoDecoder::picturesDecoded();
        grabber.abort();
    }));
    aborter->start();
    const Outcome stopped = extractAt(grabber, 9960);
    done = true;
    aborter->wait();
    QVERIFY2(stopped.aborted.startsWith(QStringLiteral("Abort at position 9960")), qPrintable(stopped.error));
    QVERIFY2(media::VideoDecoder::picturesDecoded() - atAbort <= 3,
             qPrintable(QString::number(media::VideoDecoder::picturesDecoded() - atAbort)));
}

void FrameGrabberTest::frameCrossesThreads()
{
    // Queued delivery copies the frame; the copy outlives the grabber.
    media::VideoFrame received;
    auto *grabber = new FrameGrabber;
    QThread thread;
    grabber->moveToThread(&thread);
    connect(grabber, &FrameGrabber::frameExtracted, this,
            [&](const media::VideoFrame &f) { received = f; }, Qt::QueuedConnection);
    grabber->setSource(TestClips::path(QStringLiteral("vp9.webm")));
    grabber->setPosition(1000);
    thread.start();
    QMetaObject::invokeMethod(grabber, "extract", Qt::QueuedConnection);
    QTRY_VERIFY(received.isValid());
    thread.quit();
    QVERIFY(thread.wait());
    delete grabber;
    QVERIFY(QMetaType::type("media::VideoFrame") != QMetaType::UnknownType);
    QCOMPARE(frameNumber(received), 25);
}

void FrameGrabberTest::nearestKeyFrame_data()
{
    QTest::addColumn<QString>("clip");
    QTest::newRow("h264 with B-frames, key frames every 4 s") << "h264-bframes.mp4";
    QTest::newRow("mpeg-ts, no index") << "h264.ts";
    QTest::newRow("hevc 10-bit mkv") << "hevc10.mkv";
    QTest::newRow("vp9") << "vp9.webm";
}

// Key-frame mode: every position gets the key frame nearest to it (the
// earlier one halfway between two), and each key frame is the one picture
// decoded for it; a position whose key frame came out last decodes nothing.
void FrameGrabberTest::nearestKeyFrame()
{
    QFETCH(QString, clip);
    const QList<qint64> keys = keyFrameTimes(clip);
    QVERIFY(keys.size() >= 2);
    QList<qint64> positions;
    for (qint64 p = 0; p < keys.constLast() + 1500; p += 300)
        positions << p;
    for (int i = 1; i < keys.size(); ++i)
        positions << (keys.at(i - 1) + keys.at(i)) / 2 << (keys.at(i - 1) + keys.at(i)) / 2 + 1;
    std::sort(positions.begin(), positions.end());

    FrameGrabber grabber;
    grabber.setSource(TestClips::path(clip));
    grabber.setKeyFramesOnly(true);
    qint64 lastKey = -1;
    for (const qint64 position : qAsConst(positions)) {
        qint64 key = keys.constFirst();
        for (const qint64 k : keys) {
            if (qAbs(k - position) < qAbs(key - position))
                key = k;
        }
        const qint64 before = media::VideoDecoder::picturesDecoded();
        const Outcome outcome = extractAt(grabber, position);
        QVERIFY2(outcome.frame.isValid(), qPrintable(outcome.error));
        QCOMPARE(frameNumber(outcome.frame), int((key - keys.constFirst()) / 40));
        QCOMPARE(media::VideoDecoder::picturesDecoded() - before, key == lastKey ? 0 : 1);
        lastKey = key;
    }
}

QTEST_MAIN(FrameGrabberTest)
#include "framegrabbertest.moc"
