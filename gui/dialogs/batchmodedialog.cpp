#include "batchmodedialog.h"
#include "ui_batchmodedialog.h"

#include "batchmodelistmodel.h"
#include "batchprocessingdialog.h"
#include "filenameprofiledialog.h"
#include "imageprofiledialog.h"
#include "nofocusitemdelegate.h"
#include "widgets/fieldbinding.h"
#include "widgets/screenfit.h"
#include "widgets/smartfiledialog.h"

#include "batch/batchworkerconfig.h"
#include "imaging/contactsheet.h"
#include "profiles/field.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"

// Qt
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelection>
#include <QLayout>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSettings>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QtGlobal>

#include <limits>

namespace {
// The list of images written that a batch keeps in each output folder when
// asked, and the per-user setting that remembers the asking.
const QString ImageListName = QStringLiteral("tindra-images.csv");
const QString ImageListKey = QStringLiteral("batchImageList");

// Combined values of the selected jobs that no job setting ever takes: none
// looked at yet, and values that differ between the jobs.
const int UnsetMarker = std::numeric_limits<int>::min();
const int MultipleMarker = UnsetMarker + 1;

bool isMarker(const QVariant &value, int marker)
{
    return value.userType() == QMetaType::Int && value.toInt() == marker;
}

// An interval setting only means something to a job of its interval type.
QVariant jobValue(const BatchWorkerConfig *config, const char *propertyName)
{
    static const QHash<QByteArray, int> typeOfSetting = {
        { "intervalMilliseconds", BatchWorkerConfig::EveryInterval },
        { "intervalImages", BatchWorkerConfig::ImageCount },
        { "intervalSingleShot", BatchWorkerConfig::SingleImage },
    };
    const auto type = typeOfSetting.constFind(propertyName);
    if (type != typeOfSetting.constEnd() && config->intervalType() != *type)
        return QVariant();
    return config->property(propertyName);
}

// The first item of a list that must never be picked: a placeholder.
void makePlaceholder(QComboBox *box, int index)
{
    if (auto *items = qobject_cast<QStandardItemModel *>(box->model()))
        if (QStandardItem *item = items->item(index))
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
}

// Whether all jobs share one profile, and which.
template<typename Profile>
Profile *sharedProfile(const QVector<BatchWorkerConfig *> &configs, Profile *(BatchWorkerConfig::*profileOf)() const)
{
    Profile *shared = configs.isEmpty() ? nullptr : (configs.constFirst()->*profileOf)();
    for (const BatchWorkerConfig *config : configs)
        if ((config->*profileOf)() != shared)
            return nullptr;
    return shared;
}

// The picture size of all the jobs' videos, or none when they differ.
QSize sharedVideoSize(const QVector<BatchWorkerConfig *> &configs)
{
    QSize shared(0, 0);
    for (int i = 0; i < configs.size(); ++i) {
        const QSize size(configs.at(i)->videoInfo().width(), configs.at(i)->videoInfo().height());
        if (i > 0 && size != shared)
            return QSize(0, 0);
        shared = size;
    }
    return shared;
}
}

BatchModeDialog::BatchModeDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::BatchModeDialog>())
{
    ui->setupUi(this);
    for (QGroupBox *box : findChildren<QGroupBox *>())
        if (QLayout *layout = box->layout())
            layout->setContentsMargins(10, 10, 10, 10);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // The buttons stay in reach on a small screen; the rest scrolls.
    ScreenFit::scrollBody(ui->verticalLayout, 1);
    ScreenFit::keepOnScreen(this);

    model = new BatchModeListModel(this);
    ui->filesTableView->setModel(model);
    ui->filesTableView->setItemDelegate(new NoFocusItemDelegate(this));
    QHeaderView *header = ui->filesTableView->horizontalHeader();
    header->setHighlightSections(false);
    // The folder takes what the short columns leave.
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(BatchModeListModel::DestinationColumn, QHeaderView::Stretch);
    connect(ui->filesTableView->selectionModel(), &QItemSelectionModel::selectionChanged,
            this, &BatchModeDialog::loadFormValues);

    loadProfileComboBox(ui->imageProfileComboBox, ImageProfile::profileManager());
    loadProfileComboBox(ui->filenameProfileComboBox, FileNameProfile::profileManager());
    loadSingleShotComboBox();

    addField("source", ui->selectedVideoFileNameLabel);
    addField("imageProfileId", ui->imageProfileComboBox);
    addField("fileOutputPath", ui->fileOutputFolderTextEdit);
    addField("filenameProfileId", ui->filenameProfileComboBox);
    addField("filenameExample", ui->filenameOutputExampleLabel);
    addField("intervalType", ui->intervalMillisecondsRadioButton, BatchWorkerConfig::EveryInterval);
    addField("intervalType", ui->intervalImagesRadioButton, BatchWorkerConfig::ImageCount);
    addField("intervalType", ui->intervalSingleShotRadioButton, BatchWorkerConfig::SingleImage);
    addField("intervalType", ui->intervalShotsRadioButton, BatchWorkerConfig::Shots);
    addField("skipBlank", ui->skipBlankCheckBox);
    addField("intervalMilliseconds", ui->intervalMillisecondsTextEdit);
    addField("intervalImages", ui->intervalImagesTextEdit);
    addField("intervalSingleShot", ui->intervalSingleShotComboBox);
    addField("keyFramesOnly", ui->keyFramesOnlyCheckBox);
    addField("skipFront", ui->skipFrontTextEdit);
    addField("skipBack", ui->skipBackTextEdit);
    addField("contactSheet", ui->contactSheetCheckBox);
    addField("sheetColumns", ui->sheetColumnsTextEdit);
    addField("sheetRows", ui->sheetRowsTextEdit);

    // Times up to the 24 days tindracmd takes too.
    const qint64 intMax = std::numeric_limits<int>::max();
    ranges.insert(ui->intervalMillisecondsTextEdit, { 1, intMax });
    ranges.insert(ui->intervalImagesTextEdit, { 1, intMax });
    ranges.insert(ui->skipFrontTextEdit, { 0, intMax });
    ranges.insert(ui->skipBackTextEdit, { 0, intMax });
    ranges.insert(ui->sheetColumnsTextEdit, { 1, ContactSheet::MaxColumns });
    ranges.insert(ui->sheetRowsTextEdit, { 1, ContactSheet::MaxRows });

    // After the fields' own handlers, so the jobs hold the new type first.
    for (QRadioButton *button : { ui->intervalImagesRadioButton, ui->intervalMillisecondsRadioButton,
                                  ui->intervalSingleShotRadioButton, ui->intervalShotsRadioButton })
        connect(button, &QRadioButton::clicked, this, &BatchModeDialog::loadFormValues);
    // A sheet changes the jobs' example names.
    connect(ui->contactSheetCheckBox, &QCheckBox::clicked, this, &BatchModeDialog::loadFormValues);
    for (QLineEdit *edit : { ui->sheetColumnsTextEdit, ui->sheetRowsTextEdit })
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { undoUnacceptable(edit); });

    ui->imageListCheckBox->setChecked(QSettings().value(ImageListKey, false).toBool());
    updateFieldsEnabled();
}

BatchModeDialog::~BatchModeDialog() = default;

QString BatchModeDialog::multipleText() const
{
    return QLatin1Char('[') + tr("Multiple") + QLatin1Char(']');
}

void BatchModeDialog::addField(const char *propertyName, QWidget *widget, int value)
{
    auto *field = new Field(this);
    field->propertyName = propertyName;
    field->widget = widget;
    field->value = value;
    fields.append(field);
    FieldBinding::onChange(field, this, [this, field] {
        if (!loading)
            fieldUpdated(field);
    });
}

void BatchModeDialog::loadProfileComboBox(QComboBox *box, ProfileManager *manager)
{
    const QScopedValueRollback<bool> guard(loading, true);
    box->clear();
    box->addItem(QStringLiteral("-"), QStringLiteral("-"));
    for (const BaseProfile *profile : manager->profiles())
        box->addItem(profile->name(), profile->id());
    makePlaceholder(box, 0);
}

void BatchModeDialog::loadSingleShotComboBox()
{
    const QScopedValueRollback<bool> guard(loading, true);
    QComboBox *box = ui->intervalSingleShotComboBox;
    box->clear();
    box->addItem(QStringLiteral("-"), QStringLiteral("-"));
    box->addItem(tr("front"), int(BatchWorkerConfig::Front));
    box->addItem(tr("middle"), int(BatchWorkerConfig::Middle));
    box->addItem(tr("back"), int(BatchWorkerConfig::Back));
    makePlaceholder(box, 0);
}

QVector<BatchWorkerConfig *> BatchModeDialog::getSelectedConfigs()
{
    QVector<BatchWorkerConfig *> configs;
    const QModelIndexList rows = ui->filesTableView->selectionModel()->selectedRows(0);
    for (const QModelIndex &index : rows)
        if (BatchWorkerConfig *config = model->configAt(index.row()))
            configs.append(config);
    return configs;
}

/*
 * Shows the selected jobs: each field gets the value all of them share, or
 * the multiple marker as soon as two of them differ.
 */
void BatchModeDialog::loadFormValues()
{
    // Not again while the dialog writes into the widgets: whatever a widget's
    // change sets off then must not start another load, or the two could
    // call each other without end.
    if (loading)
        return;
    const QScopedValueRollback<bool> guard(loading, true);
    const QVector<BatchWorkerConfig *> configs = getSelectedConfigs();
    if (!configs.isEmpty()) {
        for (Field *field : qAsConst(fields)) {
            QVariant combined = UnsetMarker;
            for (const BatchWorkerConfig *config : configs) {
                const QVariant value = jobValue(config, field->propertyName);
                if (isMarker(combined, UnsetMarker)) {
                    combined = value;
                } else if (combined != value) {
                    combined = MultipleMarker;
                    break;
                }
            }
            showValue(field, combined);
        }
    }
    updateFieldsEnabled();
}

void BatchModeDialog::showValue(Field *field, const QVariant &value)
{
    const bool multiple = isMarker(value, MultipleMarker);
    relabelProfilePlaceholder(field->widget, multiple ? multipleText() : QStringLiteral("-"));
    if (multiple) {
        FieldBinding::showMixed(field, multipleText());
    } else {
        FieldBinding::endMixed(field);
        FieldBinding::show(field, value);
    }
}

void BatchModeDialog::fieldUpdated(Field *field)
{
    const QVariant value = FieldBinding::valueToStore(field);
    if (!value.isValid())
        return;
    FieldBinding::endMixed(field);
    // Only number boxes have ranges: a number out of range is undone when the
    // box is left; until then the jobs keep the value they had.
    if (auto *edit = qobject_cast<QLineEdit *>(field->widget); edit && !acceptable(edit))
        return;
    const QVector<BatchWorkerConfig *> configs = getSelectedConfigs();
    for (BatchWorkerConfig *config : configs) {
        config->setProperty(field->propertyName, value);
        model->configChanged(config);
    }
}

void BatchModeDialog::updateFieldsEnabled()
{
    const QScopedValueRollback<bool> guard(loading, true);
    ui->startButton->setEnabled(model->rowCount() > 0);
    const bool selected = ui->filesTableView->selectionModel()->hasSelection();
    if (!selected)
        ui->selectedVideoFileNameLabel->setText(tr("[No Video Selected]"));
    for (QWidget *widget : { static_cast<QWidget *>(ui->removeVideoButton), static_cast<QWidget *>(ui->selectedVideoGroupBox),
                             static_cast<QWidget *>(ui->imageProfileGroupBox), static_cast<QWidget *>(ui->intervalGroupBox),
                             static_cast<QWidget *>(ui->skipGroupBox), static_cast<QWidget *>(ui->fileOutputGroupBox) })
        widget->setEnabled(selected);
    for (Field *field : qAsConst(fields)) {
        field->widget->setEnabled(selected);
        if (!selected)
            clearField(field);
    }
}

void BatchModeDialog::clearField(Field *field)
{
    const QScopedValueRollback<bool> guard(loading, true);
    relabelProfilePlaceholder(field->widget, QStringLiteral("-"));
    FieldBinding::clear(field);
}

// Of the lists, only the profile lists say in their placeholder item that
// the jobs' profiles differ.
void BatchModeDialog::relabelProfilePlaceholder(QWidget *widget, const QString &text)
{
    if (widget == ui->imageProfileComboBox || widget == ui->filenameProfileComboBox)
        static_cast<QComboBox *>(widget)->setItemText(0, text);
}

void BatchModeDialog::addVideos(const QStringList &paths)
{
    const int first = model->rowCount();
    for (const QString &path : paths) {
        if (path.isEmpty())
            continue;
        auto *config = new BatchWorkerConfig(this);
        config->loadDefaults();
        config->setSource(path);
        config->loadVideoInfo();
        model->addConfig(config);
    }
    const int last = model->rowCount() - 1;
    if (last < first)
        return;
    QItemSelectionModel *selection = ui->filesTableView->selectionModel();
    selection->setCurrentIndex(model->index(first, 0), QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(model->index(first, 0), model->index(last, model->columnCount() - 1)),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void BatchModeDialog::on_loadVideoButton_clicked()
{
    // New jobs start from the settings of the job last worked on.
    saveBatchWorkerConfigDefault();
    SmartFileDialog dialog(this, QStringLiteral("openDialog"));
    dialog.setVideoNameFilters();
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted)
        return;
    addVideos(dialog.selectedFiles());
    raise();
    activateWindow();
    ui->filesTableView->setFocus();
}

void BatchModeDialog::on_removeVideoButton_clicked()
{
    model->removeIndexes(ui->filesTableView->selectionModel()->selectedRows(0));
    updateFieldsEnabled();
    ui->filesTableView->setFocus();
}

void BatchModeDialog::on_selectAllVideoButton_clicked()
{
    ui->filesTableView->selectAll();
    ui->filesTableView->setFocus();
}

void BatchModeDialog::on_cancelButton_clicked()
{
    close();
}

// Every job must be able to write its images before any runs: missing
// folders are made when the user agrees, anything else is refused with the
// reason.
bool BatchModeDialog::outputFoldersReady()
{
    QStringList missing;
    const QVector<BatchWorkerConfig *> configs = model->configs();
    for (const BatchWorkerConfig *config : configs) {
        const QString video = QFileInfo(config->source()).fileName();
        const QString folder = config->fileOutputPath();
        const QFileInfo info(folder);
        QString problem;
        if (folder.trimmed().isEmpty() || info.isRelative())
            problem = tr("The job for %1 has no output folder. Please choose one.").arg(video);
        else if (!info.exists() && !missing.contains(folder))
            missing.append(folder);
        else if (info.exists() && !info.isDir())
            problem = tr("The output folder %1 of %2 is a file.").arg(folder, video);
        else if (info.exists() && !info.isWritable())
            problem = tr("The output folder %1 of %2 is not writable.").arg(folder, video);
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, tr("Cannot Start"), problem);
            return false;
        }
    }
    if (missing.isEmpty())
        return true;
    const QString question = (missing.size() == 1 ? tr("Create folder?") : tr("Create folders?"))
        + QStringLiteral("\r\n") + missing.join(QLatin1Char('\n'));
    if (QMessageBox::question(this, QStringLiteral("Folder does not exist"), question,
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton)
        != QMessageBox::Yes)
        return false;
    for (const QString &folder : qAsConst(missing)) {
        if (!QDir().mkpath(folder)) {
            QMessageBox::warning(this, tr("Cannot Start"), tr("The folder %1 could not be created.").arg(folder));
            return false;
        }
    }
    return true;
}

void BatchModeDialog::on_startButton_clicked()
{
    saveBatchWorkerConfigDefault();
    if (!outputFoldersReady())
        return;
    const bool imageList = ui->imageListCheckBox->isChecked();
    QSettings().setValue(ImageListKey, imageList);
    BatchProcessingDialog dialog(this);
    if (imageList)
        dialog.setImageListName(ImageListName);
    const QVector<BatchWorkerConfig *> configs = model->configs();
    for (BatchWorkerConfig *config : configs)
        dialog.addConfig(config);
    dialog.exec();
    // A worker may have rewritten its job (a count of one image is a single shot).
    model->allConfigsChanged();
    loadFormValues();
}

bool BatchModeDialog::acceptable(QLineEdit *edit) const
{
    const auto range = ranges.constFind(edit);
    if (range == ranges.constEnd())
        return true;
    bool isNumber = false;
    const qint64 number = edit->text().toLongLong(&isNumber);
    return isNumber && number >= range->first && number <= range->second;
}

// What cannot be a job's value is taken back when the box is left; what the
// undo history cannot take back is replaced by the jobs' values.
void BatchModeDialog::undoUnacceptable(QLineEdit *edit)
{
    while (!acceptable(edit) && edit->isUndoAvailable())
        edit->undo();
    if (!acceptable(edit))
        loadFormValues();
}

// Typing a number into an interval box chooses its interval type; a number
// the box refuses (and undoes when it is left) changes nothing.
void BatchModeDialog::typedIntoInterval(QLineEdit *edit, const QString &text)
{
    QRadioButton *button = edit == ui->intervalImagesTextEdit ? ui->intervalImagesRadioButton
                                                              : ui->intervalMillisecondsRadioButton;
    // Choosing the type reloads the form and puts the text back, which must
    // not choose again: should the jobs not take the type, that would recurse.
    if (loading || choosingInterval || text.isEmpty() || button->isChecked() || !acceptable(edit))
        return;
    const QScopedValueRollback<bool> guard(choosingInterval, true);
    resetIntervalWidgets();
    button->click();
    // Put back as an edit of its own, which leaving the box can still undo.
    edit->selectAll();
    edit->insert(text);
}

void BatchModeDialog::on_intervalMillisecondsTextEdit_textChanged(const QString &arg1)
{
    typedIntoInterval(ui->intervalMillisecondsTextEdit, arg1);
}

void BatchModeDialog::on_intervalImagesTextEdit_textChanged(const QString &arg1)
{
    typedIntoInterval(ui->intervalImagesTextEdit, arg1);
}

void BatchModeDialog::on_intervalMillisecondsTextEdit_editingFinished()
{
    undoUnacceptable(ui->intervalMillisecondsTextEdit);
}

void BatchModeDialog::on_intervalImagesTextEdit_editingFinished()
{
    undoUnacceptable(ui->intervalImagesTextEdit);
}

void BatchModeDialog::on_skipFrontTextEdit_editingFinished()
{
    undoUnacceptable(ui->skipFrontTextEdit);
}

void BatchModeDialog::on_skipBackTextEdit_editingFinished()
{
    undoUnacceptable(ui->skipBackTextEdit);
}

void BatchModeDialog::resetIntervalWidgets()
{
    ui->intervalMillisecondsRadioButton->setEnabled(true);
    ui->intervalImagesRadioButton->setEnabled(true);
    ui->intervalMillisecondsTextEdit->setPlaceholderText(QString());
    ui->intervalImagesTextEdit->setPlaceholderText(QString());
}

void BatchModeDialog::on_fileOutputFolderSelectButton_clicked()
{
    SmartFileDialog dialog(this, QStringLiteral("batchOutputFolder"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    const QString typed = ui->fileOutputFolderTextEdit->text();
    dialog.setDirectory(!typed.isEmpty() && QDir(typed).exists()
                            ? typed
                            : QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    ui->fileOutputFolderTextEdit->setText(QDir::toNativeSeparators(QDir(dialog.selectedFiles().constFirst()).absolutePath()));
}

// Picking a profile for jobs also makes it the one new jobs start with.
void BatchModeDialog::profileChosen(QComboBox *box, ProfileManager *manager, int index)
{
    QPushButton *edit = box == ui->imageProfileComboBox ? ui->imageProfileEditButton : ui->filenameProfileEditButton;
    edit->setEnabled(index != 0);
    if (index >= 1)
        manager->setCurrentProfile(manager->profileById(box->itemData(index).toString()));
}

void BatchModeDialog::on_imageProfileComboBox_currentIndexChanged(int index)
{
    profileChosen(ui->imageProfileComboBox, ImageProfile::profileManager(), index);
}

void BatchModeDialog::on_filenameProfileComboBox_currentIndexChanged(int index)
{
    profileChosen(ui->filenameProfileComboBox, FileNameProfile::profileManager(), index);
}

void BatchModeDialog::on_filenameProfileComboBox_activated(const QString &)
{
    loadFormValues();
}

void BatchModeDialog::on_imageProfileEditButton_clicked()
{
    const QVector<BatchWorkerConfig *> configs = getSelectedConfigs();
    ImageProfileDialog dialog(this);
    dialog.setProfile(sharedProfile(configs, &BatchWorkerConfig::imageProfile));
    // "Same Size as Video" can only show a size that all the videos have.
    const QSize size = sharedVideoSize(configs);
    dialog.setVideoSize(size.width(), size.height());
    dialog.exec();
    if (auto *profile = qobject_cast<ImageProfile *>(dialog.profile()))
        for (BatchWorkerConfig *config : configs)
            config->setImageProfile(profile);
    loadProfileComboBox(ui->imageProfileComboBox, ImageProfile::profileManager());
    model->allConfigsChanged();
    loadFormValues();
}

void BatchModeDialog::on_filenameProfileEditButton_clicked()
{
    const QVector<BatchWorkerConfig *> configs = getSelectedConfigs();
    FileNameProfileDialog dialog(this);
    dialog.setProfile(sharedProfile(configs, &BatchWorkerConfig::fileNameProfile));
    if (!configs.isEmpty())
        dialog.setVideoFileName(configs.constFirst()->source());
    dialog.exec();
    if (auto *profile = qobject_cast<FileNameProfile *>(dialog.profile()))
        for (BatchWorkerConfig *config : configs)
            config->setFileNameProfile(profile);
    loadProfileComboBox(ui->filenameProfileComboBox, FileNameProfile::profileManager());
    // Jobs that are not selected may use the edited profile too.
    model->allConfigsChanged();
    loadFormValues();
}

void BatchModeDialog::saveBatchWorkerConfigDefault()
{
    const QVector<BatchWorkerConfig *> selected = getSelectedConfigs();
    BatchWorkerConfig *config = !selected.isEmpty() ? selected.constLast() : model->configAt(model->rowCount() - 1);
    if (config)
        config->saveDefaults();
}
