// Start-up of the desktop program: identity, style sheet, the one main
// window centred on its screen, and the event loop. Runs on the main thread.

#include "mainwindow.h"
#include "media/loglevel.h"
#include "tindraversion.h"

// Qt
#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QFile>
#include <QIcon>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>

#include <clocale>
#include <cstring>

namespace {

// Help and version are text: they are printed on a machine without a display
// too (over ssh, or when the manual pages are made), on the offscreen platform
// unless the user chose one.
void printTextWithoutDisplay(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    for (int i = 1; i < argc; ++i) {
        for (const char *option : { "-h", "--help", "--help-all", "-v", "--version" }) {
            if (std::strcmp(argv[i], option) == 0) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
                return;
            }
        }
    }
}

void applyStyleSheet(QApplication &app)
{
    QFile style(QStringLiteral(":/Styles.qss"));
    if (!style.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "Style not loaded";
        return;
    }
    app.setStyleSheet(QString::fromUtf8(style.readAll()));
}

// Centred in the free area of the window's screen (which need not start at
// 0, 0), the top-left corner kept on it when the screen is smaller than the
// window so that the title bar stays within reach.
void centreOnScreen(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const int x = area.x() + qMax(0, (area.width() - window.width()) / 2);
    const int y = area.y() + qMax(0, (area.height() - window.height()) / 2);
    window.move(x, y);
}

}

int main(int argc, char *argv[])
{
    printTextWithoutDisplay(argc, argv);
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    // The resources live in the static library tindra_gui.
    Q_INIT_RESOURCE(tindra);
    QApplication::setApplicationName(QStringLiteral("Tindra"));
    QApplication::setOrganizationName(QStringLiteral("Tindra"));
    QApplication::setOrganizationDomain(QStringLiteral("tindra.app"));
    QApplication::setApplicationVersion(QStringLiteral(TINDRA_VERSION));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tindra")));

    QCommandLineParser parser;
    parser.setApplicationDescription(QApplication::translate("main", "Captures still images from video files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("video"), QApplication::translate("main", "Video file to open."),
                                 QStringLiteral("[video]"));
    parser.process(app);

    // Diagnostics stay out of the terminal unless asked for with QT_LOGGING_RULES.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("tindra.*.debug=false"));

    // The application object sets the C library's locale from the environment;
    // the player reads numbers with the C library and refuses any other.
    std::setlocale(LC_NUMERIC, "C");

    media::setLogLevel(media::LogCritical);
    applyStyleSheet(app);

    MainWindow window;
    window.resize(800, 600);
    centreOnScreen(window);
    window.show();

    const QStringList videos = parser.positionalArguments();
    if (!videos.isEmpty()) {
        const QString video = videos.constFirst();
        QTimer::singleShot(0, &window, [&window, video] { window.openVideo(video); });
    }

    app.exec();
    return 0;
}
