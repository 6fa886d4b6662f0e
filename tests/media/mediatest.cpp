#include "media/codeccontext.h"
#include "media/demuxer.h"
#include "media/videodecoder.h"
#include "frameid.h"
#include "testclips.h"

#include <QtTest>

namespace {

// First picture of a clip, decoded with the layer alone.
media::VideoFrame firstFrame(const QString &clip)
{
    media::Demuxer demuxer;
    demuxer.setMedia(TestClips::path(clip));
    if (!demuxer.load())
        return {};
    auto decoder = media::VideoDecoder::create(QStringLiteral("FFmpeg"));
    decoder->setCodecContext(demuxer.videoCodecContext());
    if (!decoder->open())
        return {};
    while (demuxer.readFrame() || !demuxer.atEnd()) {
        if (demuxer.stream() != demuxer.videoStream())
            continue;
        if (decoder->decode(demuxer.packet()) && decoder->frame().isValid())
            return decoder->frame();
    }
    return decoder->decode(media::Packet()) ? decoder->frame() : media::VideoFrame();
}

}

class MediaTest : public QObject
{
    Q_OBJECT

private slots:
    void shownSize_data();
    void shownSize();
    void colours_data();
    void colours();
    void barsKeepHueAndSaturation_data();
    void barsKeepHueAndSaturation();
    void highlightsCompressed_data();
    void highlightsCompressed();
    void seekLandsOnKeyFrameBefore_data();
    void seekLandsOnKeyFrameBefore();
    void optionsBetweenPackets();
    void unknownDecoderName();
};

void MediaTest::shownSize_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<int>("turnBack");

    QTest::newRow("square pixels") << "h264-bframes.mp4" << QSize(320, 240) << QSize(320, 240) << 0;
    QTest::newRow("10-bit") << "hevc10.mkv" << QSize(320, 240) << QSize(320, 240) << 0;
    QTest::newRow("rotated") << "rotated.mp4" << QSize(320, 240) << QSize(240, 320) << 90;
    QTest::newRow("anamorphic") << "anamorphic.mp4" << QSize(160, 240) << QSize(320, 240) << 0;
}

void MediaTest::shownSize()
{
    QFETCH(QString, clip);
    QFETCH(QSize, stored);
    QFETCH(QSize, shown);
    QFETCH(int, turnBack);

    const media::VideoFrame frame = firstFrame(clip);
    QVERIFY(frame.isValid());
    QCOMPARE(QSize(frame.width(), frame.height()), stored);
    const QImage image = frame.toImage(QImage::Format_ARGB32);
    QCOMPARE(image.format(), QImage::Format_ARGB32);
    QCOMPARE(image.size(), shown);
    QCOMPARE(FrameId::read(image.transformed(QTransform().rotate(turnBack))), 0);
    // Other formats are converted from the same picture.
    QCOMPARE(frame.toImage(QImage::Format_RGB888).size(), shown);
    // A small picture of it keeps its shape, upright, and what it shows.
    const QImage small = frame.toImage(QImage::Format_RGB32, shown.height() / 2);
    QCOMPARE(small.size(), shown / 2);
    QCOMPARE(FrameId::read(small.transformed(QTransform().rotate(turnBack))), 0);
}

void MediaTest::colours_data()
{
    QTest::addColumn<QString>("clip");
    // All three hold the colour #C83214, each encoded the way its tags (or lack of them) say.
    QTest::newRow("untagged HD is BT.709") << "colour-hd-untagged.mp4";
    QTest::newRow("full range BT.709") << "colour-hd-full.mp4";
    QTest::newRow("untagged SD is BT.601") << "colour-sd-untagged.mp4";
    QTest::newRow("SDR in BT.2020 primaries") << "colour-bt2020.mkv";
}

void MediaTest::colours()
{
    QFETCH(QString, clip);
    const media::VideoFrame frame = firstFrame(clip);
    QVERIFY(frame.isValid());
    const QImage image = frame.toImage(QImage::Format_ARGB32);
    const QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
    const QString seen = QString::asprintf("#%06X", pixel & 0xFFFFFF);
    QVERIFY2(qAbs(qRed(pixel) - 0xC8) <= 3, qPrintable(seen));
    QVERIFY2(qAbs(qGreen(pixel) - 0x32) <= 3, qPrintable(seen));
    QVERIFY2(qAbs(qBlue(pixel) - 0x14) <= 3, qPrintable(seen));
    QCOMPARE(qAlpha(pixel), 255);
}

void MediaTest::barsKeepHueAndSaturation_data()
{
    QTest::addColumn<QString>("clip");
    // 75 % bars; HDR ones carry SDR white at 203 cd/m², which is white again here.
    QTest::newRow("SDR") << "bars-sdr.mp4";
    QTest::newRow("HLG") << "bars-hlg.mkv";
    QTest::newRow("PQ") << "bars-pq.mkv";
}

void MediaTest::barsKeepHueAndSaturation()
{
    QFETCH(QString, clip);
    const QImage image = firstFrame(clip).toImage();
    QVERIFY(!image.isNull());
    const QColor bars[] = { QColor(191, 191, 191), QColor(191, 191, 0), QColor(0, 191, 191), QColor(0, 191, 0),
                            QColor(191, 0, 191), QColor(191, 0, 0), QColor(0, 0, 191) };
    for (int i = 0; i < 7; ++i) {
        const QColor seen = image.pixelColor((2 * i + 1) * image.width() / 14, image.height() * 3 / 10);
        const QString text = QStringLiteral("bar %1: %2,%3,%4").arg(i).arg(seen.red()).arg(seen.green()).arg(seen.blue());
        QVERIFY2(seen.value() >= 124 && seen.value() <= 195, qPrintable(text));
        if (i == 0) {
            QVERIFY2(seen.value() - qMin(seen.red(), qMin(seen.green(), seen.blue())) <= 3, qPrintable(text));
            continue;
        }
        const int hueOff = qAbs(seen.hsvHue() - bars[i].hsvHue());
        QVERIFY2(qMin(hueOff, 360 - hueOff) <= 6, qPrintable(text));
        QVERIFY2(seen.hsvSaturation() >= 230, qPrintable(text));
    }
}

void MediaTest::highlightsCompressed_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<double>("peak");
    QTest::addColumn<double>("brightest");
    // Grey ramps whose column x holds peak * (x / (width - 1))^2.4 cd/m².
    // Levels up to a quarter of the peak, and up to 1200 cd/m² only for a
    // stream that states its 4000 cd/m² (the default 1000 would clip there).
    QTest::newRow("HLG") << "hlg" << 1000.0 << 600.0;
    QTest::newRow("PQ, stated peak") << "pq" << 4000.0 << 1200.0;
}

void MediaTest::highlightsCompressed()
{
    QFETCH(QString, clip);
    QFETCH(double, peak);
    QFETCH(double, brightest);
    const QImage image = firstFrame(QStringLiteral("ramp-%1.mkv").arg(clip)).toImage();
    QVERIFY(!image.isNull());
    const auto grey = [&](double light) {
        const int x = int(std::lround(std::pow(light / peak, 1 / 2.4) * (image.width() - 1)));
        const QColor seen = image.pixelColor(x, image.height() / 2);
        const int spread = seen.value() - qMin(seen.red(), qMin(seen.green(), seen.blue()));
        return spread <= 2 ? seen.value() : -1;
    };
    // Well below SDR white nothing changes: 30 cd/m² is 15 % of white.
    QVERIFY2(qAbs(grey(30) - 115) <= 3, qPrintable(QString::number(grey(30))));
    // Above white the highlights keep their gradation.
    const int levels[] = { grey(brightest / 4), grey(brightest / 2), grey(brightest) };
    const QString text = QStringLiteral("%1 %2 %3").arg(levels[0]).arg(levels[1]).arg(levels[2]);
    QVERIFY2(levels[0] > 115 && levels[0] < levels[1] && levels[1] < levels[2] && levels[2] < 255, qPrintable(text));
}

void MediaTest::seekLandsOnKeyFrameBefore_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<qint64>("target");

    // MPEG-TS has no index; its clock starts at 1.48 s, key frames every 2 s.
    for (qint64 t : { 1480, 1500, 2000, 3470, 3480, 3500, 4000, 5470, 5500, 7000, 9000 })
        QTest::addRow("ts %lld", t) << "h264.ts" << t;
    for (qint64 t : { 0, 3990, 4000, 4010, 11990 })
        QTest::addRow("mp4 %lld", t) << "h264-bframes.mp4" << t;
    for (qint64 t : { 0, 1999, 2000, 3900 })
        QTest::addRow("mkv %lld", t) << "hevc10.mkv" << t;
}

void MediaTest::seekLandsOnKeyFrameBefore()
{
    QFETCH(QString, clip);
    QFETCH(qint64, target);

    media::Demuxer demuxer;
    demuxer.setMedia(TestClips::path(clip));
    QVERIFY(demuxer.load());
    QVERIFY(demuxer.seek(target));
    while (!demuxer.atEnd()) {
        if (!demuxer.readFrame() || demuxer.stream() != demuxer.videoStream())
            continue;
        const media::Packet packet = demuxer.packet();
        QVERIFY2(packet.hasKeyFrame, "first video packet after a seek is no key frame");
        QVERIFY2(packet.pts * 1000 <= target + 0.5, qPrintable(QString::number(packet.pts)));
        // No earlier than needed: within one key-frame interval (4 s at most here).
        QVERIFY2(packet.pts * 1000 > qMin(target, demuxer.duration() + demuxer.startTime()) - 4000.5,
                 qPrintable(QString::number(packet.pts)));
        return;
    }
    QFAIL("no video packet after the seek");
}

void MediaTest::optionsBetweenPackets()
{
    // Skipping non-reference frames leaves the reference chain, and the
    // picture decoded in full after it, exactly as without skipping.
    const auto decodeTo = [](bool skip) {
        media::Demuxer demuxer;
        demuxer.setMedia(TestClips::path(QStringLiteral("h264-bframes.mp4")));
        demuxer.load();
        auto decoder = media::VideoDecoder::create(QStringLiteral("FFmpeg"));
        decoder->setCodecContext(demuxer.videoCodecContext());
        decoder->open();
        QVariantHash codec;
        QVariantHash options;
        int skipped = 0;
        while (!demuxer.atEnd()) {
            if (!demuxer.readFrame() || demuxer.stream() != demuxer.videoStream())
                continue;
            const media::Packet packet = demuxer.packet();
            const int level = (skip && packet.pts < 2.0) ? 8 : 0;
            codec.insert(QStringLiteral("skip_frame"), level);
            codec.insert(QStringLiteral("skip_loop_filter"), level);
            options.insert(QStringLiteral("avcodec"), codec);
            decoder->setOptions(options);
            if (!decoder->decode(packet))
                return QPair<QImage, int>();
            const media::VideoFrame frame = decoder->frame();
            if (!frame.isValid()) {
                ++skipped;
                continue;
            }
            if (FrameId::read(frame.toImage()) == 60)
                return qMakePair(frame.toImage(), skipped);
        }
        return QPair<QImage, int>();
    };
    const auto full = decodeTo(false);
    const auto fast = decodeTo(true);
    QVERIFY(!full.first.isNull());
    QCOMPARE(fast.first, full.first);
    QVERIFY2(fast.second > full.second + 10, "skipping did not skip");
}

void MediaTest::unknownDecoderName()
{
    QVERIFY(!media::VideoDecoder::create(QStringLiteral("VAAPI")));
    QVERIFY(media::VideoDecoder::create(QStringLiteral("FFmpeg")));
}

QTEST_GUILESS_MAIN(MediaTest)
#include "mediatest.moc"
