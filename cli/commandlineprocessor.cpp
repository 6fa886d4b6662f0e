#include "commandlineprocessor.h"

#include "analysis/shotdetector.h"
#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "batch/manifest.h"
#include "imaging/contactsheet.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList ImageTypes = { QStringLiteral("jpeg"), QStringLiteral("jpg"), QStringLiteral("png"),
                                 QStringLiteral("bmp"), QStringLiteral("tiff"), QStringLiteral("tif"),
                                 QStringLiteral("webp") };

// The types of ImageTypes this installation writes (WebP needs Qt's plugin).
QStringList writableTypes()
{
    QStringList types;
    const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    for (const QString &type : ImageTypes) {
        if (writable.contains(type.toLatin1()))
            types.append(type);
    }
    return types;
}

void writeOut(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// The signal that asked the job to stop (SIGINT, SIGTERM), 0 while none did.
std::atomic_int stopSignal { 0 };
static_assert(std::atomic_int::is_always_lock_free, "stored from a signal handler");

void requestStop(int signal)
{
    stopSignal.store(signal);
}

// The first SIGINT or SIGTERM stops the job at its next check, so that the
// image in progress is finished or dropped and no temporary file is left; a
// second one ends the program at once.
void handleStopSignals()
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// How much of an existing log file is read to tell it holds text.
constexpr qint64 LogCheckBytes = 4096;

// Most decoders one job runs at once.
constexpr qint64 MaxDecoders = 64;
// What the decoders of a job may take together, in MB, when their number is chosen.
constexpr qint64 DefaultDecoderMemory = 1024;
constexpr qint64 MinDecoderMemory = 64;
constexpr qint64 MaxDecoderMemory = 1048576;

// Most images one job takes, and the longest time an option gives (24 days in ms).
constexpr qint64 MaxImages = 100000;
constexpr qint64 MaxMilliseconds = INT_MAX;

// The least cut threshold (percent): below it compression noise makes cuts.
constexpr double MinShotThreshold = 0.5;
// The widest --sharpest window either side of a position: every frame of it
// is decoded for each image.
constexpr qint64 MaxSharpest = 10000;

// A whole number from 0 to max from an option's value.
bool readCount(const QString &value, qint64 max, qint64 *number)
{
    bool ok = false;
    *number = value.trimmed().toLongLong(&ok, 10);
    return ok && *number >= 0 && *number <= max;
}

// The grid of --sheet when none is given: 4 x 4.
const QString DefaultSheetGrid = QStringLiteral("4x4");
const QRegularExpression SheetGrid(QStringLiteral("^(\\d{1,4})[xX](\\d{1,4})$"));

// --sheet takes its grid as an optional value: one that does not follow
// it (the next argument is no COLSxROWS) is the default one.
QStringList withSheetGrid(QStringList arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--"))
            break;
        if ((arguments.at(i) == QLatin1String("--sheet") || arguments.at(i) == QLatin1String("-sheet"))
            && (i + 1 == arguments.size() || !SheetGrid.match(arguments.at(i + 1)).hasMatch()))
            arguments.insert(i + 1, DefaultSheetGrid);
    }
    return arguments;
}

// File names are made in the output folder: no part of them may lead elsewhere.
bool isNamePart(const QString &text)
{
    return !text.contains(QLatin1Char('/')) && !text.contains(QDir::separator());
}

}

CommandLineProcessor::CommandLineProcessor(QObject *parent)
    : QObject(parent)
{
}

CommandLineProcessor::~CommandLineProcessor() = default;

int CommandLineProcessor::run(QApplication &app)
{
    QCommandLineParser parser;
    QString errorMessage;
    switch (processArguments(app, parser, errorMessage)) {
    case CommandLineResult::Ok:
        return exitStatus();
    case CommandLineResult::Error:
        writeLog(errorMessage);
        writeOut(stdout, errorMessage + QLatin1Char('\n'));
        parser.showHelp(ExitInvalidArguments);
    case CommandLineResult::ShowVersion:
        parser.showVersion();
    case CommandLineResult::ShowHelp:
        parser.showHelp(ExitOk);
    }
    return ExitOk;
}

CommandLineResult CommandLineProcessor::processArguments(QApplication &app, QCommandLineParser &parser,
                                                         QString &errorMessage)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral("Tindra Command line options"));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("source"), tr("Video file to process."), QStringLiteral("source"));
    parser.addPositionalArgument(QStringLiteral("destination"), tr("Destination directory."),
                                 QStringLiteral("[destination]"));

    const QCommandLineOption countOption({ QStringLiteral("c"), QStringLiteral("count") },
        tr("The number of thumbnails/images to create from a video file. Use this or --ms."), tr("image count"));
    const QCommandLineOption msOption({ QStringLiteral("m"), QStringLiteral("ms") },
        tr("The number of milliseconds to skip each time to to create from a video file. Use this or --count"),
        tr("milliseconds"));
    const QCommandLineOption trimFrontOption(QStringLiteral("trimfront"),
        tr("How many milliseconds to ignore from the front of a video before processing."), tr("milliseconds"));
    const QCommandLineOption trimBackOption(QStringLiteral("trimback"),
        tr("How many milliseconds to ignore from the back of a video."), tr("milliseconds"));
    const QCommandLineOption heightOption(QStringLiteral("height"), tr("Output image height."), tr("height"));
    const QCommandLineOption widthOption(QStringLiteral("width"), tr("Output image width."), tr("width"));
    const QCommandLineOption aspectOption(QStringLiteral("videoaspectratio"),
        tr("With this option the images will be resized within the height and width specified as maximum values, "
           "retaining aspect ratio of the source video."));
    const QCommandLineOption prefixOption(QStringLiteral("fileprefix"),
        tr("Specifies a prefix to append to the image file names."), tr("prefix"));
    const QCommandLineOption nameOption(QStringLiteral("filename"),
        tr("Specify the output file name instead of using the video file name for output."), tr("name"));
    const QCommandLineOption suffixOption(QStringLiteral("filesuffix"),
        tr("Specifies a suffix to append to the image file names."), tr("suffix"));
    const QCommandLineOption counterOption(QStringLiteral("filecounter"),
        tr("Counter for file names. Specify the starting digit and the number of digits."), tr("image count"));
    const QCommandLineOption typeOption(QStringLiteral("filetype"),
        tr("Specifies the file type of the output image. %1.").arg(writableTypes().join(QStringLiteral(", "))),
        tr("type"));
    const QCommandLineOption logOption(QStringLiteral("log"), tr("Logs any errors messages to the file specified"),
                                       tr("file name"));
    const QCommandLineOption threadsOption(QStringLiteral("threads"),
        tr("How many decoders take the video's positions at once, each on a thread of its own. Default: one per "
           "core."), tr("count"));
    const QCommandLineOption memoryOption(QStringLiteral("memory"),
        tr("How much memory the decoders may take together when their number is chosen (without --threads), "
           "in MB: 64 to 1048576. Default: 1024."), tr("MB"));
    const QCommandLineOption shotsOption(QStringLiteral("shots"),
        tr("One image per shot: the video is analysed for cuts, dissolves and fades, and each shot gives its sharpest "
           "frame. Use this, --count or --ms."));
    const QCommandLineOption shotThresholdOption(QStringLiteral("shot-threshold"),
        tr("With --shots: how different, in percent, two shots must be to count as a cut. Lower finds more. "
           "Default: %1.").arg(ShotDetector::DefaultThreshold), tr("percent"));
    const QCommandLineOption minShotOption(QStringLiteral("min-shot"),
        tr("With --shots: shots shorter than this join a neighbour. Default: 600."), tr("milliseconds"));
    const QCommandLineOption shotListOption(QStringLiteral("shot-list"),
        tr("With --shots: writes each shot's number, start and end (ms and hh:mm:ss.zzz, and frames) and its image "
           "to this CSV file."), tr("file name"));
    const QCommandLineOption skipBlankOption(QStringLiteral("skip-blank"),
        tr("Instead of a blank frame (black, white, one colour), takes the nearest one that is not within %1 ms, "
           "later ones first.").arg(BatchWorkerConfig::BlankWindow));
    const QCommandLineOption sharpestOption(QStringLiteral("sharpest"),
        tr("Takes the sharpest frame within this many milliseconds either side of each position."),
        tr("milliseconds"));
    const QCommandLineOption nameTimeOption(QStringLiteral("name-time"),
        tr("Puts each frame's time into the image names in place of the counter (clip-00h01m23s456.jpeg); "
           "with --filecounter, beside it. A clash adds -2, -3..."));
    const QCommandLineOption manifestOption(QStringLiteral("manifest"),
        tr("Appends a row for each image written to this list: CSV, or JSON Lines when the name ends in .jsonl. "
           "Runs at the same time may share one list."), tr("file name"));
    const QCommandLineOption qualityOption(QStringLiteral("quality"),
        tr("Quality of JPEG and WebP images, 1 (smallest files) to 100 (best). Default: Qt's (75)."), tr("1-100"));
    const QCommandLineOption sheetOption(QStringLiteral("sheet"),
        tr("Makes one contact sheet of the video instead of separate images: a header with its details over "
           "COLSxROWS frames spread over it, each with its time (with --shots, one per shot in as many rows as they "
           "fill). The grid may be left out: 4x4. Named <video>-sheet.jpeg by default; --width, --height and "
           "--videoaspectratio do not apply."),
        tr("COLSxROWS"));
    const QCommandLineOption sheetWidthOption(QStringLiteral("sheet-width"),
        tr("Width of the contact sheet, %1 to %2 pixels. Default: 1600.").arg(ContactSheet::MinWidth).arg(ContactSheet::MaxWidth),
        tr("pixels"));
    const QCommandLineOption fastOption(QStringLiteral("fast"),
        tr("Key-frame mode: each image is the key frame nearest to its position instead of the exact frame. "
           "Many times faster on videos with key frames far apart; for thumbnails and overviews."));
    parser.addOptions({ countOption, msOption, trimFrontOption, trimBackOption, heightOption, widthOption,
                        aspectOption, prefixOption, nameOption, suffixOption, counterOption, typeOption, logOption,
                        threadsOption, memoryOption, shotsOption, shotThresholdOption, minShotOption, shotListOption,
                        skipBlankOption, sharpestOption, nameTimeOption, manifestOption, qualityOption, sheetOption,
                        sheetWidthOption, fastOption });

    parser.process(withSheetGrid(app.arguments()));
    if (parser.isSet(versionOption))
        return CommandLineResult::ShowVersion;
    if (parser.isSet(helpOption))
        return CommandLineResult::ShowHelp;

    // The log is checked before anything is written to it: with its name
    // forgotten, the parser takes the next argument, often the video. Once
    // opened it logs the checks below too; a log that cannot be opened is
    // reported after the checks of the job itself.
    const QStringList positional = parser.positionalArguments();
    QString logError;
    if (parser.isSet(logOption)) {
        const QString refusal = refusalToWrite(parser.value(logOption), positional.value(0), tr("the log"));
        if (!refusal.isEmpty()) {
            errorMessage = refusal;
            return CommandLineResult::Error;
        }
        m_log.setFileName(parser.value(logOption));
        // Devices and pipes cannot seek to their end: only files are appended to.
        const QFileInfo logInfo(m_log.fileName());
        const QIODevice::OpenMode append = logInfo.exists() && !logInfo.isFile() ? QIODevice::NotOpen : QIODevice::Append;
        if (!m_log.open(QIODevice::WriteOnly | append | QIODevice::Text))
            logError = tr("Cannot write the log file: %1").arg(QDir::toNativeSeparators(parser.value(logOption)));
    }

    auto *config = new BatchWorkerConfig(this);

    if (positional.isEmpty()) {
        errorMessage = tr("A file name is required");
        return CommandLineResult::Error;
    }
    config->setSource(positional.at(0));
    if (!QFileInfo(config->source()).isFile()) {
        errorMessage = tr("File not found: ") + config->source();
        return CommandLineResult::Error;
    }
    if (positional.size() > 1) {
        const QString destination = positional.at(1);
        if (!QFileInfo(destination).isDir()) {
            errorMessage = QStringLiteral("Output folder is incorrect or does not exist: ") + destination;
            return CommandLineResult::Error;
        }
        config->setFileOutputPath(QDir(destination).absolutePath());
    }
    if (parser.isSet(countOption) && parser.isSet(msOption)) {
        errorMessage = QStringLiteral("Please only set count or milliseconds");
        return CommandLineResult::Error;
    }
    if (parser.isSet(shotsOption) && (parser.isSet(countOption) || parser.isSet(msOption))) {
        errorMessage = tr("Please only set one of --count, --ms and --shots");
        return CommandLineResult::Error;
    }
    for (const QCommandLineOption *option : { &shotThresholdOption, &minShotOption, &shotListOption }) {
        if (parser.isSet(*option) && !parser.isSet(shotsOption)) {
            errorMessage = tr("--%1 needs --shots").arg(option->names().constLast());
            return CommandLineResult::Error;
        }
    }
    if (!logError.isEmpty()) {
        errorMessage = logError;
        return CommandLineResult::Error;
    }
    if (parser.isSet(sheetOption) && (parser.isSet(countOption) || parser.isSet(msOption))) {
        errorMessage = tr("A contact sheet takes its frames from its grid: leave out --count and --ms");
        return CommandLineResult::Error;
    }
    // Key frames are taken as they are: the frames that look at the pictures are exact ones.
    for (const QCommandLineOption *option : { &shotsOption, &skipBlankOption, &sharpestOption }) {
        if (parser.isSet(fastOption) && parser.isSet(*option)) {
            errorMessage = tr("--fast takes key frames as they are: leave out --%1").arg(option->names().constLast());
            return CommandLineResult::Error;
        }
    }
    if (parser.isSet(sheetWidthOption) && !parser.isSet(sheetOption)) {
        errorMessage = tr("--sheet-width applies to --sheet only");
        return CommandLineResult::Error;
    }

    // Every number must be one: "--ms abc" would otherwise quietly become another interval.
    const auto number = [&](const QCommandLineOption &option, qint64 max, qint64 *value) {
        if (readCount(parser.value(option), max, value))
            return true;
        errorMessage = tr("Invalid value for --%1: \"%2\" (expected a whole number from 0 to %3)")
                           .arg(option.names().constLast(), parser.value(option))
                           .arg(max);
        return false;
    };
    qint64 value = 0;
    if (parser.isSet(msOption)) {
        if (!number(msOption, MaxMilliseconds, &value))
            return CommandLineResult::Error;
        config->setIntervalType(BatchWorkerConfig::EveryInterval);
        config->setIntervalMilliseconds(int(value));
    }
    if (parser.isSet(countOption)) {
        if (!number(countOption, MaxImages, &value))
            return CommandLineResult::Error;
        config->setIntervalType(BatchWorkerConfig::ImageCount);
        config->setIntervalImages(int(value));
    }
    if (parser.isSet(trimFrontOption)) {
        if (!number(trimFrontOption, MaxMilliseconds, &value))
            return CommandLineResult::Error;
        config->setSkipFront(value);
    }
    if (parser.isSet(trimBackOption)) {
        if (!number(trimBackOption, MaxMilliseconds, &value))
            return CommandLineResult::Error;
        config->setSkipBack(value);
    }

    if (parser.isSet(shotsOption)) {
        config->setIntervalType(BatchWorkerConfig::Shots);
        if (parser.isSet(shotThresholdOption)) {
            bool ok = false;
            const double threshold = parser.value(shotThresholdOption).trimmed().toDouble(&ok);
            if (!ok || !(threshold >= MinShotThreshold && threshold <= 100.0)) {
                errorMessage = tr("Invalid value for --shot-threshold: \"%1\" (expected a number from %2 to 100)")
                                   .arg(parser.value(shotThresholdOption))
                                   .arg(MinShotThreshold);
                return CommandLineResult::Error;
            }
            config->setShotThreshold(threshold);
        }
        if (parser.isSet(minShotOption)) {
            if (!number(minShotOption, MaxMilliseconds, &value))
                return CommandLineResult::Error;
            config->setMinShotMilliseconds(int(value));
        }
        if (parser.isSet(shotListOption)) {
            const QString list = parser.value(shotListOption);
            const QString refusal = refusalToWrite(list, positional.value(0), tr("the shot list"));
            const QFileInfo folder(QFileInfo(list).absolutePath());
            if (!refusal.isEmpty() || !folder.isDir() || !folder.isWritable()) {
                errorMessage = refusal.isEmpty()
                    ? tr("Cannot write the shot list: %1").arg(QDir::toNativeSeparators(list)) : refusal;
                return CommandLineResult::Error;
            }
            config->setShotListPath(QFileInfo(parser.value(shotListOption)).absoluteFilePath());
        }
    }
    config->setSkipBlank(parser.isSet(skipBlankOption));
    if (parser.isSet(sharpestOption)) {
        if (!readCount(parser.value(sharpestOption), MaxSharpest, &value) || value < 1) {
            errorMessage = tr("Invalid value for --sharpest: \"%1\" (expected a whole number from 1 to %2)")
                               .arg(parser.value(sharpestOption))
                               .arg(MaxSharpest);
            return CommandLineResult::Error;
        }
        config->setSharpestMilliseconds(int(value));
    }

    int decoders = 0;
    if (parser.isSet(threadsOption)) {
        if (!readCount(parser.value(threadsOption), MaxDecoders, &value) || value < 1) {
            errorMessage = tr("Invalid value for --threads: \"%1\" (expected a whole number from 1 to %2)")
                               .arg(parser.value(threadsOption))
                               .arg(MaxDecoders);
            return CommandLineResult::Error;
        }
        decoders = int(value);
    }
    qint64 memory = DefaultDecoderMemory;
    if (parser.isSet(memoryOption)) {
        if (!readCount(parser.value(memoryOption), MaxDecoderMemory, &memory) || memory < MinDecoderMemory) {
            errorMessage = tr("Invalid value for --memory: \"%1\" (expected a whole number of MB from %2 to %3)")
                               .arg(parser.value(memoryOption))
                               .arg(MinDecoderMemory)
                               .arg(MaxDecoderMemory);
            return CommandLineResult::Error;
        }
    }

    ImageProfile *imageProfile = config->imageProfile();
    for (const QCommandLineOption *option : { &heightOption, &widthOption }) {
        if (!parser.isSet(*option))
            continue;
        if (!readCount(parser.value(*option), 65535, &value) || value < 1) {
            errorMessage = tr("Invalid value for --%1: \"%2\" (expected 1 to 65535 pixels)")
                               .arg(option->names().constLast(), parser.value(*option));
            return CommandLineResult::Error;
        }
        if (option == &heightOption)
            imageProfile->setImageHeight(int(value));
        else
            imageProfile->setImageWidth(int(value));
    }
    if (parser.isSet(aspectOption))
        imageProfile->setMaintainAspectRatio(true);
    if (parser.isSet(qualityOption)) {
        if (!readCount(parser.value(qualityOption), 100, &value) || value < 1) {
            errorMessage = tr("Invalid value for --quality: \"%1\" (expected a whole number from 1 to 100)")
                               .arg(parser.value(qualityOption));
            return CommandLineResult::Error;
        }
        imageProfile->setImageQuality(int(value));
    }
    config->setKeyFramesOnly(parser.isSet(fastOption));

    FileNameProfile *fileNameProfile = config->fileNameProfile();
    for (const QCommandLineOption *option : { &prefixOption, &suffixOption, &nameOption }) {
        if (parser.isSet(*option) && !isNamePart(parser.value(*option))) {
            errorMessage = tr("Invalid value for --%1: \"%2\" (a name, not a path)")
                               .arg(option->names().constLast(), parser.value(*option));
            return CommandLineResult::Error;
        }
    }
    if (parser.isSet(prefixOption))
        fileNameProfile->setFileOutputPrefix(parser.value(prefixOption));
    if (parser.isSet(suffixOption))
        fileNameProfile->setFileOutputSuffix(parser.value(suffixOption));
    if (parser.isSet(nameOption))
        fileNameProfile->setFileBaseName(parser.value(nameOption));
    if (parser.isSet(typeOption)) {
        const QString type = parser.value(typeOption);
        const QStringList types = writableTypes();
        if (!types.contains(type, Qt::CaseInsensitive)) {
            errorMessage = tr("Unsupported file type: \"%1\" (use %2 or %3)")
                               .arg(type, types.mid(0, types.size() - 1).join(QStringLiteral(", ")), types.constLast());
            return CommandLineResult::Error;
        }
        fileNameProfile->setFileOutputType(type);
    }
    if (parser.isSet(counterOption)) {
        // START or START,DIGITS: the first counter value, and how many digits to pad it to.
        const QStringList parts = parser.value(counterOption).split(QLatin1Char(','));
        qint64 start = 0;
        qint64 digits = 0;
        const bool valid = parts.size() <= 2 && readCount(parts.at(0), INT_MAX, &start)
            && (parts.size() == 1 || (readCount(parts.at(1), 10, &digits) && digits >= 1));
        if (!valid) {
            errorMessage = tr("Invalid value for --filecounter: \"%1\" (expected START or START,DIGITS, "
                              "such as 1 or 1,3)").arg(parser.value(counterOption));
            return CommandLineResult::Error;
        }
        config->setFileCounterStart(int(start));
        if (parts.size() == 2) {
            fileNameProfile->setFileOutputCounterPadZeros(true);
            fileNameProfile->setCounterDigits(int(digits));
        }
    }
    if (parser.isSet(nameTimeOption)) {
        fileNameProfile->setFileOutputTime(parser.isSet(counterOption) ? FileNameProfile::TimeBesideCounter
                                                                       : FileNameProfile::TimeInPlaceOfCounter);
    }

    const QFileInfo outputFolder(config->outputFolder().absolutePath());
    if (!outputFolder.isWritable()) {
        errorMessage = tr("Output folder is not writable: %1").arg(QDir::toNativeSeparators(outputFolder.filePath()));
        return CommandLineResult::Error;
    }

    if (parser.isSet(sheetOption)) {
        ContactSheet::Layout layout = config->sheetLayout();
        const QRegularExpressionMatch grid = SheetGrid.match(parser.value(sheetOption));
        layout.columns = grid.hasMatch() ? grid.captured(1).toInt() : 0;
        layout.rows = grid.hasMatch() ? grid.captured(2).toInt() : 0;
        if (!grid.hasMatch() || layout.columns < 1 || layout.columns > ContactSheet::MaxColumns || layout.rows < 1
            || layout.rows > ContactSheet::MaxRows) {
            errorMessage = tr("Invalid value for --sheet: \"%1\" (expected COLSxROWS, such as 4x4, with 1 to %2 columns "
                              "and 1 to %3 rows)")
                               .arg(parser.value(sheetOption))
                               .arg(ContactSheet::MaxColumns)
                               .arg(ContactSheet::MaxRows);
            return CommandLineResult::Error;
        }
        if (parser.isSet(sheetWidthOption)) {
            if (!readCount(parser.value(sheetWidthOption), ContactSheet::MaxWidth, &value)
                || value < ContactSheet::MinWidth) {
                errorMessage = tr("Invalid value for --sheet-width: \"%1\" (expected %2 to %3 pixels)")
                                   .arg(parser.value(sheetWidthOption))
                                   .arg(ContactSheet::MinWidth)
                                   .arg(ContactSheet::MaxWidth);
                return CommandLineResult::Error;
            }
            layout.width = int(value);
        }
        // Checked for a 16:9 video here; the job checks again with the video's own shape.
        const QString unfit = ContactSheet::layoutError(layout, QSize());
        if (!unfit.isEmpty()) {
            errorMessage = unfit;
            return CommandLineResult::Error;
        }
        config->setContactSheet(true);
        config->setSheetLayout(layout);
    }

    // Made only once every check has passed: a refused job adds nothing to it.
    if (parser.isSet(manifestOption)) {
        const QString manifestPath = parser.value(manifestOption);
        if (isSameFile(manifestPath, config->source())) {
            errorMessage = tr("Will not write the manifest to %1: it is the video to process")
                               .arg(QDir::toNativeSeparators(manifestPath));
            return CommandLineResult::Error;
        }
        m_manifest = std::make_unique<Manifest>(manifestPath);
        if (!m_manifest->open()) {
            errorMessage = m_manifest->error();
            return CommandLineResult::Error;
        }
    }

    m_worker = new BatchWorker(this);
    m_worker->setConfig(config);
    m_worker->setManifest(m_manifest.get());
    m_worker->setDecoderThreads(decoders);
    m_worker->setDecoderMemoryBudget(memory << 20);
    m_worker->watchInterruptionFlag(&stopSignal);
    handleStopSignals();
    connect(m_worker, &BatchWorker::finished, this,
            [this](BatchWorker *, const BatchOutcome &outcome) { m_outcome = outcome; });
    connect(m_worker, &BatchWorker::statusUpdate, this,
            [this](BatchWorker *, const QString &text) { threadStatusUpdate(text); });
    if (isatty(STDERR_FILENO)) {
        connect(m_worker, &BatchWorker::progressUpdate, this,
                [this](BatchWorker *, float progress) { showProgress(progress); });
    }
    m_worker->run();
    if (m_progressShown)
        writeOut(stderr, QStringLiteral("\n"));
    return CommandLineResult::Ok;
}

// Why the file at path must not take what (the log, the shot list), or
// nothing when it may: an existing file is written to only when it reads as
// text and is not the video.
QString CommandLineProcessor::refusalToWrite(const QString &path, const QString &source, const QString &what)
{
    const QString shown = QDir::toNativeSeparators(path);
    struct stat target;
    if (::stat(QFile::encodeName(path).constData(), &target) != 0)
        return QString();
    struct stat video;
    if (!source.isEmpty() && ::stat(QFile::encodeName(source).constData(), &video) == 0
        && target.st_dev == video.st_dev && target.st_ino == video.st_ino) {
        return tr("Will not write %1 to %2: it is the video to process").arg(what, shown);
    }
    // Terminals, /dev/null and pipes take text as it is written.
    if (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode))
        return QString();
    if (!S_ISREG(target.st_mode))
        return tr("Will not write %1 to %2: it is not a file").arg(what, shown);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tr("Will not write %1 to %2: it cannot be read").arg(what, shown);
    if (file.read(LogCheckBytes).contains('\0'))
        return tr("Will not write %1 to %2: it is not a text file").arg(what, shown);
    return QString();
}

bool CommandLineProcessor::isSameFile(const QString &path, const QString &other)
{
    struct stat one;
    struct stat two;
    return !path.isEmpty() && !other.isEmpty() && ::stat(QFile::encodeName(path).constData(), &one) == 0
        && ::stat(QFile::encodeName(other).constData(), &two) == 0 && one.st_dev == two.st_dev
        && one.st_ino == two.st_ino;
}

void CommandLineProcessor::threadStatusUpdate(QString status)
{
    // The status line takes the place of the progress bar, which comes back with the next step.
    if (m_progressShown && isatty(STDOUT_FILENO))
        writeOut(stderr, QStringLiteral("\r\033[K"));
    writeOut(stdout, status + QLatin1Char('\n'));
    writeLog(status);
}

void CommandLineProcessor::writeLog(const QString &line)
{
    if (!m_log.isOpen())
        return;
    m_log.write((QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + line + QLatin1Char('\n'))
                    .toUtf8());
    m_log.flush();
}

void CommandLineProcessor::showProgress(float progress)
{
    const int percent = qBound(0, qRound(progress * 100), 100);
    const int filled = percent / 5;
    writeOut(stderr, QStringLiteral("\r[%1%2] %3%").arg(QString(filled, QLatin1Char('#')),
                                                         QString(20 - filled, QLatin1Char(' ')))
                         .arg(percent, 3));
    m_progressShown = true;
}

int CommandLineProcessor::exitStatus()
{
    const QString folder = QDir::toNativeSeparators(m_worker->config()->outputFolder().absolutePath());
    if (const int signal = stopSignal.load()) {
        threadStatusUpdate(tr("Interrupted: %1 images written to %2").arg(m_outcome.imagesSaved).arg(folder));
        return ExitInterrupted + signal;
    }
    if (m_outcome.openFailed)
        return ExitCannotOpenVideo;
    // The worker said why.
    if (m_outcome.blankVideo)
        return ExitNothingToCapture;
    if (m_outcome.framesRequested == 0) {
        threadStatusUpdate(tr("No images made: the trimmed video is empty"));
        return ExitNothingToCapture;
    }
    if (m_worker->config()->contactSheet()) {
        if (m_outcome.sheetsSaved == 0) {
            threadStatusUpdate(tr("No contact sheet written to %1").arg(folder));
            return m_outcome.saveErrors > 0 ? ExitImagesNotWritten : ExitFramesFailed;
        }
        threadStatusUpdate(tr("Contact sheet of %1 of %2 frames written to %3")
                               .arg(m_outcome.imagesSaved)
                               .arg(m_outcome.framesRequested)
                               .arg(folder));
        if (m_outcome.imagesSaved < m_outcome.framesRequested)
            return ExitFramesFailed;
        // The shot list could not be written.
        if (m_outcome.saveErrors > 0)
            return ExitImagesNotWritten;
        return m_outcome.manifestFailed ? ExitManifestNotWritten : ExitOk;
    }
    if (m_outcome.imagesSaved == m_outcome.framesRequested) {
        threadStatusUpdate(m_outcome.imagesSaved == 1 ? tr("1 image written to %1").arg(folder)
                                                     : tr("%1 images written to %2").arg(m_outcome.imagesSaved).arg(folder));
        // The shot list could not be written.
        if (m_outcome.saveErrors > 0)
            return ExitImagesNotWritten;
        return m_outcome.manifestFailed ? ExitManifestNotWritten : ExitOk;
    }
    threadStatusUpdate(tr("%1 of %2 images written to %3")
                           .arg(m_outcome.imagesSaved)
                           .arg(m_outcome.framesRequested)
                           .arg(folder));
    return m_outcome.saveErrors > 0 ? ExitImagesNotWritten : ExitFramesFailed;
}
