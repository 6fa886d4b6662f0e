// Desktop program figures: time from the start of the process to the main
// window on screen, from opening a 1080p clip to its first frame on screen,
// the memory of the program playing that clip for 10 s, and then, while it
// plays on, the time from the pointer stopping over the position slider to
// the preview of that place being shown, and the frames dropped meanwhile.
//
//   mainwindowbench [runs] [clip]
//
// Each run is a fresh process (a child of this one) that starts as tindra
// does: application identity, style sheet, the main window at 800 x 600. It
// plays silently, with its configuration in a temporary folder.
#include "benchclip.h"
#include "capture/keyframepreviewer.h"
#include "mainwindow.h"
#include "player/player.h"
#include "player/videowidget.h"
#include "widgets/sliderpreview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since this process was started by the kernel (10 ms steps).
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name (which may hold spaces); starttime is field 22.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(22 - 3).toDouble();
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (now.tv_sec + now.tv_nsec / 1e9 - startTicks / sysconf(_SC_CLK_TCK)) * 1000;
}

// Kilobytes of a "VmRSS"-like line of /proc/self/status.
qint64 statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Some of nine points of the picture are not black: a frame is on show.
bool showsPicture(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    for (int y = 1; y <= 3; ++y) {
        for (int x = 1; x <= 3; ++x) {
            if (qGray(image.pixel(image.width() * x / 4, image.height() * y / 4)) > 24)
                return true;
        }
    }
    return false;
}

int runChild(QApplication &app, const QString &clip)
{
    QLoggingCategory::setFilterRules(QStringLiteral("tindra.*.debug=false"));
    QApplication::setApplicationName(QStringLiteral("Tindra"));
    QApplication::setOrganizationName(QStringLiteral("Tindra"));
    QApplication::setOrganizationDomain(QStringLiteral("tindra.app"));
    QFile style(QStringLiteral(":/Styles.qss"));
    if (style.open(QIODevice::ReadOnly | QIODevice::Text))
        app.setStyleSheet(QString::fromUtf8(style.readAll()));
    QTextStream out(stdout);

    MainWindow window;
    window.resize(800, 600);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    out << "shown " << msSinceProcessStart() << "\n";

    auto *player = window.findChild<Player *>();
    auto *video = window.findChild<VideoWidget *>();
    player->setAudioOutput(QStringLiteral("null"));
    QElapsedTimer timer;
    timer.start();
    window.openVideo(clip);
    while (!showsPicture(video)) {
        if (timer.elapsed() > 10000)
            return 1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    out << "first-frame " << timer.nsecsElapsed() / 1e6 << "\n";

    timer.restart();
    while (timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    out << "dropped-playing " << player->droppedFrames() << "\n";
    out << "rss-mb " << statusKb("VmRSS:") / 1024.0 << "\n";
    out << "peak-rss-mb " << statusKb("VmHWM:") / 1024.0 << "\n";
    out.flush();

    // Slider previews while the video plays: the pointer stops at spread
    // places of the slider, each nearest to a key frame not shown before.
    const qint64 droppedBefore = player->droppedFrames();
    auto *slider = window.findChild<QSlider *>(QStringLiteral("videoSlider"));
    auto *previewer = window.findChild<KeyFramePreviewer *>();
    qint64 asked = -1;
    double shownAfter = -1;
    QObject::connect(previewer, &KeyFramePreviewer::previewReady, &window, [&](qint64 position) {
        if (position == asked)
            shownAfter = timer.nsecsElapsed() / 1e6;
    });
    QVector<double> previews;
    for (int i = 0; i < 6; ++i) {
        const QPoint at(slider->width() * (2 * i + 1) / 12, slider->height() / 2);
        QMouseEvent move(QEvent::MouseMove, at, slider->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        shownAfter = -1;
        timer.restart();
        QApplication::sendEvent(slider, &move);
        asked = window.findChild<SliderPreview *>()->position();
        while (shownAfter < 0 && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        if (shownAfter < 0)
            return 1;
        previews.append(shownAfter);
        // The pointer rests a while, as a user's does, before moving on.
        while (timer.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    std::sort(previews.begin(), previews.end());
    out << "preview-median " << previews.at(previews.size() / 2) << "\n";
    out << "preview-slowest " << previews.constLast() << "\n";
    out << "dropped-during-previews " << player->droppedFrames() - droppedBefore << "\n";
    return 0;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(tindra);
    QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--child"))
        return runChild(app, args.value(2));

    QTextStream out(stdout);
    const int runs = args.size() > 1 ? args.at(1).toInt() : 5;
    const QString clip = args.size() > 2 ? args.at(2) : benchClip();
    if (runs < 1 || clip.isEmpty()) {
        out << "usage: mainwindowbench [runs] [clip]\n";
        return 1;
    }
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));

    QMap<QString, QVector<double>> figures;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), clip});
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            out << "run " << i + 1 << " failed\n";
            return 1;
        }
        const QString result = QString::fromUtf8(child.readAllStandardOutput());
        out << "run " << i + 1 << ": " << QString(result).replace(QLatin1Char('\n'), QLatin1String("  ")) << "\n";
        for (const QString &line : result.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            figures[line.section(QLatin1Char(' '), 0, 0)].append(line.section(QLatin1Char(' '), 1).toDouble());
    }
    out << "median of " << runs << " runs:\n";
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        out << "  " << it.key() << " " << QString::number(median(it.value()), 'f', 1) << "\n";
    return 0;
}
