#include "player/seeklanding.h"

#include <QtTest>

// The landing of seeks and steps, driven by scripted libmpv events. Each row
// is a sequence of events; the log holds what the landing asked the player
// to do, in order.
class SeekLandingTest : public QObject
{
    Q_OBJECT

private slots:
    void landing_data();
    void landing();
};

void SeekLandingTest::landing_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("log");
    QTest::newRow("first frame of a file") << "load, restart 0, frame" << "render, landed -1 at 0";
    QTest::newRow("exact seek") << "load, seek 5, reply, seek, restart 5, frame" << "render, landed 5 at 5";
    QTest::newRow("frame before the restart") << "load, seek 5, reply, seek, frame, restart 5"
                                              << "render, landed 5 at 5";
    QTest::newRow("frame already waiting") << "load, waiting, seek 5, reply, restart 5" << "render, landed 5 at 5";
    QTest::newRow("no frame comes: timer") << "load, seek 5, reply, restart 5, timer" << "landed 5 at 5";
    QTest::newRow("refused seek") << "load, seek 5, refused" << "landed 5 at 5";
    QTest::newRow("restart of an earlier move") << "load, seek 5, restart 1, reply, restart 5, frame"
                                                << "render, landed 5 at 5";
    QTest::newRow("new seek while one is pending") << "load, seek 5, seek 8, reply, restart 5, reply, restart 8, frame"
                                                   << "render, landed 8 at 8";
    QTest::newRow("key-frame seek") << "load, keyseek, reply, restart 4.8, frame" << "render, landed -1 at 4.8";
    QTest::newRow("step forward") << "load, step, reply, pos 0.04, frame" << "render, landed -1 at 0.04";
    QTest::newRow("step forward, still playing") << "load, playing, step, reply, pos 0.04, frame" << "";
    QTest::newRow("step onto the end") << "load, step, reply, end" << "landed -1 at 0";
    QTest::newRow("step during a seek waits for it") << "load, seek 5, step, reply, reply, restart 5, frame"
                                                     << "render, landed -1 at 5";
    QTest::newRow("step back") << "load, pos 2, back, reply, restart 1.96, frame" << "render, landed -1 at 1.96";
    QTest::newRow("step back stuck on a key frame")
        << "load ts, pos 2, back, reply, restart 2, frame, reply, restart 1.96, frame"
        << "offset 1.5, render, seek 1.96, render, landed 1.96 at 1.96";
    QTest::newRow("MPEG-TS seek lands late")
        << "load ts, seek 5, reply, restart 5.2, frame, reply, restart 5, frame"
        << "offset 1.5, render, offset 3, seek 5, render, landed 5 at 5";
    QTest::newRow("late again: further back")
        << "load ts, seek 5, reply, restart 5.2, frame, reply, restart 5.2, frame, reply, restart 5, frame"
        << "offset 1.5, render, offset 3, seek 5, render, offset 6, seek 5, render, landed 5 at 5";
}

void SeekLandingTest::landing()
{
    QFETCH(QString, events);
    QFETCH(QString, log);

    bool frameWaiting = false;
    bool paused = true;
    SeekLanding landing({ [&] { return frameWaiting; }, [&] { return paused; }, [] { return 0.04; } });
    QStringList asked;
    const auto number = [](double seconds) { return QString::number(seconds, 'g', 6); };
    connect(&landing, &SeekLanding::renderFrame, [&] { asked << QStringLiteral("render"); });
    connect(&landing, &SeekLanding::demuxerOffsetChanged, [&](double s) { asked << "offset " + number(s); });
    // As the player does: the new seek goes out at once.
    connect(&landing, &SeekLanding::exactSeekNeeded, [&](double s) {
        asked << "seek " + number(s);
        landing.exactSeekStarting(s);
        landing.moveSent();
    });
    connect(&landing, &SeekLanding::landed,
            [&](double target) { asked << "landed " + number(target) + " at " + number(landing.time()); });

    for (const QString &event : events.split(QStringLiteral(", "))) {
        const QString name = event.section(QLatin1Char(' '), 0, 0);
        const QString argument = event.section(QLatin1Char(' '), 1);
        const double seconds = argument.toDouble();
        if (name == "load") {
            landing.fileLoaded(argument == "ts");
        } else if (name == "seek" && argument.isEmpty()) {
            landing.seekStarted();
        } else if (name == "seek") {
            landing.exactSeekStarting(seconds);
            landing.moveSent();
        } else if (name == "keyseek") {
            landing.keyFrameSeekStarting();
            landing.moveSent();
        } else if (name == "step") {
            landing.stepForwardStarting();
            landing.moveSent();
        } else if (name == "back") {
            landing.stepBackwardStarting();
            landing.moveSent();
        } else if (name == "reply" || name == "refused") {
            landing.moveReplied(name == "refused");
        } else if (name == "restart") {
            landing.playbackRestarted(seconds);
        } else if (name == "pos") {
            landing.positionReported(seconds);
        } else if (name == "frame") {
            landing.frameArrived();
        } else if (name == "waiting") {
            frameWaiting = true;
        } else if (name == "playing") {
            paused = false;
        } else if (name == "end") {
            landing.endReached();
        } else if (name == "timer") {
            landing.land();
        } else {
            QFAIL(qPrintable("unknown event " + event));
        }
    }
    QCOMPARE(asked.join(QStringLiteral(", ")), log);
}

QTEST_GUILESS_MAIN(SeekLandingTest)
#include "seeklandingtest.moc"
