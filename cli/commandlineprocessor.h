#pragma once

#include "batch/batchoutcome.h"

#include <QFile>
#include <QObject>
#include <QString>

#include <memory>

class BatchWorker;
class Manifest;
class QApplication;
class QCommandLineParser;

enum class CommandLineResult { Ok = 0, Error = 1, ShowVersion = 2, ShowHelp = 3 };

// The console program's one job: reads the options, checks them, builds the
// batch job and runs its worker on the main thread. Status lines go to
// standard output (and to the --log file), progress to a terminal's
// standard error.
class CommandLineProcessor : public QObject
{
    Q_OBJECT

public:
    // Exit status of tindracmd: 0 only when every image asked for was written.
    enum ExitStatus {
        ExitOk = 0,
        ExitBadOption = 1,          // unknown option or missing value (the parser's own)
        ExitInvalidArguments = 2,   // a check of the arguments failed; the help follows
        ExitCannotOpenVideo = 3,
        ExitFramesFailed = 4,       // some frames could not be extracted
        ExitImagesNotWritten = 5,   // some images could not be written
        ExitNothingToCapture = 6,   // the trimmed video leaves no position, or is blank throughout
        ExitManifestNotWritten = 7, // the images were written, but some are missing from the --manifest list
        ExitInterrupted = 128       // plus the signal that stopped the job (SIGINT: 130, SIGTERM: 143)
    };

    explicit CommandLineProcessor(QObject *parent = nullptr);
    ~CommandLineProcessor() override;

    // Runs the job; returns the exit status. Does not return when the help
    // or the version is shown, or when the arguments are invalid.
    int run(QApplication &app);
    CommandLineResult processArguments(QApplication &app, QCommandLineParser &parser, QString &errorMessage);

public slots:
    void threadStatusUpdate(QString status);

private:
    static QString refusalToWrite(const QString &path, const QString &source, const QString &what);
    static bool isSameFile(const QString &path, const QString &other);
    void writeLog(const QString &line);
    void showProgress(float progress);
    int exitStatus();

    BatchWorker *m_worker = nullptr;
    BatchOutcome m_outcome;
    QFile m_log;
    std::unique_ptr<Manifest> m_manifest;
    bool m_progressShown = false;
};
