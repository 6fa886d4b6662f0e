#include "batchworker.h"

#include "batch/batchworkerconfig.h"
#include "capture/framefetcher.h"
#include "capture/framegrabber.h"
#include "imaging/imageprocessingmanager.h"
#include "imaging/imagewriter.h"
#include "profiles/imageprofile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>


Q_LOGGING_CATEGORY(lcBatch, "tindra.batch")

namespace {

// Positions worked out at a time: a tiny interval on a long video must not
// list millions of them at once.
constexpr int PositionsAhead = 1000;

}

BatchWorker::BatchWorker(QObject *parent)
    : Worker(parent)
    , m_grabber(new FrameGrabber(this))
    , m_fetcher(new FrameFetcher(this))
{
    // The grabber opens the video and takes the positions as it would
    // extract them; the fetcher's decoders extract them, the first of them
    // through this grabber, which has the video open already.
    connect(m_fetcher, SIGNAL(frameExtracted(media::VideoFrame)), this, SLOT(frameExtracted(media::VideoFrame)));
    connect(m_fetcher, SIGNAL(error(QString)), this, SLOT(extractorError(QString)));
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
    m_framesRequested = 0;
    m_imagesSaved = 0;
    m_extractionErrors = 0;
    m_saveErrors = 0;
    capture();
    m_fetcher->stop();
    m_grabber->disconnect();
    m_grabber->abort();
}

/*
 * The schedule. Every N ms: positions skipFront, skipFront + N, ... while
 * before the end skip. N images: spread by (trimmed length / N - 1 ms) from
 * skipFront. Single shot: at the front, the middle or the back. Two progress
 * steps per image: one before and one after its extraction.
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
    if (duration == 0) {
        m_openFailed = true;
        if (!isInterruptionRequested())
            emit statusUpdate(this, tr("Could not open file %1").arg(m_config->source()));
        return;
    }

    // Said first, so that the output and the log show which frames the images are.
    m_fetcher->setKeyFramesOnly(m_config->keyFramesOnly());
    if (m_config->keyFramesOnly() && !isInterruptionRequested())
        emit statusUpdate(this, tr("Key-frame mode: each image is the key frame nearest to its position"));

    const qint64 skipFront = m_config->skipFront();
    const qint64 skipBack = m_config->skipBack();
    const qint64 span = duration - skipFront - skipBack;
    qint64 step = -1;
    int stepCount = 0;
    if (m_config->intervalType() == BatchWorkerConfig::ImageCount && m_config->intervalImages() <= 1) {
        qCDebug(lcBatch) << "Batch m_intervalImages was " << m_config->intervalImages();
        m_config->setIntervalImages(10);
        m_config->setIntervalType(BatchWorkerConfig::SingleImage);
    }
    const int rule = m_config->intervalType();
    if (rule == BatchWorkerConfig::EveryInterval) {
        if (m_config->intervalMilliseconds() < 1)
            m_config->setIntervalMilliseconds(1000);
        step = m_config->intervalMilliseconds();
        stepCount = int(float(span) / float(step) + 1.0f);
    } else if (rule == BatchWorkerConfig::ImageCount) {
        step = span / m_config->intervalImages() - 1;
        stepCount = m_config->intervalImages();
    }
    qCDebug(lcBatch) << "skipAmount: " << step;
    // Positions closer than the grabber's tolerance could be answered by one
    // frame twice (a key frame within the tolerance of both). Below half the
    // step, every position has frames of its own.
    if (step >= 0 && step < m_grabber->precision())
        m_grabber->setPrecision(int(qMax<qint64>(0, (step - 1) / 2)));

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
    bool lastStretch = false;
    while (!lastStretch) {
        QVector<FrameFetcher::Position> positions;
        qint64 images = 0;
        lastStretch = span <= 0;
        while (!lastStretch && positions.size() < PositionsAhead) {
            lastStretch = !((rule == BatchWorkerConfig::EveryInterval && pos < duration - skipBack)
                            || (rule == BatchWorkerConfig::ImageCount && image <= m_config->intervalImages())
                            || (singleShot && image <= 1));
            if (lastStretch)
                break;
            m_grabber->setPosition(pos);
            if (!positions.isEmpty() && positions.constLast().ms == m_grabber->position())
                ++positions.last().images;
            else
                positions.append({ m_grabber->position(), 1 });
            ++images;
            ++image;
            pos += step;
        }
        if (images == 0)
            return;
        m_fetcher->start(m_config->source(), positions, m_grabber->precision(), m_grabber);
        if (!captureImages(images, lastStretch))
            return;
    }
}

// Hands the images of the fetcher's positions to the saving slot in order;
// false when the job stops early. The pause gives way between images: after
// the job's last one it would only delay the end.
bool BatchWorker::captureImages(qint64 images, bool lastOfJob)
{
    for (qint64 i = 0; i < images; ++i) {
        if (isInterruptionRequested() || !m_canWrite)
            return false;
        qCDebug(lcBatch) << "Frame";
        progressStep();
        if (isInterruptionRequested())
            return false;
        ++m_framesRequested;
        m_fetcher->extractNext();
        progressStep();
        ++m_imageIndex;
        if (isInterruptionRequested())
            return false;
        if (lastOfJob && i == images - 1)
            break;
        QThread::msleep(m_pauseAfterImage);
        QCoreApplication::processEvents();
    }
    return true;
}

void BatchWorker::progressStep()
{
    ++m_stepsTaken;
    if (!isInterruptionRequested()) {
        m_progress = float(m_stepsTaken) / float(m_stepCount) * (1.0f - 0.01f) + 0.01f;
        emit progressUpdate(this, m_progress);
    }
    qCDebug(lcBatch) << "Steps taken: " << m_stepsTaken << " stepCount: " << m_stepCount;
}

void BatchWorker::frameExtracted(media::VideoFrame frame)
{
    if (isInterruptionRequested() || !m_canWrite)
        return;
    const QImage image = frame.toImage(QImage::Format_ARGB32);
    QImage processed = ImageProcessingManager::instance()->processImage(image, m_config->imageProfile(), nullptr);

    // The single-shot name when it is free, else the next counter name that
    // is; a name another program takes meanwhile is passed over.
    const QDir folder = m_config->outputFolder();
    ImageWriter::Result result;
    result.outcome = ImageWriter::Outcome::NameTaken;
    if (m_config->intervalType() == BatchWorkerConfig::SingleImage)
        result = ImageWriter::write(processed, folder.filePath(m_config->fileNameFor(-1)), ImageWriter::Mode::CreateNew);
    if (result.outcome == ImageWriter::Outcome::NameTaken) {
        result = ImageWriter::writeUnderFreeName(
            processed, folder, [this](int counter) { return m_config->fileNameFor(counter); }, &m_fileCounter);
    }

    switch (result.outcome) {
    case ImageWriter::Outcome::Written:
        break;
    case ImageWriter::Outcome::NameTaken:
    case ImageWriter::Outcome::Failed:
        ++m_saveErrors;
        if (!isInterruptionRequested())
            emit statusUpdate(this, tr("Could not write image %1: %2")
                                        .arg(QDir::toNativeSeparators(result.path), result.reason));
        return;
    case ImageWriter::Outcome::NoRoom:
        stopWriting(tr("Could not write image %1: %2. No more images are written.")
                        .arg(QDir::toNativeSeparators(result.path), result.reason));
        return;
    case ImageWriter::Outcome::NoNameLeft:
        stopWriting(result.reason);
        return;
    }
    ++m_imagesSaved;
    qCDebug(lcBatch) << "Saved image " << result.path;
    if (isInterruptionRequested())
        return;
    emit statusUpdate(this, QStringLiteral("Saving: ") + QFileInfo(result.path).fileName());
    emit imageReady(this, processed);
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
    if (!isInterruptionRequested())
        emit statusUpdate(this, QStringLiteral("Frame extraction error ") + message);
}
