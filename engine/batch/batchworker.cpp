#include "batchworker.h"
#include "batchlog.h"

#include "analysis/framechooser.h"
#include "batch/batchworkerconfig.h"
#include "batch/shotrule.h"
#include "batch/manifest.h"
#include "capture/framefetcher.h"
#include "capture/framegrabber.h"
#include "imaging/contactsheet.h"
#include "imaging/imageprocessingmanager.h"
#include "imaging/imagewriter.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace {

// Positions worked out at a time: a tiny interval on a long video must not
// list millions of them at once.
constexpr int PositionsAhead = 1000;
// The share of a shot rule's progress that its analysis takes.
constexpr float AnalysisShare = 0.8f;

}

BatchWorker::BatchWorker(QObject *parent)
    : Worker(parent)
    , m_grabber(new FrameGrabber(this))
    , m_fetcher(new FrameFetcher(this))
{
    qRegisterMetaType<FrameDetails>();
    qRegisterMetaType<BatchOutcome>();
    // The grabber opens the video and takes the positions as it would
    // extract them; the fetcher's decoders extract them, the first of them
    // through this grabber, which has the video open already. Each frame gets
    // its details on run()'s thread, which knows the position asked for, and
    // travels with them to the saving slot.
    connect(m_fetcher, &FrameFetcher::frameExtracted, this, &BatchWorker::sendFrame, Qt::DirectConnection);
    connect(this, &BatchWorker::frameReady, this, &BatchWorker::frameExtracted);
    // Queued behind the sheet's frames where they are.
    connect(this, &BatchWorker::framesDone, this, &BatchWorker::finishSheet);
    connect(m_fetcher, SIGNAL(error(QString)), this, SLOT(extractorError(QString)));
    connect(m_fetcher, &FrameFetcher::note, this, [this](const QString &text) {
        if (!isInterruptionRequested())
            emit statusUpdate(this, text);
    });
    m_fetcher->setStopCheck([this] { return isInterruptionRequested(); });
}

BatchWorker::~BatchWorker()
{
    m_grabber->disconnect(this);
    m_grabber->deleteLater();
}

void BatchWorker::setConfig(BatchWorkerConfig *config)
{
    m_config = config;
}

void BatchWorker::setDecoderThreads(int count)
{
    m_fetcher->setDecoderCount(count);
}

void BatchWorker::setDecoderMemoryBudget(qint64 bytes)
{
    m_fetcher->setMemoryBudget(bytes);
}

void BatchWorker::setPauseAfterImage(int ms)
{
    m_pauseAfterImage = qMax(0, ms);
}

void BatchWorker::run()
{
    qCDebug(lcBatch) << "BatchWorker::run";
    m_openFailed = false;
    m_blankVideo = false;
    m_shotRule.reset();
    m_progressBase = 0.01f;
    m_framesRequested = 0;
    m_imagesSaved = 0;
    m_extractionErrors = 0;
    m_saveErrors = 0;
    m_manifestFailed = false;
    m_sheetsSaved = 0;
    capture();
    m_fetcher->stop();
    if (m_config->contactSheet() && m_framesRequested > 0 && !isInterruptionRequested())
        emit framesDone(QPrivateSignal());
    m_grabber->disconnect();
    m_grabber->abort();
    // Behind the frames and the sheet still queued for the saving slot.
    QMetaObject::invokeMethod(this, [this] { emit finished(this, outcome()); });
}

BatchOutcome BatchWorker::outcome() const
{
    BatchOutcome outcome;
    outcome.openFailed = m_openFailed;
    outcome.blankVideo = m_blankVideo;
    outcome.framesRequested = m_framesRequested;
    outcome.imagesSaved = m_imagesSaved;
    outcome.extractionErrors = m_extractionErrors;
    outcome.saveErrors = m_saveErrors;
    outcome.sheetsSaved = m_sheetsSaved;
    outcome.manifestFailed = m_manifestFailed;
    return outcome;
}

/*
 * The schedule. Every N ms: positions skipFront, skipFront + N, ... while
 * before the end skip. N images: spread by (trimmed length / N - 1 ms) from
 * skipFront. Single shot: at the front, the middle or the back. A contact
 * sheet takes its columns x rows frames as that many images, or one per
 * shot under the shot rule. Two progress steps per image: one before and
 * one after its extraction.
 */
void BatchWorker::capture()
{
    qCDebug(lcBatch) << "Before progress";
    m_progress = 0.0f;
    if (!isInterruptionRequested())
        emit progressUpdate(this, 0.0f);
    qCDebug(lcBatch) << "Worker loading file";
    m_grabber->setSource(m_config->source());
    m_progress = 0.01f;
    if (!isInterruptionRequested())
        emit progressUpdate(this, 0.01f);
    if (isInterruptionRequested())
        return;

    const qint64 duration = m_grabber->duration();
    if (duration != 0)
        m_video.load(m_config->source());
    if (duration == 0) {
        m_openFailed = true;
        if (!isInterruptionRequested())
            emit statusUpdate(this, tr("Could not open file %1").arg(m_config->source()));
        return;
    }

    const bool sheet = m_config->contactSheet();
    m_sheetLayout = m_config->sheetLayout();
    if (sheet && !sheetFits())
        return;

    // Said first, so that the output and the log show which frames the images are.
    m_fetcher->setKeyFramesOnly(m_config->keyFramesOnly());
    // Key frames are taken as they are: skipping blank frames and seeking the
    // sharpest need the frames around each position.
    const bool choosing = m_config->skipBlank() || m_config->sharpestMilliseconds() > 0;
    if (m_config->keyFramesOnly() && !isInterruptionRequested()) {
        emit statusUpdate(this, choosing ? tr("Key-frame mode: each image is the key frame nearest to its position "
                                              "(blank frames are not skipped, nor the sharpest frame sought)")
                                         : tr("Key-frame mode: each image is the key frame nearest to its position"));
    }

    const qint64 skipFront = m_config->skipFront();
    const qint64 skipBack = m_config->skipBack();
    const qint64 span = duration - skipFront - skipBack;
    qint64 step = -1;
    int stepCount = 0;
    if (!sheet && m_config->intervalType() == BatchWorkerConfig::ImageCount && m_config->intervalImages() <= 1) {
        qCDebug(lcBatch) << "Batch m_intervalImages was " << m_config->intervalImages();
        m_config->setIntervalImages(10);
        m_config->setIntervalType(BatchWorkerConfig::SingleImage);
    }
    const bool sheetOfShots = sheet && m_config->intervalType() == BatchWorkerConfig::Shots;
    const int rule = sheet && !sheetOfShots ? int(BatchWorkerConfig::ImageCount) : m_config->intervalType();
    const int imageCount = sheet ? m_sheetLayout.columns * m_sheetLayout.rows : m_config->intervalImages();
    if (rule == BatchWorkerConfig::EveryInterval) {
        if (m_config->intervalMilliseconds() < 1)
            m_config->setIntervalMilliseconds(1000);
        step = m_config->intervalMilliseconds();
        stepCount = int(float(span) / float(step) + 1.0f);
    } else if (rule == BatchWorkerConfig::ImageCount) {
        step = span / imageCount - 1;
        stepCount = imageCount;
    }
    qCDebug(lcBatch) << "skipAmount: " << step;
    // Positions closer than the grabber's tolerance could be answered by one
    // frame twice (a key frame within the tolerance of both). Below half the
    // step, every position has frames of its own.
    if (step >= 0 && step < m_grabber->precision())
        m_grabber->setPrecision(int(qMax<qint64>(0, (step - 1) / 2)));

    const bool shots = rule == BatchWorkerConfig::Shots;
    QVector<qint64> shotPositions;
    if (shots && span > 0) {
        if (!planShots(skipFront, duration - skipBack, &shotPositions))
            return;
        stepCount = shotPositions.size();
        m_grabber->setPrecision(0);
        // As many rows as the shots fill.
        if (sheetOfShots) {
            m_sheetLayout.rows = qMax(1, (stepCount + m_sheetLayout.columns - 1) / m_sheetLayout.columns);
            if (!sheetFits())
                return;
        }
    } else if (span > 0 && m_config->skipBlank() && !m_config->keyFramesOnly()
               && !checkNotBlank(skipFront, duration - skipBack)) {
        return;
    }
    chooseFrames(skipFront, duration - skipBack);

    const bool singleShot = rule == BatchWorkerConfig::SingleImage;
    qint64 pos = skipFront;
    if (singleShot) {
        if (m_config->intervalSingleShot() == BatchWorkerConfig::Back)
            pos = duration - skipBack;
        else if (m_config->intervalSingleShot() == BatchWorkerConfig::Middle)
            pos = span / 2;
        stepCount = 1;
    }
    if (pos < skipFront)
        pos = skipFront;
    if (pos >= duration - skipBack)
        pos = duration - skipBack;

    m_imageIndex = 1;
    m_fileCounter = m_config->fileCounterStart();
    m_canWrite = true;
    if (isInterruptionRequested())
        return;
    m_stepCount = stepCount * 2;
    m_stepsTaken = 0;

    // Skips that cover the video leave nothing to capture, whatever the rule:
    // images would land outside the skips or before the start of the video.
    // A rule of another value takes none either.
    //
    // The positions are worked out ahead, a stretch at a time, each as the
    // grabber takes it (it keeps its position when the next one lies within
    // its tolerance; images in a row that keep one share its frame), so that
    // the fetcher decodes them while images are saved and during the pauses.
    qint64 image = 1;
    for (;;) {
        QVector<FrameFetcher::Position> positions;
        QVector<qint64> asked;
        while (span > 0 && positions.size() < PositionsAhead) {
            const bool more = (rule == BatchWorkerConfig::EveryInterval && pos < duration - skipBack)
                || (rule == BatchWorkerConfig::ImageCount && image <= imageCount)
                || (singleShot && image <= 1) || (shots && image <= shotPositions.size());
            if (!more)
                break;
            if (shots)
                pos = shotPositions.at(int(image - 1));
            m_grabber->setPosition(pos);
            if (!positions.isEmpty() && positions.constLast().ms == m_grabber->position())
                ++positions.last().images;
            else
                positions.append({ m_grabber->position(), 1 });
            asked.append(pos);
            ++image;
            pos += step;
        }
        if (asked.isEmpty())
            return;
        m_fetcher->start(m_config->source(), positions, m_grabber->precision(), m_grabber);
        if (!captureImages(asked))
            return;
    }
}

// Hands the images of the fetcher's positions to the saving slot in order,
// one for each position asked for; false when the job stops early.
bool BatchWorker::captureImages(const QVector<qint64> &asked)
{
    for (const qint64 position : asked) {
        if (isInterruptionRequested() || !m_canWrite)
            return false;
        qCDebug(lcBatch) << "Frame";
        progressStep();
        if (isInterruptionRequested())
            return false;
        ++m_framesRequested;
        m_askedPosition = position;
        m_fetcher->extractNext();
        progressStep();
        ++m_imageIndex;
        if (isInterruptionRequested())
            return false;
        QThread::msleep(m_pauseAfterImage);
        QCoreApplication::processEvents();
    }
    return true;
}

/*
 * One image per shot: the analysis of the trimmed video comes first and
 * takes most of the progress; then the images are taken at the frames it
 * chose, exactly. With blank frames skipped, a video that is blank
 * throughout gives none.
 */
bool BatchWorker::planShots(qint64 fromMs, qint64 toMs, QVector<qint64> *positions)
{
    m_shotRule = std::make_unique<ShotRule>(*m_config);
    const auto progress = [this](float done) {
        m_progress = 0.01f + (AnalysisShare - 0.01f) * done;
        if (!isInterruptionRequested())
            emit progressUpdate(this, m_progress);
    };
    if (!m_shotRule->analyse(fromMs, toMs, progress, [this] { return isInterruptionRequested(); })) {
        if (!isInterruptionRequested()) {
            m_openFailed = true;
            emit statusUpdate(this, tr("Could not analyse %1: %2").arg(m_config->source(), m_shotRule->analysis().errorString()));
        }
        return false;
    }
    if (m_config->skipBlank() && m_shotRule->analysis().allBlank()) {
        m_blankVideo = true;
        emit statusUpdate(this, tr("No images made: every frame of the trimmed video is blank"));
        return false;
    }
    *positions = m_shotRule->positions();
    m_progressBase = AnalysisShare;
    emit statusUpdate(this, positions->size() == 1 ? tr("1 shot found") : tr("%1 shots found").arg(positions->size()));
    return true;
}

// With blank frames skipped: false, saying so, when every frame from fromMs
// to toMs is blank.
bool BatchWorker::checkNotBlank(qint64 fromMs, qint64 toMs)
{
    FrameChooser chooser(m_config->source(), { true, BatchWorkerConfig::BlankWindow, 0, fromMs, toMs });
    bool blank = false;
    QString error;
    if (!chooser.allBlank(&blank, &error) || !blank)
        return true;
    m_blankVideo = true;
    if (!isInterruptionRequested())
        emit statusUpdate(this, tr("No images made: every frame of the trimmed video is blank"));
    return false;
}

// Jobs that skip blank frames or take the sharpest have each decoder choose
// the frame near each position; key-frame jobs take the key frames as they are.
void BatchWorker::chooseFrames(qint64 fromMs, qint64 toMs)
{
    if (m_config->keyFramesOnly() || (!m_config->skipBlank() && m_config->sharpestMilliseconds() <= 0)) {
        m_fetcher->setChooserFactory(nullptr);
        return;
    }
    const FrameChooser::Settings settings { m_config->skipBlank(), BatchWorkerConfig::BlankWindow,
                                            qMax(0, m_config->sharpestMilliseconds()), fromMs, toMs };
    const QString source = m_config->source();
    m_fetcher->setChooserFactory([source, settings] { return std::make_unique<FrameChooser>(source, settings); });
}

void BatchWorker::progressStep()
{
    ++m_stepsTaken;
    if (!isInterruptionRequested()) {
        m_progress = float(m_stepsTaken) / float(m_stepCount) * (1.0f - m_progressBase) + m_progressBase;
        emit progressUpdate(this, m_progress);
    }
    qCDebug(lcBatch) << "Steps taken: " << m_stepsTaken << " stepCount: " << m_stepCount;
}

// On run()'s thread: the frame of the image m_imageIndex, asked for at
// m_askedPosition.
void BatchWorker::sendFrame(const media::VideoFrame &frame)
{
    FrameDetails details;
    details.videoPath = m_config->source();
    details.positionMs = m_askedPosition;
    details.timeMs = m_video.timeOf(frame.timeMs());
    details.frameNumber = m_video.frameNumberOf(frame.timeMs());
    details.recorded = m_video.recorded();
    details.counter = m_imageIndex;
    if (m_shotRule)
        details.shot = m_imageIndex;
    emit frameReady(frame, details, QPrivateSignal());
}

void BatchWorker::frameExtracted(media::VideoFrame frame, FrameDetails details)
{
    if (isInterruptionRequested() || !m_canWrite)
        return;
    const QString name = m_config->contactSheet() ? addToSheet(frame, details) : saveImage(frame, details);
    if (m_shotRule)
        shotImageHandled(name);
}

// The name the frame's image was written under; empty when it was not.
QString BatchWorker::saveImage(const media::VideoFrame &frame, const FrameDetails &details)
{
    const QImage image = frame.toImage(QImage::Format_ARGB32);
    QImage processed = ImageProcessingManager::instance()->processImage(image, m_config->imageProfile(), nullptr,
                                                                       details);
    const ImageWriter::Result result = writeImage(processed, details);
    if (!accepted(result))
        return QString();
    ++m_imagesSaved;
    announce(result.path, processed, details);
    return QFileInfo(result.path).fileName();
}

// Whether result is an image written; says why not, and stops the job where
// nothing more can be written.
bool BatchWorker::accepted(const ImageWriter::Result &result)
{
    switch (result.outcome) {
    case ImageWriter::Outcome::Written:
        return true;
    case ImageWriter::Outcome::NameTaken:
    case ImageWriter::Outcome::Failed:
        ++m_saveErrors;
        if (!isInterruptionRequested())
            emit statusUpdate(this, tr("Could not write image %1: %2")
                                        .arg(QDir::toNativeSeparators(result.path), result.reason));
        return false;
    case ImageWriter::Outcome::NoRoom:
        stopWriting(tr("Could not write image %1: %2. No more images are written.")
                        .arg(QDir::toNativeSeparators(result.path), result.reason));
        return false;
    case ImageWriter::Outcome::NoNameLeft:
        stopWriting(result.reason);
        return false;
    }
    return false;
}

// An image written: its row in the manifest, its name, and the image itself
// for whoever shows it.
void BatchWorker::announce(const QString &path, QImage &image, const FrameDetails &details)
{
    qCDebug(lcBatch) << "Saved image " << path;
    // After the first row that cannot be written the list is left as it is.
    const bool listFailed = m_manifest && !m_manifestFailed && !m_manifest->append(path, image.size(), details);
    if (listFailed)
        m_manifestFailed = true;
    if (isInterruptionRequested())
        return;
    emit statusUpdate(this, QStringLiteral("Saving: ") + QFileInfo(path).fileName());
    if (listFailed)
        emit statusUpdate(this, tr("%1. No more images are listed.").arg(m_manifest->error()));
    emit imageReady(this, image);
}

// On run()'s thread: whether a sheet of m_sheetLayout fits the video; says
// why not.
bool BatchWorker::sheetFits()
{
    const QString unfit = ContactSheet::layoutError(m_sheetLayout, m_video.displaySize());
    if (unfit.isEmpty())
        return true;
    ++m_saveErrors;
    if (!isInterruptionRequested())
        emit statusUpdate(this, unfit);
    return false;
}

/*
 * A contact sheet is made on the thread that saves images (painting text
 * belongs there), when its first frame arrives: each frame is reduced into
 * its cell at once, so no frame is kept at full size. The sheet so far goes
 * to whoever shows it; imageReady() is for the sheet written. Returns no
 * name: the frame is in no file of its own.
 */
QString BatchWorker::addToSheet(const media::VideoFrame &frame, const FrameDetails &details)
{
    if (!m_sheet)
        m_sheet = std::make_unique<ContactSheet>(m_sheetLayout, m_video);
    m_sheet->addFrame(details.counter - 1, frame.toImage(QImage::Format_ARGB32), details.timeMs);
    ++m_imagesSaved;
    if (!isInterruptionRequested())
        emit sheetUpdated(this, m_sheet->image());
    return QString();
}

// After the sheet's last frame: stamps the image profile's watermark on the
// whole sheet and writes it under the sheet's name (with a counter when that
// is taken), or hands it over when it is kept.
void BatchWorker::finishSheet()
{
    const std::unique_ptr<ContactSheet> sheet = std::move(m_sheet);
    if (isInterruptionRequested() || !m_canWrite)
        return;
    if (!sheet) {
        emit statusUpdate(this, tr("No contact sheet: none of its frames could be extracted"));
        return;
    }
    FrameDetails details;
    details.videoPath = m_config->source();
    details.recorded = m_video.recorded();
    QImage image = ImageProcessingManager::instance()->stampWatermark(sheet->image(), m_config->imageProfile(), details);
    if (m_sheetKept) {
        emit sheetFinished(this, image);
        return;
    }

    const QDir folder = m_config->outputFolder();
    const int quality = m_config->imageProfile()->imageQuality();
    ImageWriter::Result result = ImageWriter::write(image, folder.filePath(m_config->sheetFileNameFor(-1)),
                                                    ImageWriter::Mode::CreateNew, quality);
    if (result.outcome == ImageWriter::Outcome::NameTaken) {
        result = ImageWriter::writeUnderFreeName(
            image, folder, [this](int number) { return m_config->sheetFileNameFor(number); }, &m_fileCounter, quality);
    }
    if (!accepted(result))
        return;
    ++m_sheetsSaved;
    announce(result.path, image, details);
}

// Each shot's image in turn; after the last one the shot list, if asked for.
void BatchWorker::shotImageHandled(const QString &name)
{
    const QString path = m_config->shotListPath();
    if (!m_shotRule->imageHandled(name) || path.isEmpty() || isInterruptionRequested())
        return;
    QString error;
    if (m_shotRule->writeList(path, &error)) {
        emit statusUpdate(this, tr("Shot list written to %1").arg(QDir::toNativeSeparators(path)));
    } else {
        ++m_saveErrors;
        emit statusUpdate(this, tr("Could not write the shot list %1: %2").arg(QDir::toNativeSeparators(path), error));
    }
}

// The single-shot name when it is free, else the next counter name that is;
// a name another program takes meanwhile is passed over. Names with the time
// in place of the counter count only the images of one time.
ImageWriter::Result BatchWorker::writeImage(const QImage &image, const FrameDetails &details)
{
    const QDir folder = m_config->outputFolder();
    const qint64 time = details.timeMs;
    const int quality = m_config->imageProfile()->imageQuality();
    ImageWriter::Result result;
    result.outcome = ImageWriter::Outcome::NameTaken;
    if (m_config->intervalType() == BatchWorkerConfig::SingleImage) {
        result = ImageWriter::write(image, folder.filePath(m_config->fileNameFor(-1, time)),
                                    ImageWriter::Mode::CreateNew, quality);
    }
    if (result.outcome != ImageWriter::Outcome::NameTaken)
        return result;
    qint64 sameTime = 1;
    qint64 *counter = m_config->fileNameProfile()->timeInPlaceOfCounter() && time >= 0 ? &sameTime : &m_fileCounter;
    return ImageWriter::writeUnderFreeName(
        image, folder, [this, time](int number) { return m_config->fileNameFor(number, time); }, counter, quality);
}

// Nothing more can be written (no room, no name left): this image is not,
// and the job takes no more (in the desktop program a few may still be on
// their way; they are not written either).
void BatchWorker::stopWriting(const QString &reason)
{
    ++m_saveErrors;
    if (m_canWrite.exchange(false) && !isInterruptionRequested())
        emit statusUpdate(this, reason);
}

void BatchWorker::extractorError(QString message)
{
    ++m_extractionErrors;
    if (isInterruptionRequested())
        return;
    emit statusUpdate(this, QStringLiteral("Frame extraction error ") + message);
    if (m_shotRule)
        shotImageHandled(QString());
}
