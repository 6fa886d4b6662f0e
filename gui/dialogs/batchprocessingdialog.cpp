#include "batchprocessingdialog.h"
#include "ui_batchprocessingdialog.h"

#include "batch/batchthread.h"
#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "batch/manifest.h"
#include "widgets/screenfit.h"

// Qt
#include <QCloseEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

BatchProcessingDialog::BatchProcessingDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::BatchProcessingDialog>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // The buttons stay in reach on a small screen; the rest scrolls.
    ScreenFit::scrollBody(ui->verticalLayout, 1);
    ScreenFit::keepOnScreen(this);

    m_thread = new BatchThread(this);
    connect(ui->doneButton, &QPushButton::clicked, this, &BatchProcessingDialog::doneButtonClicked);
    connect(m_thread, &BatchThread::progressUpdate, this, &BatchProcessingDialog::threadProgressUpdate);
    connect(m_thread, &BatchThread::threadDone, this, &BatchProcessingDialog::threadDone);
    // threadDone() is the run's last act, so the thread may not have
    // finished when it arrives; the button turns to "Done" when it has.
    connect(m_thread, &QThread::finished, this, &BatchProcessingDialog::updateButton);
    updateButton();
}

BatchProcessingDialog::~BatchProcessingDialog()
{
    // The dialog cannot be closed while the thread runs, but it can still be
    // destroyed without being run to the end (by its owner): a running
    // QThread must never be destroyed.
    if (m_thread->isRunning()) {
        m_thread->requestInterruption();
        m_thread->wait();
    }
}

void BatchProcessingDialog::addConfig(BatchWorkerConfig *config)
{
    auto *worker = new BatchWorker(this);
    worker->setConfig(config);
    connect(worker, &BatchWorker::statusUpdate, this, &BatchProcessingDialog::workerStatusUpdate);
    connect(worker, &BatchWorker::imageReady, this, &BatchProcessingDialog::workerImageReady);
    connect(worker, &BatchWorker::finished, this, [this](BatchWorker *done, const BatchOutcome &outcome) {
        resultOf(done).outcome = outcome;
    });
    // A contact sheet shows as it grows.
    connect(worker, &BatchWorker::sheetUpdated, ui->previewImageView,
            [this](BatchWorker *, const QImage &sheet) { ui->previewImageView->setImage(sheet); });
    // Every job reports progress from its start, also one that has nothing to say.
    connect(worker, &BatchWorker::progressUpdate, this,
            [this, worker] { ui->currentVideoLabel->setText(resultOf(worker).source); });
    m_jobOfWorker.insert(worker, m_results.size());
    m_results.append(JobResult { config->source(), config->contactSheet(), BatchOutcome() });
    if (!m_imageListName.isEmpty()) {
        const QString path = config->outputFolder().absoluteFilePath(m_imageListName);
        auto list = m_imageLists.find(path);
        if (list == m_imageLists.end()) {
            auto opened = std::make_shared<Manifest>(path);
            if (!opened->open()) {
                m_imageListErrors.append(opened->error());
                opened.reset();
            }
            list = m_imageLists.insert(path, opened);
        }
        worker->setManifest(list->get());
    }
    m_thread->addWorker(worker);
}

int BatchProcessingDialog::exec()
{
    show();
    for (const QString &error : qAsConst(m_imageListErrors))
        ui->logTextEdit->appendPlainText(error);
    if (!m_thread->isRunning() && !m_thread->isFinished())
        m_thread->start(QThread::InheritPriority);
    return QDialog::exec();
}

void BatchProcessingDialog::reject()
{
    if (!m_thread->isRunning())
        QDialog::reject();
    else
        askToCancel();
}

void BatchProcessingDialog::closeEvent(QCloseEvent *event)
{
    if (!m_thread->isRunning()) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    askToCancel();
}

void BatchProcessingDialog::doneButtonClicked()
{
    if (!m_thread->isRunning())
        close();
    else
        askToCancel();
}

void BatchProcessingDialog::askToCancel()
{
    const QMessageBox::StandardButton answer = QMessageBox::question(this, tr("Cancel Batch Processing"),
        tr("Are you sure you want to cancel batch processing?\n"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes)
        return;
    m_thread->requestInterruption();
    if (!m_thread->isFinished())
        ui->statusLabel->setText(tr("Cancelling..."));
    updateButton();
}

void BatchProcessingDialog::updateButton()
{
    ui->doneButton->setText(m_thread->isFinished() ? tr("Done") : tr("Cancel"));
}

BatchProcessingDialog::JobResult &BatchProcessingDialog::resultOf(BatchWorker *worker)
{
    return m_results[m_jobOfWorker.value(worker)];
}

void BatchProcessingDialog::workerStatusUpdate(BatchWorker *worker, QString text)
{
    const JobResult &result = resultOf(worker);
    ui->currentVideoLabel->setText(result.source);
    ui->statusLabel->setText(text);
    ui->logTextEdit->appendPlainText(QFileInfo(result.source).fileName() + QStringLiteral(": ") + text);
}

void BatchProcessingDialog::workerImageReady(BatchWorker *, QImage &image)
{
    ui->previewImageView->setImage(image);
}

void BatchProcessingDialog::threadProgressUpdate(float overallProgress, float currentProgress)
{
    ui->progressBarTotal->setValue(int(overallProgress * 100.0f));
    ui->progressBarCurrent->setValue(int(currentProgress * 100.0f));
}

void BatchProcessingDialog::threadDone()
{
    const QString text = summary();
    ui->statusLabel->setText(text);
    ui->logTextEdit->appendPlainText(text);
    updateButton();
}

// "12 images written." and, if anything went wrong, which videos failed how.
QString BatchProcessingDialog::summary() const
{
    int written = 0;
    QStringList failures;
    for (const JobResult &result : m_results) {
        const BatchOutcome &outcome = result.outcome;
        // A contact sheet is one image.
        const int images = result.sheet ? outcome.sheetsSaved : outcome.imagesSaved;
        written += images;
        const QString name = QFileInfo(result.source).fileName();
        if (outcome.openFailed)
            failures.append(tr("%1 (cannot read video)").arg(name));
        else if (outcome.failures() > 0)
            failures.append(tr("%1 (%2 of its images)").arg(name).arg(outcome.failures()));
        else if (images == 0 && !m_thread->isInterruptionRequested())
            // A readable video gives every rule a position unless the skips leave no time.
            failures.append(outcome.framesRequested == 0 ? tr("%1 (the skips leave nothing of it)").arg(name)
                                                         : tr("%1 (no images)").arg(name));
    }
    QString text = written == 1 ? tr("1 image written.") : tr("%1 images written.").arg(written);
    if (!m_imageListErrors.isEmpty()
        || std::any_of(m_results.cbegin(), m_results.cend(), [](const JobResult &result) { return result.outcome.manifestFailed; }))
        text += QLatin1Char(' ') + tr("The image list is missing rows.");
    if (m_thread->isInterruptionRequested())
        text.prepend(tr("Cancelled.") + QLatin1Char(' '));
    if (!failures.isEmpty())
        text += QLatin1Char(' ') + tr("Failed: %1.").arg(failures.join(QStringLiteral(", ")));
    return text;
}
