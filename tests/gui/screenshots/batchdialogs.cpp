#include "screenshots.h"

#include "batch/batchthread.h"
#include "batch/batchworkerconfig.h"
#include "dialogs/batchmodedialog.h"
#include "dialogs/batchmodelistmodel.h"
#include "dialogs/batchprocessingdialog.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "widgets/imageview.h"

// Qt
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

namespace {
// Three jobs, the two selected ones differing in image profile, interval
// rule and skip, so the form shows "[Multiple]" where they differ.
void shootBatchMode(const QDir &videos)
{
    ProfileManager *images = ImageProfile::profileManager();
    BaseProfile *thumbnails = images->createProfile();
    thumbnails->setName(QStringLiteral("Thumbnails"));
    images->addProfile(thumbnails);
    images->save();

    BatchModeDialog dialog;
    dialog.addVideos({ videos.filePath("lake-trip.mp4"), videos.filePath("harbour.mp4"), videos.filePath("sunset.webm") });
    auto *table = dialog.findChild<QTableView *>(QStringLiteral("filesTableView"));
    auto *model = dynamic_cast<BatchModeListModel *>(table->model());
    model->configAt(0)->setIntervalType(BatchWorkerConfig::ImageCount);
    model->configAt(1)->setIntervalMilliseconds(500);
    model->configAt(1)->setSkipFront(0);
    model->configAt(1)->setImageProfileId(thumbnails->id());
    table->clearSelection();
    for (int row : { 0, 1 })
        table->selectionModel()->select(model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Screenshots::save(&dialog, QStringLiteral("batch-mode-dialog"));

    // The third job takes one image per shot and skips blank frames.
    model->configAt(2)->setIntervalType(BatchWorkerConfig::Shots);
    model->configAt(2)->setSkipBlank(true);
    table->selectRow(2);
    Screenshots::save(&dialog, QStringLiteral("batch-mode-dialog-shots"));
}

// A run caught with its first images written and the last one in the preview.
void shootBatchProgress(const QDir &videos, const QString &output)
{
    BatchWorkerConfig job;
    job.setSource(videos.filePath("harbour.mp4"));
    job.setFileOutputPath(output);
    job.setIntervalType(BatchWorkerConfig::ImageCount);
    job.setIntervalImages(8);
    BatchProcessingDialog dialog;
    dialog.addConfig(&job);
    auto *preview = dialog.findChild<ImageView *>(QStringLiteral("previewImageView"));
    auto *total = dialog.findChild<QProgressBar *>(QStringLiteral("progressBarTotal"));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (preview->image().isNull() || total->value() < 40)
            return;
        poll.stop();
        Screenshots::save(&dialog, QStringLiteral("batch-processing-dialog"), 0);
        auto *thread = dialog.findChild<BatchThread *>();
        thread->requestInterruption();
        thread->wait();
        dialog.done(QDialog::Accepted);
    });
    poll.start(10);
    dialog.exec();
}

void shootBatchDialogs()
{
    const QDir videos = QFileInfo(Screenshots::video(QStringLiteral("h264-10s.mp4"), QStringLiteral("lake-trip.mp4"))).dir();
    Screenshots::video(QStringLiteral("h264-60s.mp4"), QStringLiteral("harbour.mp4"));
    Screenshots::video(QStringLiteral("vp9.webm"), QStringLiteral("sunset.webm"));
    shootBatchMode(videos);
    QTemporaryDir output;
    shootBatchProgress(videos, output.path());
}

const Screenshots::Area area("batch dialogs", &shootBatchDialogs);
}
