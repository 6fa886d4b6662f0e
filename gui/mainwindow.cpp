#include "mainwindow.h"
#include "guilog.h"
#include "ui_mainwindow.h"
#include "analysis/shotindex.h"

// Local
#include "dialogs/batchmodedialog.h"
#include "dialogs/contactsheetdialog.h"
#include "dialogs/filenameprofiledialog.h"
#include "dialogs/imageprofiledialog.h"
#include "capture/videoinfo.h"
#include "imaging/imageprocessingmanager.h"
#include "player/framecapture.h"
#include "player/player.h"
#include "player/videowidget.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "widgets/aboutdialog.h"
#include "widgets/screenfit.h"
#include "widgets/sliderpreview.h"
#include "widgets/smartfiledialog.h"
#include "widgets/volumepopup.h"

// Qt
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLayout>
#include <QComboBox>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTime>
#include <QTimer>
#include <QUrl>

namespace {

// The store's profiles in box, the current one chosen.
void fillProfileBox(QComboBox *box, const ProfileManager *manager, const BaseProfile *current)
{
    box->clear();
    for (const BaseProfile *profile : manager->profiles())
        box->addItem(profile->name(), profile->id());
    box->setCurrentIndex(current ? box->findData(current->id(), Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive)
                                 : -1);
}

// The profile picked in box, made the one the next start begins with; none
// when it is gone from the store.
BaseProfile *pickProfile(const QComboBox *box, ProfileManager *manager)
{
    BaseProfile *profile = manager->profileById(box->currentData().toString());
    if (profile)
        manager->setCurrentProfile(profile);
    return profile;
}

// How long a dragged slider is held still before the exact frame is sought.
constexpr int SliderRestMs = 250;

QString formatTime(qint64 ms)
{
    return QTime(0, 0, 0, 0).addMSecs(int(ms)).toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString nativeAbsolutePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// The local file behind the first URL of a drag, or an empty string.
QString droppedFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty())
        return QString();
    const QUrl url = mime->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>())
{
    ui->setupUi(this);
    const auto groupBoxes = findChildren<QGroupBox *>();
    for (QGroupBox *box : groupBoxes) {
        if (box->layout())
            box->layout()->setContentsMargins(10, 10, 10, 10);
    }
    // On a screen too small for the panes they scroll.
    setCentralWidget(ScreenFit::scrollArea(takeCentralWidget(), this));
    ScreenFit::keepOnScreen(this);
    sliderUnit = 1000;
    updateWindowTitle();

    player = new Player(this);
    shotIndex = new ShotIndex(this);
    videoOutput = new VideoWidget(this);
    sliderPreview = new SliderPreview(ui->videoSlider, ui->centralWidget);
    if (!player->isValid()) {
        QMessageBox::warning(nullptr, tr("Tindra error"),
                             tr("Can not create video renderer") + QLatin1Char('\n') + player->errorString(),
                             QMessageBox::Ok);
        // Nothing below was made: only leaving and help stay usable.
        ui->centralWidget->setEnabled(false);
        const QList<QAction *> unusable{ui->actionOpen, ui->actionTake_Snapshot, ui->actionCopy_Snapshot,
                                        ui->actionCopy_Full_Frame, ui->actionBatch_Mode, ui->actionContact_Sheet};
        for (QAction *action : unusable)
            action->setEnabled(false);
        ui->menuVideo_Controls->setEnabled(false);
        return;
    }
    player->setVideoWidget(videoOutput);
    videoOutput->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->videoLayout->addWidget(videoOutput, 0, 0);
    ui->openVideoLabel->raise();

    // player -> read-outs, slider and play button
    connect(ui->openVideoLabel, &QPushButton::clicked, this, &MainWindow::openVideoLabelClicked);
    connect(player, &Player::started, this, qOverload<>(&MainWindow::updateSlider));
    connect(player, &Player::durationChanged, this, &MainWindow::durationChanged);
    connect(player, &Player::positionChanged, this, &MainWindow::positionChanged);
    connect(player, &Player::notifyIntervalChanged, this, &MainWindow::updateSliderUnit);
    connect(player, &Player::stateChanged, this, &MainWindow::updatePlayButton);
    connect(player, &Player::mediaStatusChanged, this, &MainWindow::updatePlayButton);
    connect(player, &Player::error, this, &MainWindow::onPlayerError);
    connect(player, &Player::endedEarly, this, &MainWindow::onVideoEndedEarly);
    // slider and transport -> player
    // A dragged slider shows key frames at once, and the exact frame where
    // it is let go of or held still.
    sliderRest = new QTimer(this);
    sliderRest->setSingleShot(true);
    sliderRest->setInterval(SliderRestMs);
    connect(sliderRest, &QTimer::timeout, this, [this] {
        if (ui->videoSlider->isSliderDown())
            seekBySlider();
    });
    connect(ui->videoSlider, &QSlider::sliderMoved, this, &MainWindow::followSlider);
    connect(ui->videoSlider, &QSlider::sliderPressed, this, qOverload<>(&MainWindow::seekBySlider));
    // Clicks on the groove, keys, the wheel and the release of a dragged
    // handle away from the frame on show move the slider by actions, which
    // take effect after this signal: it seeks to where they lead.
    connect(ui->videoSlider, &QSlider::actionTriggered, this, qOverload<>(&MainWindow::seekBySlider));
    // A handle dragged back to where it was gets no action: it lands here.
    connect(ui->videoSlider, &QSlider::sliderReleased, this, [this] {
        if (ui->videoSlider->sliderPosition() == ui->videoSlider->value())
            seekBySlider();
    });
    // A seek that lands where the player already was reports no new
    // position: the handle goes back to the frame on show all the same.
    connect(player, &Player::seekFinished, this, &MainWindow::positionChanged);
    connect(ui->playButton, &QToolButton::clicked, this, &MainWindow::playPause);
    connect(ui->stepBackwardButton, &QToolButton::clicked, this, &MainWindow::stepBackward);
    connect(ui->stepForwardButton, &QToolButton::clicked, this, &MainWindow::stepForward);
    connect(ui->skipBackwardButton, &QToolButton::clicked, this, &MainWindow::skipBackward);
    connect(ui->skipForwardButton, &QToolButton::clicked, this, &MainWindow::skipForward);
    connect(ui->actionPlayPause, &QAction::triggered, this, &MainWindow::playPause);
    connect(ui->actionSkipBackward, &QAction::triggered, this, &MainWindow::skipBackward);
    connect(ui->actionSkipForward, &QAction::triggered, this, &MainWindow::skipForward);
    connect(ui->actionStepBackward, &QAction::triggered, this, &MainWindow::stepBackward);
    connect(ui->actionStepForward, &QAction::triggered, this, &MainWindow::stepForward);
    connect(ui->actionPreviousShot, &QAction::triggered, this, &MainWindow::previousShot);
    connect(ui->actionNextShot, &QAction::triggered, this, &MainWindow::nextShot);
    // shot analysis -> status bar
    connect(shotIndex, &ShotIndex::failed, this, [this](const QString &reason) {
        statusBar()->showMessage(tr("Cannot find the shots of this video: %1").arg(reason), 5000);
    });
    // snapshot panel
    connect(ui->snapshotButton, &QPushButton::clicked, this, &MainWindow::snapshotButtonPressed);
    connect(ui->saveButton, &QPushButton::clicked, this, &MainWindow::saveButtonPressed);
    connect(ui->outputFolderLineEdit, &QLineEdit::editingFinished, this,
            &MainWindow::updateAutomaticFileNameDisplay);
    connect(player->videoCapture(), &FrameCapture::imageCaptured, this, &MainWindow::snapshotCaptured);
    connect(player->videoCapture(), &FrameCapture::failed, this, &MainWindow::onCaptureError);

    loadImageProfileComboBox();
    loadFileNameProfileComboBox();

    saveDialog = new QFileDialog(this);
    saveDialog->setDirectory(saveDir);
    QStringList saveFilters = {QStringLiteral("JPEG (*.jpg *.jpeg)"), QStringLiteral("PNG (*.png)"),
                               QStringLiteral("BMP (*.bmp)"), QStringLiteral("TIFF (*.tif *.tiff)")};
    if (ImageWriter::fileTypes().contains(QStringLiteral("webp")))
        saveFilters.append(QStringLiteral("WebP (*.webp)"));
    saveDialog->setNameFilters(saveFilters);
    saveDialog->setAcceptMode(QFileDialog::AcceptSave);

    // Showing and hiding "Next:" must not move the check box above it.
    for (QWidget *next : { static_cast<QWidget *>(ui->nextFileNameLabel), static_cast<QWidget *>(ui->nextFileNameDescriptionLabel) }) {
        QSizePolicy policy = next->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        next->setSizePolicy(policy);
    }
    setVideoControlsEnabled(false);
    setSnapshotControlsEnabled(false);
    updateAutomaticFileNameDisplay();
    setupVolumePopup();
    updatePlayButton();
    setAcceptDrops(true);
}

MainWindow::~MainWindow() = default;

void MainWindow::updateWindowTitle()
{
    if (currentVideoFile.isEmpty())
        setWindowTitle(QStringLiteral("Tindra"));
    else
        setWindowTitle(QStringLiteral("Tindra - ") + QFileInfo(currentVideoFile).fileName());
}

void MainWindow::volumeChanged(int volume)
{
    player->setVolume(volume / 100.0);
}

void MainWindow::openVideoLabelClicked()
{
    showSelectVideoDialog();
}

void MainWindow::showSelectVideoDialog()
{
    player->pause(true);
    // One dialog at a time: the previous one's folder model is not kept.
    delete videoDialog;
    videoDialog = new SmartFileDialog(this, QStringLiteral("openDialog"));
    videoDialog->setVideoNameFilters();
    if (videoDialog->exec() != QDialog::Accepted)
        return;
    const QString file = videoDialog->selectedFiles().value(0);
    if (!file.isEmpty())
        openVideo(file);
}

void MainWindow::openVideo(const QString &file)
{
    // Without a working player the constructor stopped early (and said so).
    if (!player->isValid())
        return;
    snapshotImage = QImage();
    fullFrameImage = QImage();
    currentVideoFile = file;
    snapshotDetails = FrameDetails();
    snapshotDetails.videoPath = file;
    recordedDateRead = false;
    player->play(file);
    shotIndex->setSource(file);
    player->setVolume(volumePopup->currentVolume() / 100.0);

    const QString oldSuffix = QFileInfo(saveFileName).suffix();
    saveFileName = QFileInfo(player->file()).completeBaseName();
    if (!oldSuffix.isEmpty())
        saveFileName += QLatin1Char('.') + oldSuffix;

    // The save dialog follows the video's folder until the user saves elsewhere.
    if (saveDir.isEmpty() || saveDir == openDir) {
        openDir = QFileInfo(player->file()).absoluteDir();
        saveDir = openDir;
        settings.setValue(QStringLiteral("lastOpenDir"), openDir.absolutePath());
    }
    ui->outputFolderLineEdit->setText(QDir::toNativeSeparators(QFileInfo(file).absolutePath()));
    videoOutput->raise();

    setVideoControlsEnabled(true);
    fileCounter = 1;
    updateAutomaticFileNameDisplay();
    updateWindowTitle();
    updatePlayButton();

    sliderUnit = 30;
    qCDebug(lcGui) << "updateSliderUnit:" << sliderUnit;
    sliderPreview->setMillisecondsPerStep(sliderUnit);
    sliderPreview->setSource(file);
    updateSlider();
}

// Back to the state of a window without a video: player unloaded, snapshot
// and full frame dropped, the "Click to open video" label on top again.
void MainWindow::unloadVideo()
{
    player->stop();
    player->setFile(QString());
    shotIndex->setSource(QString());
    currentVideoFile.clear();
    sliderPreview->setSource(QString());
    updateWindowTitle();
    setVideoControlsEnabled(false);
    setSnapshotControlsEnabled(false);
    snapshotImage = QImage();
    fullFrameImage = QImage();
    ui->snapshotImageView->setImage(QImage());
    ui->openVideoLabel->raise();
    updatePlayButton();
}

void MainWindow::onVideoEndedEarly(const QString &message)
{
    QMessageBox::warning(this, tr("Video Ends Early"), message);
}

void MainWindow::onPlayerError(const QString &message)
{
    const QString file = currentVideoFile;
    unloadVideo();
    QMessageBox::warning(this, tr("Cannot Play Video"),
                         tr("Tindra cannot play %1.").arg(nativeAbsolutePath(file)) + QLatin1Char('\n') + message);
}

// The "Take Snapshot" button goes with the video controls: the panel around
// it only opens up once there is a snapshot to work on.
void MainWindow::setVideoControlsEnabled(bool enabled)
{
    ui->actionTake_Snapshot->setEnabled(enabled);
    ui->actionContact_Sheet->setEnabled(enabled);
    ui->snapshotButton->setEnabled(enabled);
    ui->videoSlider->setEnabled(enabled);
    ui->videoControlsFrame->setEnabled(enabled);
    const auto videoActions = ui->menuVideo_Controls->actions();
    for (QAction *action : videoActions)
        action->setEnabled(enabled);
    if (!enabled) {
        ui->durationLabel->setText(formatTime(0));
        positionChanged(player->displayPosition());
    }
}

void MainWindow::setSnapshotControlsEnabled(bool enabled)
{
    ui->actionCopy_Full_Frame->setEnabled(enabled);
    ui->actionCopy_Snapshot->setEnabled(enabled);
    ui->groupBox->setEnabled(enabled);
    ui->automaticFileNameGroupBox->setEnabled(enabled);
    ui->saveButton->setEnabled(enabled);
    updateAutomaticFileNameDisplay();
    if (!enabled)
        ui->outputFolderLineEdit->clear();
}

void MainWindow::updatePlayButton()
{
    qCDebug(lcGui) << "updatePlayButton:" << player->state();
    if (playIcon.isNull()) {
        playIcon = QIcon(QStringLiteral(":/Images/Play.svg"));
        pauseIcon = QIcon(QStringLiteral(":/Images/Pause.svg"));
    }
    const bool playing = !currentVideoFile.isEmpty() && player->state() == Player::PlayingState;
    ui->playButton->setIcon(playing ? pauseIcon : playIcon);
}

void MainWindow::seekBySlider(int value)
{
    if (player->isPlaying())
        player->seek(qint64(value * sliderUnit));
}

void MainWindow::seekBySlider()
{
    sliderRest->stop();
    seekBySlider(ui->videoSlider->sliderPosition());
}

void MainWindow::followSlider(int value)
{
    if (!player->isPlaying())
        return;
    player->seekToKeyFrame(qint64(value * sliderUnit));
    sliderRest->start();
}

void MainWindow::playPause()
{
    if (!player->isPlaying())
        player->play();
    else
        player->pause(!player->isPaused());
}

void MainWindow::skipBackward()
{
    seekRelative(-1000);
}

void MainWindow::skipForward()
{
    seekRelative(1000);
}

void MainWindow::seekRelative(qint64 val)
{
    player->pause(true);
    player->setPosition(player->displayPosition() + val);
}

void MainWindow::stepBackward()
{
    player->stepBackward();
}

void MainWindow::stepForward()
{
    player->stepForward();
}

void MainWindow::step(MainWindow::SeekDirection direction)
{
    if (direction == Forward)
        stepForward();
    else
        stepBackward();
}

void MainWindow::previousShot()
{
    goToShot(shotIndex->shotBefore(player->displayPosition()), tr("No shot before this one"));
}

void MainWindow::nextShot()
{
    goToShot(shotIndex->shotAfter(player->displayPosition()), tr("No shot after this one"));
}

// Pauses on the first frame of a shot; until the shots are known the status
// bar says how far the search is.
void MainWindow::goToShot(qint64 start, const QString &none)
{
    if (!shotIndex->isReady()) {
        statusBar()->showMessage(tr("Still looking for the shots: %1% done").arg(qRound(shotIndex->progress() * 100)),
                                 3000);
    } else if (start < 0) {
        statusBar()->showMessage(none, 3000);
    } else {
        player->pause(true);
        player->setPosition(start);
    }
}

void MainWindow::snapshotButtonPressed()
{
    player->videoCapture()->capture();
}

void MainWindow::onCaptureError(const QString &reason)
{
    QMessageBox::warning(nullptr, QStringLiteral("Tindra video capture"),
                         tr("Failed to capture video frame") + QLatin1Char('\n') + reason, QMessageBox::Ok);
}

void MainWindow::snapshotCaptured(QImage image)
{
    fullFrameImage = image.copy(QRect());
    if (!recordedDateRead) {
        VideoInfo info;
        info.load(currentVideoFile);
        snapshotDetails.recorded = info.recorded();
        recordedDateRead = true;
    }
    snapshotDetails.timeMs = player->displayPosition();
    snapshotDetails.counter = int(fileCounter);
    processFullFrameImage();
    updateAutomaticFileNameDisplay();
    setSnapshotControlsEnabled(true);
}

void MainWindow::setupVolumePopup()
{
    volumePopup = new VolumePopup(this);
    connect(volumePopup, &VolumePopup::volumeChanged, this, &MainWindow::volumeChanged);
}

void MainWindow::processFullFrameImage()
{
    snapshotImage = ImageProcessingManager::instance()->processImage(fullFrameImage, imageProfile, nullptr,
                                                                     snapshotDetails);
    ui->snapshotImageView->setImage(snapshotImage);
}

void MainWindow::durationChanged(qint64 value)
{
    ui->durationLabel->setText(formatTime(value));
    updateSlider();
}

void MainWindow::positionChanged(qint64)
{
    ui->positionLabel->setText(formatTime(player->displayPosition()));
    updateSlider();
}

void MainWindow::updateSlider(qint64)
{
    updateSlider();
}

void MainWindow::updateSlider()
{
    if (ui->videoSlider->isSliderDown())
        return;
    ui->videoSlider->setRange(0, int(player->duration() / sliderUnit));
    // Arrow keys move by a unit (about a frame), Page keys and the groove by ten seconds.
    ui->videoSlider->setPageStep(qMax(1, 10000 / sliderUnit));
    ui->videoSlider->setValue(int(player->displayPosition() / sliderUnit));
}

void MainWindow::updateSliderUnit()
{
    sliderUnit = 30;
    qCDebug(lcGui) << "updateSliderUnit:" << sliderUnit;
    updateSlider();
}

void MainWindow::confirmQuit()
{
    if (videoOutput)
        videoOutput->deleteLater();
    QApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    confirmQuit();
    event->ignore();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    openVideo(file);
}

void MainWindow::retakeFocusAfterDialog()
{
    raise();
    activateWindow();
}

void MainWindow::on_actionOpen_triggered()
{
    showSelectVideoDialog();
}

void MainWindow::on_actionExit_triggered()
{
    confirmQuit();
}

void MainWindow::on_actionBatch_Mode_triggered()
{
    unloadVideo();
    BatchModeDialog dialog(this);
    dialog.exec();
    retakeFocusAfterDialog();
}

// A contact sheet of the open video, saved beside the automatic file names.
void MainWindow::on_actionContact_Sheet_triggered()
{
    const QString folderText = ui->outputFolderLineEdit->text();
    QDir folder(folderText);
    if (folderText.trimmed().isEmpty() || folder.isRelative())
        folder = QFileInfo(currentVideoFile).absoluteDir();
    ContactSheetDialog dialog(this);
    dialog.setVideo(currentVideoFile, imageProfile, fileNameProfile, folder);
    dialog.exec();
    retakeFocusAfterDialog();
}

void MainWindow::on_actionTake_Snapshot_triggered()
{
    snapshotButtonPressed();
}

void MainWindow::on_actionCopy_Snapshot_triggered()
{
    if (snapshotImage.isNull())
        return;
    ImageProcessingManager::instance()->copyToClipboard(snapshotImage);
    statusBar()->showMessage(tr("Snapshot copied to the clipboard"), 5000);
}

void MainWindow::on_actionCopy_Full_Frame_triggered()
{
    if (fullFrameImage.isNull())
        return;
    ImageProcessingManager::instance()->copyToClipboard(fullFrameImage);
    statusBar()->showMessage(tr("Full frame copied to the clipboard"), 5000);
}

void MainWindow::loadImageProfileComboBox()
{
    if (!imageProfile)
        imageProfile = qobject_cast<ImageProfile *>(ImageProfile::profileManager()->currentProfile());
    fillProfileBox(ui->imageProfileComboBox, ImageProfile::profileManager(), imageProfile);
}

void MainWindow::loadFileNameProfileComboBox()
{
    if (!fileNameProfile)
        fileNameProfile = qobject_cast<FileNameProfile *>(FileNameProfile::profileManager()->currentProfile());
    fillProfileBox(ui->filenameProfileComboBox, FileNameProfile::profileManager(), fileNameProfile);
}

void MainWindow::on_imageProfileComboBox_activated(int)
{
    auto *profile = qobject_cast<ImageProfile *>(pickProfile(ui->imageProfileComboBox, ImageProfile::profileManager()));
    if (!profile)
        return;
    imageProfile = profile;
    // What is shown, saved and copied always follows the profile on show.
    if (!fullFrameImage.isNull())
        processFullFrameImage();
}

void MainWindow::on_filenameProfileComboBox_activated(int)
{
    auto *profile =
        qobject_cast<FileNameProfile *>(pickProfile(ui->filenameProfileComboBox, FileNameProfile::profileManager()));
    if (!profile)
        return;
    fileNameProfile = profile;
    updateAutomaticFileNameDisplay();
}

void MainWindow::on_editImageProfileButton_clicked()
{
    player->pause(true);
    ImageProfileDialog dialog(this);
    dialog.setProfile(imageProfile);
    dialog.setVideoSize(player->videoSize().width(), player->videoSize().height());
    dialog.setFrameImage(fullFrameImage, snapshotDetails);
    dialog.exec();
    // As a pick from the list, the profile chosen here is the one the next start begins with.
    if (auto *profile = qobject_cast<ImageProfile *>(dialog.profile())) {
        ImageProfile::profileManager()->setCurrentProfile(profile);
        imageProfile = profile;
        processFullFrameImage();
    }
    loadImageProfileComboBox();
}

void MainWindow::on_editFileNameProfileButton_clicked()
{
    player->pause(true);
    FileNameProfileDialog dialog(this);
    dialog.setProfile(fileNameProfile);
    dialog.setVideoFileName(QFileInfo(currentVideoFile).fileName());
    dialog.exec();
    if (auto *profile = qobject_cast<FileNameProfile *>(dialog.profile())) {
        FileNameProfile::profileManager()->setCurrentProfile(profile);
        fileNameProfile = profile;
    }
    loadFileNameProfileComboBox();
    // The edited profile may name files differently: "Next:" must say so.
    updateAutomaticFileNameDisplay();
}

void MainWindow::on_selectOutputFolderButton_clicked()
{
    const QString current = ui->outputFolderLineEdit->text();
    const QString start = QDir(current).exists() ? current : QString();
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Open Directory"), start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty() || !QDir(folder).exists())
        return;
    ui->outputFolderLineEdit->setText(QDir::toNativeSeparators(folder));
    updateAutomaticFileNameDisplay();
}

void MainWindow::on_automaticFileNameGroupBox_toggled(bool)
{
    updateAutomaticFileNameDisplay();
}

void MainWindow::saveButtonPressed()
{
    if (ui->automaticFileNameGroupBox->isChecked())
        saveWithAutomaticFileName();
    else
        showSaveDialog();
}

void MainWindow::saveWithAutomaticFileName()
{
    const QString folderText = ui->outputFolderLineEdit->text();
    const QDir dir(folderText);
    if (folderText.trimmed().isEmpty() || dir.isRelative()) {
        QMessageBox::warning(this, tr("Unknown Folder"),
                             tr("Please enter a valid output folder in the Automatic FileName section."),
                             QMessageBox::Ok);
        ui->outputFolderLineEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!dir.exists()) {
        const QString question = tr("Create folder?") + QStringLiteral("\r\n")
            + QDir::toNativeSeparators(dir.absolutePath());
        if (QMessageBox::question(this, QStringLiteral("Folder does not exist"), question,
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton)
            != QMessageBox::Yes)
            return;
        if (!dir.mkpath(QStringLiteral("."))) {
            QMessageBox::warning(this, tr("Snapshot Not Saved"),
                                 tr("The folder %1 could not be created.")
                                     .arg(QDir::toNativeSeparators(dir.absolutePath())));
            updateAutomaticFileNameDisplay();
            return;
        }
    }

    // The file is only created if nothing is there, so a name another
    // program took after "Next:" was shown is skipped, never overwritten.
    ImageWriter::Result result;
    if (snapshotImage.isNull()) {
        result.path = dir.absoluteFilePath(automaticFileName(dir));
        result.reason = noSnapshotReason();
    } else {
        qint64 sameTime = 1;
        result = ImageWriter::writeUnderFreeName(snapshotImage, dir.absolutePath(), automaticNameRule(),
                                                 nameCounter(&sameTime), imageProfile ? imageProfile->imageQuality() : -1);
    }
    reportSave(result.path, result.written(), result.reason);
    updateAutomaticFileNameDisplay();
}

ImageWriter::NameForCounter MainWindow::automaticNameRule() const
{
    const QString videoBaseName = QFileInfo(currentVideoFile).baseName();
    FileNameProfile *profile = fileNameProfile;
    // Without a snapshot there is no time yet: the name shown has none.
    const qint64 time = fullFrameImage.isNull() ? -1 : snapshotDetails.timeMs;
    return [profile, videoBaseName, time](int counter) { return profile->outputFileName(videoBaseName, counter, time); };
}

// Names with the snapshot's time in place of the counter count only the
// snapshots of one time, from 1 (sameTime); others go on with the counter.
qint64 *MainWindow::nameCounter(qint64 *sameTime)
{
    const bool timeNames = fileNameProfile && fileNameProfile->timeInPlaceOfCounter() && !fullFrameImage.isNull();
    return timeNames ? sameTime : &fileCounter;
}

QString MainWindow::automaticFileName(QDir saveDir)
{
    qint64 sameTime = 1;
    return ImageWriter::nextFreeName(saveDir, automaticNameRule(), nameCounter(&sameTime));
}

void MainWindow::updateAutomaticFileNameDisplay()
{
    const bool shown = !currentVideoFile.isEmpty() && ui->automaticFileNameGroupBox->isChecked();
    ui->nextFileNameLabel->setVisible(shown);
    ui->nextFileNameDescriptionLabel->setVisible(shown);
    if (shown)
        ui->nextFileNameLabel->setText(automaticFileName(QDir(ui->outputFolderLineEdit->text())));
}

void MainWindow::showSaveDialog()
{
    saveDialog->setDirectory(saveDir);
    saveDialog->selectNameFilter(saveNameFilter);
    saveDialog->selectFile(saveFileName);
    if (saveDialog->exec() == QDialog::Accepted) {
        const QString path = saveDialog->selectedFiles().value(0);
        if (saveSnapshot(path)) {
            saveDir = saveDialog->directory();
            saveFileName = path;
            saveNameFilter = saveDialog->selectedNameFilter();
        }
    }
    retakeFocusAfterDialog();
}

// The save dialog has asked before replacing a file, so this one may replace.
bool MainWindow::saveSnapshot(QString savePath)
{
    ImageWriter::Result result;
    if (snapshotImage.isNull())
        result.reason = noSnapshotReason();
    else
        result = ImageWriter::write(snapshotImage, savePath, ImageWriter::Mode::Replace,
                                    imageProfile ? imageProfile->imageQuality() : -1);
    reportSave(savePath, result.written(), result.reason);
    return result.written();
}

QString MainWindow::noSnapshotReason() const
{
    return tr("There is no snapshot of the video now open. Take a snapshot first.");
}

void MainWindow::reportSave(const QString &path, bool saved, const QString &reason)
{
    const QString shownPath = nativeAbsolutePath(path);
    if (saved) {
        qCDebug(lcGui) << "Save success" << path;
        statusBar()->showMessage(tr("Saved %1").arg(shownPath));
        return;
    }
    qCDebug(lcGui) << "Save failure" << path;
    // The line of an earlier save must not stand as if this one had worked.
    statusBar()->showMessage(tr("Not saved: %1").arg(shownPath));
    QMessageBox::warning(this, tr("Snapshot Not Saved"),
                         tr("Could not save %1").arg(shownPath) + QLatin1Char('\n') + reason);
}

void MainWindow::on_volumeButton_clicked()
{
    QPoint position = ui->volumeButton->mapToGlobal(ui->volumeButton->pos());
    position.ry() += int(-volumePopup->height() * 1.1);
    position.rx() += (ui->volumeButton->width() - volumePopup->width()) / 2;
    volumePopup->move(position);
    volumePopup->show();
}

// The support page installed with the program; the web site only when it is missing.
void MainWindow::openSupportPage(const QString &fragment)
{
    const QString name = QStringLiteral("tindra/support.html");
    QString page = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/") + name;
    if (!QFileInfo::exists(page))
        page = QStandardPaths::locate(QStandardPaths::GenericDataLocation, name);
    QUrl url = page.isEmpty() ? QUrl(QStringLiteral("https://tindra.app/support.html"))
                              : QUrl::fromLocalFile(QFileInfo(page).canonicalFilePath());
    url.setFragment(fragment);
    if (!QDesktopServices::openUrl(url))
        QMessageBox::warning(this, tr("Documentation"),
                             tr("No program was found to show %1.").arg(url.toDisplayString()));
}

void MainWindow::on_actionDocumentation_triggered()
{
    openSupportPage(QString());
}

void MainWindow::on_actionAbout_triggered()
{
    AboutDialog dialog(this);
    dialog.exec();
    retakeFocusAfterDialog();
}

void MainWindow::on_actionCommandLineOptions_triggered()
{
    openSupportPage(QStringLiteral("command"));
}
