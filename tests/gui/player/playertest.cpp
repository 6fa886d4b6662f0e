#include "player/framecapture.h"
#include "player/player.h"
#include "player/videowidget.h"

#include "capture/framegrabber.h"
#include "frameid.h"
#include "testclips.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

// The libmpv player on the generated clips: each picture carries its frame
// number, so what the screen and the snapshot show can be read back.
class PlayerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void seekShowsFrame_data();
    void seekShowsFrame();
    void steps_data();
    void steps();
    void playOnFromEnd_data();
    void playOnFromEnd();
    void captureShape_data();
    void captureShape();
    void captureEqualsEngine_data();
    void captureEqualsEngine();
    void hdrOnScreen_data();
    void hdrOnScreen();
    void unplayable_data();
    void unplayable();
    void endsEarly();
    void deleteInEveryState_data();
    void deleteInEveryState();

private:
    void open(const QString &clip);
    void seekTo(qint64 ms);
    QImage capture();
    int frameOnScreen();
    static QImage engineImage(const QString &clip, int frame);
    static double meanDifference(const QImage &a, const QImage &b);

    std::unique_ptr<VideoWidget> m_widget;
    std::unique_ptr<Player> m_player;
};

void PlayerTest::init()
{
    m_widget = std::make_unique<VideoWidget>();
    m_player = std::make_unique<Player>();
    QVERIFY2(m_player->isValid(), qPrintable(m_player->errorString()));
    m_player->setAudioOutput(QStringLiteral("null"));
    m_player->setVideoWidget(m_widget.get());
    m_widget->resize(320, 240);
    m_widget->show();
}

void PlayerTest::cleanup()
{
    m_player.reset();
    m_widget.reset();
}

void PlayerTest::open(const QString &clip)
{
    QSignalSpy shown(m_player.get(), &Player::seekFinished);
    m_player->play(TestClips::path(clip));
    QVERIFY(shown.wait(10000));
    m_player->pause(true);
}

void PlayerTest::seekTo(qint64 ms)
{
    QSignalSpy landed(m_player.get(), &Player::seekFinished);
    m_player->seek(ms);
    QVERIFY(landed.wait(10000));
}

QImage PlayerTest::capture()
{
    QSignalSpy captured(m_player->videoCapture(), &FrameCapture::imageCaptured);
    QSignalSpy failed(m_player->videoCapture(), &FrameCapture::failed);
    m_player->videoCapture()->capture();
    if (!captured.wait(5000))
        qWarning() << "capture failed:" << failed;
    return captured.isEmpty() ? QImage() : captured.first().first().value<QImage>();
}

int PlayerTest::frameOnScreen()
{
    // The widget has the clip's aspect, so the picture fills it.
    return FrameId::read(m_widget->grab().toImage());
}

void PlayerTest::seekShowsFrame_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<int>("frame");
    QTest::newRow("H.264 with B-frames") << "h264-bframes.mp4" << qint64(12000) << TestClips::frameTime(137) << 137;
    QTest::newRow("HEVC 10-bit") << "hevc10.mkv" << qint64(4000) << TestClips::frameTime(77) << 77;
    QTest::newRow("VP9") << "vp9.webm" << qint64(4000) << TestClips::frameTime(63) << 63;
    QTest::newRow("MPEG-TS") << "h264.ts" << qint64(6000) << TestClips::frameTime(121) << 121;
    // The sound runs on to 12.011 s: the position is still the last picture's.
    QTest::newRow("past the end") << "h264-bframes.mp4" << qint64(12000) << qint64(13000) << 299;
}

void PlayerTest::seekShowsFrame()
{
    QFETCH(QString, clip);
    QFETCH(qint64, duration);
    QFETCH(qint64, target);
    QFETCH(int, frame);
    open(clip);
    QVERIFY(qAbs(m_player->duration() - duration) <= 40);
    seekTo(target);
    QCOMPARE(m_player->displayPosition(), TestClips::frameTime(frame));
    QCOMPARE(frameOnScreen(), frame);
    QCOMPARE(FrameId::read(capture()), frame);
}

void PlayerTest::steps_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("step");
    QTest::newRow("forward") << "h264-bframes.mp4" << 10 << 1;
    QTest::newRow("back") << "h264-bframes.mp4" << 10 << -1;
    QTest::newRow("back over a key frame") << "h264-bframes.mp4" << 100 << -1;
    QTest::newRow("forward in MPEG-TS") << "h264.ts" << 50 << 1;
    QTest::newRow("back over a key frame in MPEG-TS") << "h264.ts" << 50 << -1;
}

void PlayerTest::steps()
{
    QFETCH(QString, clip);
    QFETCH(int, from);
    QFETCH(int, step);
    open(clip);
    seekTo(TestClips::frameTime(from));
    QSignalSpy landed(m_player.get(), &Player::seekFinished);
    step > 0 ? m_player->stepForward() : m_player->stepBackward();
    QVERIFY(landed.wait(10000));
    QVERIFY(m_player->isPaused());
    QCOMPARE(m_player->displayPosition(), TestClips::frameTime(from + step));
    QCOMPARE(FrameId::read(capture()), from + step);
}

void PlayerTest::playOnFromEnd_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("last");
    QTest::newRow("played to the end") << "vp9.webm" << 90 << 99;
    QTest::newRow("played to the end, sound outlasting the pictures") << "h264-bframes.mp4" << 290 << 299;
    QTest::newRow("sought to the last frame") << "vp9.webm" << 99 << 99;
}

// The player pauses on the last frame; playing on from there starts again.
void PlayerTest::playOnFromEnd()
{
    QFETCH(QString, clip);
    QFETCH(int, from);
    QFETCH(int, last);
    open(clip);
    seekTo(TestClips::frameTime(from));
    if (from != last) {
        m_player->play();
        QTRY_COMPARE_WITH_TIMEOUT(m_player->mediaStatus(), Player::EndOfMedia, 10000);
        QTRY_COMPARE(m_player->state(), Player::PausedState);
        QCOMPARE(m_player->displayPosition(), TestClips::frameTime(last));
    }
    QCOMPARE(FrameId::read(capture()), last);

    QSignalSpy landed(m_player.get(), &Player::seekFinished);
    m_player->pause(false);
    QVERIFY(landed.wait(10000));
    QVERIFY(landed.first().first().toLongLong() < TestClips::frameTime(10));
    QTRY_COMPARE(m_player->state(), Player::PlayingState);
}

void PlayerTest::captureShape_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("turn");
    QTest::newRow("turned a quarter") << "rotated.mp4" << QSize(240, 320) << 90;
    QTest::newRow("turned a quarter the other way") << "rotated-other-way.mp4" << QSize(240, 320) << 270;
    QTest::newRow("anamorphic") << "anamorphic.mp4" << QSize(320, 240) << 0;
}

void PlayerTest::captureShape()
{
    QFETCH(QString, clip);
    QFETCH(QSize, size);
    QFETCH(int, turn);
    open(clip);
    seekTo(TestClips::frameTime(7));
    QTRY_COMPARE(m_player->videoSize(), size);
    const QImage image = capture();
    QCOMPARE(image.size(), size);
    // The mark runs across the stored picture, so a turned picture is read turned back.
    QCOMPARE(FrameId::read(image.transformed(QTransform().rotate(turn))), 7);
}

void PlayerTest::captureEqualsEngine_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("frame");
    QTest::newRow("H.264") << "h264-bframes.mp4" << 42;
    QTest::newRow("HEVC 10-bit") << "hevc10.mkv" << 30;
    QTest::newRow("turned a quarter") << "rotated.mp4" << 12;
    QTest::newRow("anamorphic") << "anamorphic.mp4" << 12;
    QTest::newRow("HD untagged") << "colour-hd-untagged.mp4" << 5;
    QTest::newRow("HD full range") << "colour-hd-full.mp4" << 5;
    QTest::newRow("SD untagged") << "colour-sd-untagged.mp4" << 5;
}

void PlayerTest::captureEqualsEngine()
{
    QFETCH(QString, clip);
    QFETCH(int, frame);
    open(clip);
    seekTo(TestClips::frameTime(frame));
    const QImage shot = capture();

    const QImage engine = engineImage(clip, frame);
    QCOMPARE(shot.size(), engine.size());
    QCOMPARE(shot.format(), engine.format());
    QCOMPARE(FrameId::read(shot), FrameId::read(engine));
    // Colours within a few levels on average: the scalers differ in rounding and filtering.
    const double mean = meanDifference(shot, engine);
    QVERIFY2(mean < 4.0, qPrintable(QString::number(mean)));
}

// libmpv tone-maps HDR on screen its own way; it must stay close to the engine's
// picture (not washed out), while the snapshot is the engine's.
void PlayerTest::hdrOnScreen_data()
{
    QTest::addColumn<QString>("clip");
    QTest::newRow("HLG bars") << "bars-hlg.mkv";
    QTest::newRow("PQ bars") << "bars-pq.mkv";
}

void PlayerTest::hdrOnScreen()
{
    QFETCH(QString, clip);
    open(clip);
    seekTo(TestClips::frameTime(2));
    const QImage engine = engineImage(clip, 2);
    m_widget->resize(engine.size());
    QTRY_COMPARE(m_widget->grab().size(), engine.size());
    // The tone mapping starts once libmpv has seen that the video is HDR.
    QTRY_VERIFY(meanDifference(m_widget->grab().toImage().convertToFormat(QImage::Format_ARGB32), engine) < 5.0);
    const QImage shot = capture();
    QCOMPARE(shot.size(), engine.size());
    QVERIFY(meanDifference(shot, engine) < 1.0);
}

QImage PlayerTest::engineImage(const QString &clip, int frame)
{
    FrameGrabber grabber;
    QSignalSpy extracted(&grabber, &FrameGrabber::frameExtracted);
    grabber.setSource(TestClips::path(clip));
    grabber.setPrecision(0);
    grabber.setPosition(TestClips::frameTime(frame));
    grabber.extract();
    return extracted.isEmpty() ? QImage()
                               : extracted.first().first().value<media::VideoFrame>().toImage(QImage::Format_ARGB32);
}

// Mean difference of the colour channels, in levels of 255.
double PlayerTest::meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255.0;
    qint64 difference = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            difference += qAbs(qRed(p[x]) - qRed(q[x])) + qAbs(qGreen(p[x]) - qGreen(q[x]))
                          + qAbs(qBlue(p[x]) - qBlue(q[x]));
    }
    return double(difference) / (3.0 * a.width() * a.height());
}

void PlayerTest::unplayable_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("says");
    QTest::newRow("empty") << "empty.mp4" << "";
    QTest::newRow("random bytes") << "random.mp4" << "";
    QTest::newRow("audio only") << "audio-only.m4a" << "holds no video";
    QTest::newRow("missing") << "no such file.mp4" << "does not exist";
}

void PlayerTest::unplayable()
{
    QFETCH(QString, clip);
    QFETCH(QString, says);
    QSignalSpy error(m_player.get(), &Player::error);
    m_player->play(TestClips::path(clip));
    QVERIFY(error.wait(10000));
    const QString message = error.first().first().toString();
    QVERIFY2(message.contains(QFileInfo(clip).fileName()) && message.contains(says), qPrintable(message));
    QTRY_COMPARE(m_player->state(), Player::StoppedState);
    QCOMPARE(m_player->mediaStatus(), Player::InvalidMedia);
    QSignalSpy failed(m_player->videoCapture(), &FrameCapture::failed);
    m_player->videoCapture()->capture();
    QVERIFY(failed.wait(5000));
}

// A file cut short plays up to where its data ends and says so once.
void PlayerTest::endsEarly()
{
    QSignalSpy early(m_player.get(), &Player::endedEarly);
    open(QStringLiteral("truncated.mp4"));
    seekTo(5000);
    m_player->play();
    QTRY_COMPARE_WITH_TIMEOUT(m_player->mediaStatus(), Player::EndOfMedia, 10000);
    QCOMPARE(early.size(), 1);
    QVERIFY2(early.first().first().toString().contains(QLatin1String("truncated.mp4")),
             qPrintable(early.first().first().toString()));
    QVERIFY(m_player->displayPosition() < 7000);
}

void PlayerTest::deleteInEveryState_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("widgetFirst");
    for (const char *state : { "playing", "paused", "seeking", "capturing" }) {
        QTest::newRow(state) << state << false;
        QTest::newRow(qPrintable(QStringLiteral("%1, widget first").arg(state))) << state << true;
    }
}

void PlayerTest::deleteInEveryState()
{
    QFETCH(QString, state);
    QFETCH(bool, widgetFirst);
    QSignalSpy started(m_player.get(), &Player::started);
    m_player->play(TestClips::path(QStringLiteral("h264-bframes.mp4")));
    QVERIFY(started.wait(10000));
    if (state == "paused")
        m_player->pause(true);
    else if (state == "seeking")
        m_player->seek(9000);
    else if (state == "capturing")
        m_player->videoCapture()->capture();
    if (widgetFirst) {
        m_widget.reset();
        QCOMPARE(m_player->videoWidget(), nullptr);
    }
    m_player.reset();
}

QTEST_MAIN(PlayerTest)
#include "playertest.moc"
