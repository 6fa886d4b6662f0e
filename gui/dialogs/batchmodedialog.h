#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVector>

#include <memory>

class BatchModeListModel;
class BatchWorkerConfig;
class Field;
class ProfileManager;
class QComboBox;
class QLineEdit;

namespace Ui {
class BatchModeDialog;
}

// Where the user lists videos as batch jobs, edits the settings of one job or
// of many at once, and starts the batch. The editing panel shows the values
// the selected jobs share; a value that differs between them reads
// "[Multiple]", and changing a widget writes its value into every selected
// job. Widgets and job settings are tied by Fields, one per bound property,
// so the dialog names a job setting in code only where a rule needs it.
//
// Owns the jobs it creates (they go with the dialog). Lives on the
// user-interface thread; a started batch runs in the modal progress dialog.
class BatchModeDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BatchModeDialog(QWidget *parent = nullptr);
    ~BatchModeDialog() override;

    // One new job per video, starting from the batch defaults; the new rows
    // become the selection.
    void addVideos(const QStringList &paths);

public slots:
    void loadFormValues();
    void updateFieldsEnabled();
    QVector<BatchWorkerConfig *> getSelectedConfigs();
    void fieldUpdated(Field *field);
    void loadSingleShotComboBox();
    void resetIntervalWidgets();
    void saveBatchWorkerConfigDefault();

private slots:
    void on_loadVideoButton_clicked();
    void on_removeVideoButton_clicked();
    void on_selectAllVideoButton_clicked();
    void on_cancelButton_clicked();
    void on_startButton_clicked();
    void on_intervalMillisecondsTextEdit_textChanged(const QString &arg1);
    void on_intervalImagesTextEdit_textChanged(const QString &arg1);
    void on_intervalMillisecondsTextEdit_editingFinished();
    void on_intervalImagesTextEdit_editingFinished();
    void on_skipFrontTextEdit_editingFinished();
    void on_skipBackTextEdit_editingFinished();
    void on_fileOutputFolderSelectButton_clicked();
    void on_imageProfileComboBox_currentIndexChanged(int index);
    void on_imageProfileEditButton_clicked();
    void on_filenameProfileComboBox_currentIndexChanged(int index);
    void on_filenameProfileEditButton_clicked();
    void on_filenameProfileComboBox_activated(const QString &);

private:
    void loadProfileComboBox(QComboBox *box, ProfileManager *manager);
    void addField(const char *propertyName, QWidget *widget, int value = -1);
    void showValue(Field *field, const QVariant &value);
    void clearField(Field *field);
    void relabelProfilePlaceholder(QWidget *widget, const QString &text);
    void typedIntoInterval(QLineEdit *edit, const QString &text);
    bool acceptable(QLineEdit *edit) const;
    void undoUnacceptable(QLineEdit *edit);
    void profileChosen(QComboBox *box, ProfileManager *manager, int index);
    bool outputFoldersReady();
    QString multipleText() const;

    std::unique_ptr<Ui::BatchModeDialog> ui;
    BatchModeListModel *model;
    QList<Field *> fields;
    bool loading = false;
    bool choosingInterval = false;
    // The numbers a number box accepts; the jobs never receive anything else.
    QHash<QLineEdit *, QPair<qint64, qint64>> ranges;
};
