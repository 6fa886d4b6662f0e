#include "screenshots.h"

#include "capture/framegrabber.h"
#include "testclips.h"

// Qt
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

// C++
#include <utility>
#include <vector>

namespace {
std::vector<std::pair<QString, void (*)()>> &areas()
{
    static std::vector<std::pair<QString, void (*)()>> list;
    return list;
}

QDir &outputFolder()
{
    static QDir folder;
    return folder;
}

int failures = 0;
}

Screenshots::Area::Area(const char *name, void (*shoot)())
{
    areas().emplace_back(QString::fromLatin1(name), shoot);
}

void Screenshots::save(QWidget *widget, const QString &name, int settleMs)
{
    widget->show();
    widget->raise();
    QEventLoop settle;
    QTimer::singleShot(settleMs, &settle, &QEventLoop::quit);
    settle.exec();
    const QString path = outputFolder().absoluteFilePath(name + QLatin1String(".png"));
    if (!widget->grab().save(path)) {
        QTextStream(stderr) << "Could not write " << path << '\n';
        ++failures;
        return;
    }
    QTextStream(stdout) << path << '\n';
}

QString Screenshots::video(const QString &clip, const QString &name)
{
    QDir videos = QDir::home();
    videos.mkpath(QStringLiteral("Videos"));
    const QString path = videos.filePath(QStringLiteral("Videos/") + name);
    if (!QFile::exists(path))
        QFile::copy(TestClips::path(clip), path);
    return path;
}

QImage Screenshots::clipFrame(const QString &clip, qint64 ms)
{
    QImage image;
    FrameGrabber grabber;
    QObject::connect(&grabber, &FrameGrabber::frameExtracted, [&image](const media::VideoFrame &frame) {
        image = frame.toImage(QImage::Format_ARGB32);
    });
    grabber.setSource(TestClips::path(clip));
    grabber.setPosition(ms);
    grabber.extract();
    return image;
}

// screenshots <output folder> [area...]: every area, or the ones named.
int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tindra"));
    QApplication::setOrganizationName(QStringLiteral("Tindra"));
    Q_INIT_RESOURCE(tindra);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        QTextStream(stderr) << "usage: tindra_screenshots <output folder> [area...]\n";
        return 2;
    }
    outputFolder() = QDir(arguments.at(1));
    if (!outputFolder().mkpath(QStringLiteral("."))) {
        QTextStream(stderr) << "Could not make " << arguments.at(1) << '\n';
        return 1;
    }

    // Profiles, settings and videos of the shots stay out of the user's own,
    // and the paths they show are no developer's.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));

    QFile style(QStringLiteral(":/Styles.qss"));
    if (style.open(QIODevice::ReadOnly | QIODevice::Text))
        app.setStyleSheet(QString::fromUtf8(style.readAll()));

    const QStringList wanted = arguments.mid(2);
    for (const auto &[name, shoot] : areas()) {
        if (wanted.isEmpty() || wanted.contains(name))
            shoot();
    }
    return failures == 0 ? 0 : 1;
}
