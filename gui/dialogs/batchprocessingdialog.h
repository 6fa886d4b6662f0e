#pragma once

#include "batch/batchoutcome.h"

#include <QDialog>
#include <QHash>
#include <QImage>
#include <QString>
#include <QVector>

#include <memory>

class BatchThread;
class BatchWorker;
class BatchWorkerConfig;
class Manifest;

namespace Ui {
class BatchProcessingDialog;
}

// Runs one batch and shows how it goes: the video being worked on, the latest
// status line (every line is also kept in the log box), a bar for the current
// video and one for the whole batch, and the last image written. It owns the
// batch thread and makes one worker per job. The batch can be cancelled, after
// a question, but the dialog never closes while its thread runs: the button,
// the window's close control and Escape all ask the same question instead.
//
// Threads: lives on the user-interface thread. The thread's signals arrive
// queued; the workers' signals arrive queued (from their run on the batch
// thread) or direct (from their saving slot on this thread).
class BatchProcessingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BatchProcessingDialog(QWidget *parent = nullptr);
    ~BatchProcessingDialog() override;

    // Each job's images get a row in the list of this name in the job's
    // output folder (jobs writing into one folder share it). Before addConfig().
    void setImageListName(const QString &fileName) { m_imageListName = fileName; }
    // One more job for the batch; only before exec(). The job is not owned.
    void addConfig(BatchWorkerConfig *config);

public slots:
    // Shows the dialog, starts the thread and returns once the dialog is closed.
    int exec() override;
    // Escape: the same question as the close control while the thread runs.
    void reject() override;

    void doneButtonClicked();
    void workerStatusUpdate(BatchWorker *worker, QString text);
    void workerImageReady(BatchWorker *worker, QImage &image);
    void threadProgressUpdate(float overallProgress, float currentProgress);
    void threadDone();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // What one job achieved, as far as its worker's signals have told.
    struct JobResult
    {
        QString source;
        bool sheet = false;
        // Kept here: the worker itself is gone once it has run.
        BatchOutcome outcome;
    };

    void updateButton();
    void askToCancel();
    JobResult &resultOf(BatchWorker *worker);
    QString summary() const;

    std::unique_ptr<Ui::BatchProcessingDialog> ui;
    BatchThread *m_thread;
    QVector<JobResult> m_results;
    QHash<const BatchWorker *, int> m_jobOfWorker;
    QString m_imageListName;
    // The image lists by path (none where it could not be opened), and the
    // failures to open them.
    QHash<QString, std::shared_ptr<Manifest>> m_imageLists;
    QStringList m_imageListErrors;
};
