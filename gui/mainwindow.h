#pragma once

#include "capture/framedetails.h"
#include "imaging/imagewriter.h"

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QSettings>
#include <QString>

#include <memory>

class FileNameProfile;
class ImageProfile;
class Player;
class ShotIndex;
class QFileDialog;
class QTimer;
class SliderPreview;
class SmartFileDialog;
class VideoWidget;
class VolumePopup;

namespace Ui {
class MainWindow;
}

// The desktop program's only window. The left pane plays a video with
// position slider, transport buttons and volume pop-up; the right pane takes
// a snapshot of the frame on show, shows it as the selected image profile
// makes it, and saves it under the next free name of a file-name profile in
// an output folder (or through a save dialog), or copies it.
//
// States: no video (after construction, after batch mode, after a video that
// cannot be played), video open, snapshot available. While a video is open
// its shots are found in the background, never taking time from playback. Video files arrive from
// the open dialog, a click on the video area, a drop on the window, or the
// command line (openVideo()).
//
// User-interface thread only; the player posts everything it reports to
// this thread.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum SeekDirection { Backward = 0, Forward = 1 };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Plays file and makes it the video the snapshots and names come from.
    void openVideo(const QString &file);
    void updateWindowTitle();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

protected slots:
    void volumeChanged(int volume);

private slots:
    void openVideoLabelClicked();
    void showSelectVideoDialog();
    void setSnapshotControlsEnabled(bool enabled);
    void setVideoControlsEnabled(bool enabled);
    void updatePlayButton();
    void seekBySlider(int value);
    void seekBySlider();
    void followSlider(int value);
    void playPause();
    void skipBackward();
    void skipForward();
    void seekRelative(qint64 val);
    void stepBackward();
    void stepForward();
    void step(MainWindow::SeekDirection direction);
    void previousShot();
    void nextShot();
    void snapshotButtonPressed();
    void saveButtonPressed();
    void saveWithAutomaticFileName();
    QString automaticFileName(QDir saveDir);
    void updateAutomaticFileNameDisplay();
    void showSaveDialog();
    bool saveSnapshot(QString savePath);
    void onCaptureError(const QString &reason);
    void onPlayerError(const QString &message);
    void onVideoEndedEarly(const QString &message);
    void snapshotCaptured(QImage image);
    void setupVolumePopup();
    void processFullFrameImage();
    void durationChanged(qint64 value);
    void positionChanged(qint64 value);
    void updateSlider(qint64 value);
    void updateSlider();
    void updateSliderUnit();
    void confirmQuit();
    void retakeFocusAfterDialog();
    void on_actionOpen_triggered();
    void on_actionExit_triggered();
    void on_actionBatch_Mode_triggered();
    void on_actionTake_Snapshot_triggered();
    void on_actionCopy_Snapshot_triggered();
    void on_actionCopy_Full_Frame_triggered();
    void loadImageProfileComboBox();
    void loadFileNameProfileComboBox();
    void on_editImageProfileButton_clicked();
    void on_imageProfileComboBox_activated(int index);
    void on_editFileNameProfileButton_clicked();
    void on_filenameProfileComboBox_activated(int index);
    void on_selectOutputFolderButton_clicked();
    void on_automaticFileNameGroupBox_toggled(bool checked);
    void on_volumeButton_clicked();
    void on_actionDocumentation_triggered();
    void on_actionAbout_triggered();
    void on_actionContact_Sheet_triggered();
    void on_actionCommandLineOptions_triggered();

private:
    void unloadVideo();
    ImageWriter::NameForCounter automaticNameRule() const;
    qint64 *nameCounter(qint64 *sameTime);
    QString noSnapshotReason() const;
    void reportSave(const QString &path, bool saved, const QString &reason);
    void openSupportPage(const QString &fragment);
    void goToShot(qint64 start, const QString &none);

    std::unique_ptr<Ui::MainWindow> ui;
    VideoWidget *videoOutput = nullptr;
    SliderPreview *sliderPreview = nullptr;
    // Runs while the slider is held still: then it goes to the exact frame.
    QTimer *sliderRest = nullptr;
    Player *player = nullptr;
    // The shots of the open video, found in the background for Previous
    // Shot and Next Shot.
    ShotIndex *shotIndex = nullptr;
    QSettings settings;
    QImage snapshotImage;
    QImage fullFrameImage;
    QString currentVideoFile;
    // Where the snapshot came from, for the watermark's placeholders and
    // names with the time; the recording date is read at the first snapshot.
    FrameDetails snapshotDetails;
    bool recordedDateRead = false;
    ImageProfile *imageProfile = nullptr;
    FileNameProfile *fileNameProfile = nullptr;
    qint64 fileCounter = 1;
    QDir openDir{QString()};
    QDir saveDir{QString()};
    QString saveFileName;
    QString saveNameFilter;
    SmartFileDialog *videoDialog = nullptr;
    QFileDialog *saveDialog = nullptr;
    VolumePopup *volumePopup = nullptr;
    int sliderUnit = 1000;
    QIcon playIcon;
    QIcon pauseIcon;
};
