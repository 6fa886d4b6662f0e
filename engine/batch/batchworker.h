#pragma once

#include "batch/worker.h"
#include "media/videoframe.h"

#include <QImage>
#include <QString>

#include <atomic>

class BatchWorkerConfig;
class FrameFetcher;
class FrameGrabber;

// Turns one batch job into image files: works out the positions from the
// job's interval rule and skips, has them decoded ahead on several decoders
// at once (FrameFetcher), fits each frame to the job's image profile and
// saves it under the first free name.
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
    // The pause after each image but the job's last, 100 ms unless set;
    // decoding goes on during it. Before run().
    void setPauseAfterImage(int ms);

    void run() override;

    // What the last run achieved, for callers that report an outcome.
    bool openFailed() const { return m_openFailed; }
    int framesRequested() const { return m_framesRequested; }
    int imagesSaved() const { return m_imagesSaved; }
    int extractionErrors() const { return m_extractionErrors; }
    int saveErrors() const { return m_saveErrors; }

signals:
    void imageReady(BatchWorker *worker, QImage &image);
    void statusUpdate(BatchWorker *worker, QString text);
    void progressUpdate(BatchWorker *worker, float progress);

private slots:
    void frameExtracted(media::VideoFrame frame);
    void extractorError(QString message);

private:
    void capture();
    bool captureImages(qint64 images, bool lastOfJob);
    void progressStep();
    void stopWriting(const QString &reason);

    BatchWorkerConfig *m_config = nullptr;
    FrameGrabber *m_grabber;
    FrameFetcher *m_fetcher;
    int m_pauseAfterImage = 100;
    int m_imageIndex = 1;
    // Wider than the counter of the names, to see it pass the largest int.
    qint64 m_fileCounter = 1;
    float m_progress = 0.0f;
    int m_stepsTaken = 0;
    int m_stepCount = 0;

    // Written by run() and by the saving slot, which may be on different threads.
    std::atomic_bool m_openFailed { false };
    std::atomic_int m_framesRequested { 0 };
    std::atomic_int m_imagesSaved { 0 };
    std::atomic_int m_extractionErrors { 0 };
    std::atomic_int m_saveErrors { 0 };
    // Cleared by the saving slot when nothing more can be written.
    std::atomic_bool m_canWrite { true };
};
