#include "commandlineprocessor.h"
#include "media/loglevel.h"
#include "tindraversion.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstring>

namespace {

bool platformChosen(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

QtMessageHandler defaultHandler = nullptr;

// On a server without a login session Qt says it falls back to a private
// runtime folder while it starts; the console program never uses that folder.
void quietStartHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    defaultHandler(type, context, message);
}

}

int main(int argc, char *argv[])
{
    // Painting needs an application object with a platform, not a display:
    // servers without one get the offscreen platform unless the user chose.
    if (!platformChosen(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    defaultHandler = qInstallMessageHandler(quietStartHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(defaultHandler);
    QApplication::setApplicationName(QStringLiteral("Tindra"));
    QApplication::setOrganizationName(QStringLiteral("Tindra"));
    QApplication::setOrganizationDomain(QStringLiteral("tindra.app"));
    QApplication::setApplicationVersion(QStringLiteral(TINDRA_VERSION));

    media::setLogLevel(media::LogCritical);
    // Diagnostics stay out of the console unless asked for with QT_LOGGING_RULES.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\ntindra.*.warning=false"));

    CommandLineProcessor processor;
    return processor.run(app);
}
