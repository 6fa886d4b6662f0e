#include "capture/framefetcher.h"
#include "capture/framegrabber.h"
#include "media/videodecoder.h"

#include "testclips.h"

#include <QtTest>

#include <atomic>

namespace {

// What a position gave: the frame's time and picture, or the error text.
struct Outcome {
    double time = -1;
    QImage image;
    QString error;
    bool operator==(const Outcome &other) const
    {
        return time == other.time && image == other.image && error == other.error;
    }
};

template<class Source>
void collect(Source *source, QList<Outcome> *outcomes)
{
    QObject::connect(source, &Source::frameExtracted, [outcomes](const media::VideoFrame &frame) {
        outcomes->append({ frame.timestamp(), frame.toImage(QImage::Format_ARGB32), QString() });
    });
    QObject::connect(source, &Source::error,
                     [outcomes](const QString &message) { outcomes->append({ -1, QImage(), message }); });
}

}

class FrameFetcherTest : public QObject
{
    Q_OBJECT

private slots:
    void sameFramesAsOneGrabber_data();
    void sameFramesAsOneGrabber();
    void abortStopsEveryDecoder();
    void decodersWithinMemoryBudget_data();
    void decodersWithinMemoryBudget();
};

void FrameFetcherTest::sameFramesAsOneGrabber_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QList<qint64>>("positions");
    QTest::addColumn<int>("decoders");

    // Several positions in each group of pictures, and repeated ones.
    QTest::newRow("h264 with B-frames") << "h264-bframes.mp4" << QList<qint64> { 0, 700, 1500, 4000, 4000, 6100, 9000, 11900 } << 3;
    QTest::newRow("60 s, key every 10 s") << "h264-60s.mp4" << QList<qint64> { 2000, 4500, 7000, 12000, 30000, 32500, 58000 } << 2;
    QTest::newRow("one group of pictures") << "long-gop-720p.mp4" << QList<qint64> { 500, 3000, 6000, 9900 } << 4;
    QTest::newRow("vp9") << "vp9.webm" << QList<qint64> { 0, 300, 1000, 2100, 3900 } << 3;
    QTest::newRow("hevc 10 bit mkv") << "hevc10.mkv" << QList<qint64> { 100, 1200, 2300, 3500 } << 3;
    QTest::newRow("mpeg-ts") << "h264.ts" << QList<qint64> { 0, 1000, 2500, 4000, 5900 } << 3;
    QTest::newRow("rotated") << "rotated.mp4" << QList<qint64> { 0, 500, 1500 } << 2;
    QTest::newRow("anamorphic") << "anamorphic.mp4" << QList<qint64> { 0, 1000, 1900 } << 2;
    // Past the data that is left, and past the end.
    QTest::newRow("truncated") << "truncated.mp4" << QList<qint64> { 1000, 5000, 9000, 11000 } << 3;
    QTest::newRow("past the end") << "h264-10s.mp4" << QList<qint64> { 9000, 20000 } << 2;
    QTest::newRow("past the end in a group of its own") << "h264-bframes.mp4" << QList<qint64> { 1000, 11990 } << 2;
    QTest::newRow("not a video") << "random.mp4" << QList<qint64> { 0, 1000 } << 2;
}

// Decoders that share out the positions give each the frame one grabber gives
// it when it takes them all in turn.
void FrameFetcherTest::sameFramesAsOneGrabber()
{
    QFETCH(QString, clip);
    QFETCH(QList<qint64>, positions);
    QFETCH(int, decoders);

    FrameGrabber grabber;
    grabber.setSource(TestClips::path(clip));
    grabber.duration();
    QList<Outcome> expected;
    collect(&grabber, &expected);
    for (qint64 position : qAsConst(positions))
        grabber.extractAt(position);

    FrameFetcher fetcher;
    fetcher.setDecoderCount(decoders);
    QList<Outcome> fetched;
    collect(&fetcher, &fetched);
    QVector<FrameFetcher::Position> each;
    for (qint64 position : qAsConst(positions))
        each.append({ position, 1 });
    fetcher.start(TestClips::path(clip), each, grabber.precision());
    while (fetcher.extractNext()) {
    }
    QCOMPARE(fetched.size(), positions.size());
    for (int i = 0; i < positions.size(); ++i) {
        QCOMPARE(fetched.at(i).error, expected.at(i).error);
        QCOMPARE(fetched.at(i).time, expected.at(i).time);
        QVERIFY2(fetched.at(i) == expected.at(i), qPrintable(QStringLiteral("position %1").arg(positions.at(i))));
    }
}

void FrameFetcherTest::abortStopsEveryDecoder()
{
    // Every position deep into a long group of pictures, each on a decoder of its own.
    QVector<FrameFetcher::Position> positions;
    for (int i = 0; i < 40; ++i)
        positions.append({ 9000 + (i % 2) * 500, 1 });
    FrameFetcher fetcher;
    fetcher.setDecoderCount(3);
    int frames = 0;
    connect(&fetcher, &FrameFetcher::frameExtracted, this, [&] { ++frames; });
    fetcher.start(TestClips::path(QStringLiteral("long-gop-720p.mp4")), positions, 250);
    QVERIFY(fetcher.extractNext());

    // Asked from another thread while the caller waits, then by the stop
    // check: each decoder stops within a picture or two.
    const qint64 mostAfterAbort = 3 * fetcher.decoderCount();
    std::atomic<qint64> atAbort { 0 };
    QThread *other = QThread::create([&] {
        atAbort = media::VideoDecoder::picturesDecoded();
        fetcher.abort();
    });
    other->start();
    while (fetcher.extractNext()) {
    }
    fetcher.stop();
    other->wait();
    delete other;
    QVERIFY2(media::VideoDecoder::picturesDecoded() - atAbort <= mostAfterAbort,
             qPrintable(QString::number(media::VideoDecoder::picturesDecoded() - atAbort)));
    QVERIFY(frames < positions.size());

    bool stop = false;
    fetcher.setStopCheck([&stop] { return stop; });
    fetcher.start(TestClips::path(QStringLiteral("long-gop-720p.mp4")), positions, 250);
    QVERIFY(fetcher.extractNext());
    stop = true;
    const qint64 atStop = media::VideoDecoder::picturesDecoded();
    QVERIFY(!fetcher.extractNext());
    fetcher.stop();
    QVERIFY2(media::VideoDecoder::picturesDecoded() - atStop <= mostAfterAbort,
             qPrintable(QString::number(media::VideoDecoder::picturesDecoded() - atStop)));
}

void FrameFetcherTest::decodersWithinMemoryBudget_data()
{
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("expected");
    const int cores = qMax(1, QThread::idealThreadCount());
    // 320x240: a few MB a decoder.
    QTest::newRow("small video, default budget") << (qint64(1) << 30) << 0 << cores;
    QTest::newRow("budget for one") << FrameFetcher::decoderMemory(320, 240) << 0 << 1;
    QTest::newRow("budget below one") << qint64(1) << 0 << 1;
    QTest::newRow("a set count wins") << qint64(1) << 3 << 3;
}

void FrameFetcherTest::decodersWithinMemoryBudget()
{
    QFETCH(qint64, budget);
    QFETCH(int, set);
    QFETCH(int, expected);
    FrameFetcher fetcher;
    fetcher.setMemoryBudget(budget);
    fetcher.setDecoderCount(set);
    fetcher.start(TestClips::path(QStringLiteral("vp9.webm")), { { 1000, 1 }, { 3000, 1 } }, 250);
    QCOMPARE(fetcher.decoderCount(), expected);
}

QTEST_MAIN(FrameFetcherTest)
#include "framefetchertest.moc"
