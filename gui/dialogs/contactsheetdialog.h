#pragma once

#include <QDialog>
#include <QDir>
#include <QImage>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace Ui {
class ContactSheetDialog;
}

class BatchThread;
class BatchWorker;
class FileNameProfile;
class ImageProfile;

// Makes a contact sheet of the video open in the main window: the grid
// settings, a preview that is made again (by the batch engine, on a thread
// of its own) a moment after each change, and Save (under the file-name
// profile's sheet name in the output folder, never replacing a file) and
// Copy. The image profile's watermark, type and quality apply as in batch
// jobs; the grid and the trims start from the batch job defaults.
//
// User-interface thread only. A sheet in the making when the settings change
// or the dialog closes is stopped; closing waits for its decoders.
class ContactSheetDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ContactSheetDialog(QWidget *parent = nullptr);
    ~ContactSheetDialog() override;

    // The video, the profiles (borrowed; they must outlive the dialog) and
    // the folder Save writes to. Starts the first sheet.
    void setVideo(const QString &path, ImageProfile *imageProfile, FileNameProfile *fileNameProfile,
                  const QDir &outputFolder);
    // The finished sheet; null while one is in the making.
    QImage sheet() const { return m_sheet; }

signals:
    // Each finished sheet, after the preview shows it.
    void sheetFinished();

private slots:
    void on_saveButton_clicked();
    void on_copyButton_clicked();
    void on_closeButton_clicked();
    void on_backgroundColorButton_clicked();
    void makeSheet();

private:
    void stopSheet();
    void settingsChanged();

    std::unique_ptr<Ui::ContactSheetDialog> ui;
    QString m_video;
    ImageProfile *m_imageProfile = nullptr;
    FileNameProfile *m_fileNameProfile = nullptr;
    QDir m_outputFolder;
    QImage m_sheet;
    QTimer m_changeTimer;
    // The sheet in the making; earlier ones still stopping.
    QPointer<BatchThread> m_thread;
    QList<QPointer<BatchThread>> m_stopping;
};
