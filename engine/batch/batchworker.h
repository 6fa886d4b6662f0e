#pragma once

#include "batch/batchoutcome.h"
#include "batch/worker.h"
#include "capture/framedetails.h"
#include "capture/videoinfo.h"
#include "imaging/contactsheet.h"
#include "imaging/imagewriter.h"
#include "media/videoframe.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <memory>

class BatchWorkerConfig;
class FrameFetcher;
class FrameGrabber;
class ShotRule;
class Manifest;

// Turns one batch job into image files: works out the positions from the
// job's interval rule and skips, has them decoded ahead on several decoders
// at once (FrameFetcher), fits each frame to the job's image profile and
// saves it under the first free name; or, for a contact sheet, draws the
// frames into one sheet and saves that.
//
// Threads: the worker, its grabber and its fetcher belong to the thread that
// created them. run() may execute on another thread (the batch thread); the
// frames then reach the saving slot queued, on the owning thread. The
// fetcher's decoders run on threads of their own while run() runs. Only
// requestInterruption() may be called from elsewhere while it runs.
class BatchWorker : public Worker
{
    Q_OBJECT

public:
    explicit BatchWorker(QObject *parent = nullptr);
    ~BatchWorker() override;

    // The job; not owned. Set before run().
    void setConfig(BatchWorkerConfig *config);
    BatchWorkerConfig *config() const { return m_config; }

    // Decoders of the job's positions, each with a thread, a demuxer and a
    // decoder of its own; 0 or less (the default): one per core. Before run().
    void setDecoderThreads(int count);
    // What the decoders may take together when their number is chosen
    // (1 GiB unless set). Before run().
    void setDecoderMemoryBudget(qint64 bytes);
    // The pause after each image, 100 ms unless set; decoding goes on
    // during it. Before run().
    void setPauseAfterImage(int ms);
    // The list that gets a row for each image written; not owned, none
    // unless set. Used on the thread the worker belongs to. Before run().
    void setManifest(Manifest *manifest) { m_manifest = manifest; }
    // Keeps a finished contact sheet instead of writing it: sheetFinished()
    // hands it over, watermarked as it would be written. Before run().
    void setSheetKept(bool kept) { m_sheetKept = kept; }

    void run() override;

    // What the run achieved so far; finished() hands over the final one.
    BatchOutcome outcome() const;

signals:
    void imageReady(BatchWorker *worker, QImage &image);
    void statusUpdate(BatchWorker *worker, QString text);
    void progressUpdate(BatchWorker *worker, float progress);
    // A decoded frame on its way from run() to the saving slot, with where
    // it came from.
    void frameReady(media::VideoFrame frame, FrameDetails details, QPrivateSignal);
    // run() has handed out the last frame of a contact sheet.
    void framesDone(QPrivateSignal);
    // The contact sheet so far, after each of its frames.
    void sheetUpdated(BatchWorker *worker, const QImage &sheet);
    // A contact sheet finished and kept (setSheetKept()).
    void sheetFinished(BatchWorker *worker, const QImage &sheet);
    // Once per run, after its last image was handled, on the thread the
    // worker belongs to.
    void finished(BatchWorker *worker, const BatchOutcome &outcome);

private slots:
    void frameExtracted(media::VideoFrame frame, FrameDetails details);
    void extractorError(QString message);
    void finishSheet();

private:
    void capture();
    bool planShots(qint64 fromMs, qint64 toMs, QVector<qint64> *positions);
    bool checkNotBlank(qint64 fromMs, qint64 toMs);
    void chooseFrames(qint64 fromMs, qint64 toMs);
    QString saveImage(const media::VideoFrame &frame, const FrameDetails &details);
    void shotImageHandled(const QString &name);
    bool captureImages(const QVector<qint64> &asked);
    void sendFrame(const media::VideoFrame &frame);
    ImageWriter::Result writeImage(const QImage &image, const FrameDetails &details);
    bool accepted(const ImageWriter::Result &result);
    void announce(const QString &path, QImage &image, const FrameDetails &details);
    bool sheetFits();
    QString addToSheet(const media::VideoFrame &frame, const FrameDetails &details);
    void progressStep();
    void stopWriting(const QString &reason);

    BatchWorkerConfig *m_config = nullptr;
    FrameGrabber *m_grabber;
    FrameFetcher *m_fetcher;
    Manifest *m_manifest = nullptr;
    // Written by run() before it sends the first frame; read by the saving
    // slot after that.
    VideoInfo m_video;
    ContactSheet::Layout m_sheetLayout;
    qint64 m_askedPosition = -1;
    int m_pauseAfterImage = 100;
    bool m_sheetKept = false;
    // The contact sheet in the making; used by the saving slot only.
    std::unique_ptr<ContactSheet> m_sheet;
    int m_imageIndex = 1;
    // Wider than the counter of the names, to see it pass the largest int.
    qint64 m_fileCounter = 1;
    float m_progress = 0.0f;
    // Where the images' progress starts: after the analysis of a shot rule.
    float m_progressBase = 0.01f;
    int m_stepsTaken = 0;
    int m_stepCount = 0;
    // The shot rule of the running job; none for the other rules.
    std::unique_ptr<ShotRule> m_shotRule;

    // Written by run() and by the saving slot, which may be on different threads.
    std::atomic_bool m_openFailed { false };
    std::atomic_bool m_blankVideo { false };
    std::atomic_int m_framesRequested { 0 };
    std::atomic_int m_imagesSaved { 0 };
    std::atomic_int m_extractionErrors { 0 };
    std::atomic_int m_saveErrors { 0 };
    std::atomic_bool m_manifestFailed { false };
    std::atomic_int m_sheetsSaved { 0 };
    // Cleared by the saving slot when nothing more can be written.
    std::atomic_bool m_canWrite { true };
};
