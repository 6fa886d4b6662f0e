#include "dialogs/batchmodedialog.h"
#include "dialogs/batchmodelistmodel.h"
#include "dialogs/filenameprofiledialog.h"

#include "batch/batchworkerconfig.h"
#include "modaldialogs.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "testclips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString Multiple = QStringLiteral("[Multiple]");

template<typename T>
T *child(QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    Q_ASSERT_X(found, "child", qPrintable(name));
    return found;
}

BatchModeListModel *modelOf(BatchModeDialog &dialog)
{
    return dynamic_cast<BatchModeListModel *>(child<QTableView>(&dialog, "filesTableView")->model());
}

void selectRows(BatchModeDialog &dialog, const QList<int> &rows)
{
    auto *table = child<QTableView>(&dialog, "filesTableView");
    table->clearSelection();
    for (int row : rows)
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QList<int> selectedRows(BatchModeDialog &dialog)
{
    QList<int> rows;
    const QModelIndexList selected = child<QTableView>(&dialog, "filesTableView")->selectionModel()->selectedRows();
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Waits for the run of the progress dialog to end, closes it and returns
// its summary; empty when it did not end within a minute.
QString finishRun(QWidget *progress)
{
    auto *done = child<QPushButton>(progress, "doneButton");
    if (!QTest::qWaitFor([done] { return done->text() == QLatin1String("Done"); }, 60000))
        return QString();
    const QString summary = child<QLabel>(progress, "statusLabel")->text();
    done->click();
    return summary;
}

// Selects the text of a box and types over it, as a user does.
void typeInto(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}
}

class BatchModeDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void twoJobsDiffer_data();
    void twoJobsDiffer();
    void invalidNumbersUndone_data();
    void invalidNumbersUndone();
    void nothingSelected();
    void loadThroughFileDialog();
    void outputFolderPicker();
    void startRunsEveryJob();
    void contactSheetJob();
    void startChecksFolders_data();
    void startChecksFolders();
    void editFileNameProfile_data();
    void editFileNameProfile();

private:
    QString clip(const char *name) const { return TestClips::path(QLatin1String(name)); }

    std::unique_ptr<QTemporaryDir> m_out;
    QStringList m_imageProfileIds;
};

void BatchModeDialogTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
    // Stores of an earlier run would hold more profiles.
    for (const char *file : { "ImageProfiles.ini", "FileNameProfiles.ini" })
        QFile::remove(ProfileManager::configFilePath(QLatin1String(file)));
    ProfileManager *images = ImageProfile::profileManager();
    for (const char *name : { "Thumbnails", "Posters" }) {
        BaseProfile *profile = images->createProfile();
        profile->setName(QLatin1String(name));
        images->addProfile(profile);
    }
    QVERIFY(images->save());
    for (const BaseProfile *profile : images->profiles())
        m_imageProfileIds.append(profile->id());
    QCOMPARE(m_imageProfileIds.size(), 3);
}

void BatchModeDialogTest::init()
{
    QFile::remove(ProfileManager::configFilePath(QStringLiteral("batchModeDefaults.ini")));
    m_out = std::make_unique<QTemporaryDir>();
}

void BatchModeDialogTest::twoJobsDiffer_data()
{
    QTest::addColumn<QVariantMap>("first");
    QTest::addColumn<QVariantMap>("second");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QVariantMap>("written");
    QTest::addColumn<QString>("interval");
    const QString out = QDir::toNativeSeparators(QDir::tempPath());
    QTest::newRow("output folders") << QVariantMap { { "fileOutputPath", "/a" } } << QVariantMap { { "fileOutputPath", "/b" } }
                                    << "fileOutputFolderTextEdit" << out << QVariantMap { { "fileOutputPath", out } }
                                    << "";
    // Down three times from "[Multiple]": the third profile, which neither job had.
    QTest::newRow("image profiles") << QVariantMap { { "imageProfileId", 0 } } << QVariantMap { { "imageProfileId", 1 } }
                                    << "imageProfileComboBox" << "3" << QVariantMap { { "imageProfileId", 2 } } << "";
    QTest::newRow("ten images and every 500 ms")
        << QVariantMap { { "intervalType", 1 }, { "intervalImages", 10 } }
        << QVariantMap { { "intervalType", 0 }, { "intervalMilliseconds", 500 } }
        << "intervalImagesTextEdit" << "5" << QVariantMap { { "intervalType", 1 }, { "intervalImages", 5 } }
        << "5 images";
    QTest::newRow("single image for both")
        << QVariantMap { { "intervalType", 1 }, { "intervalImages", 10 } }
        << QVariantMap { { "intervalType", 0 }, { "intervalMilliseconds", 500 } }
        << "intervalSingleShotRadioButton" << "" << QVariantMap { { "intervalType", 2 } } << "Single middle";
    QTest::newRow("each shot, blank frames skipped or not")
        << QVariantMap { { "intervalType", 3 }, { "skipBlank", true } } << QVariantMap { { "skipBlank", false } }
        << "skipBlankCheckBox" << "" << QVariantMap { { "skipBlank", true } } << "";
    QTest::newRow("each shot and ten images")
        << QVariantMap { { "intervalType", 3 } } << QVariantMap { { "intervalType", 1 } }
        << "intervalShotsRadioButton" << "" << QVariantMap { { "intervalType", 3 } } << "";
    QTest::newRow("sheet rows") << QVariantMap { { "sheetRows", 4 } } << QVariantMap { { "sheetRows", 6 } }
                                << "sheetRowsTextEdit" << "3" << QVariantMap { { "sheetRows", 3 } } << "";
    QTest::newRow("key frames only and exact") << QVariantMap { { "keyFramesOnly", true } }
                                               << QVariantMap { { "keyFramesOnly", false } } << "keyFramesOnlyCheckBox"
                                               << QString() << QVariantMap { { "keyFramesOnly", true } } << "";
}

// Differing values read "[Multiple]"; a change goes into every selected job.
void BatchModeDialogTest::twoJobsDiffer()
{
    QFETCH(QVariantMap, first);
    QFETCH(QVariantMap, second);
    QFETCH(QString, widget);
    QFETCH(QString, input);
    QFETCH(QVariantMap, written);
    QFETCH(QString, interval);
    // Profiles are named by their place in the store, which the data cannot know.
    const auto resolve = [this](QVariantMap values) {
        if (values.contains("imageProfileId"))
            values["imageProfileId"] = m_imageProfileIds.at(values["imageProfileId"].toInt());
        return values;
    };
    BatchModeDialog dialog;
    dialog.addVideos({ clip("h264-10s.mp4"), clip("vp9.webm"), clip("hevc10.mkv") });
    BatchModeListModel *model = modelOf(dialog);
    for (const auto &[row, values] : { std::pair(0, resolve(first)), std::pair(1, resolve(second)) })
        for (auto value = values.cbegin(); value != values.cend(); ++value)
            model->configAt(row)->setProperty(qPrintable(value.key()), value.value());
    selectRows(dialog, { 0, 1 });

    const QList<QRadioButton *> types = dialog.findChildren<QRadioButton *>();
    QCOMPARE(std::count_if(types.cbegin(), types.cend(), [](auto *type) { return type->isChecked(); }),
             first.value("intervalType") == second.value("intervalType") ? 1 : 0);
    QWidget *edited = child<QWidget>(&dialog, widget);
    if (auto *radio = qobject_cast<QRadioButton *>(edited)) {
        QVERIFY(!radio->isChecked());
        QTest::mouseClick(radio, Qt::LeftButton);
    } else if (auto *box = qobject_cast<QComboBox *>(edited)) {
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(box->currentText(), Multiple);
        for (int i = 0; i < input.toInt(); ++i)
            QTest::keyClick(box, Qt::Key_Down);
    } else if (auto *check = qobject_cast<QCheckBox *>(edited)) {
        QCOMPARE(check->checkState(), Qt::PartiallyChecked);
        check->click();
    } else {
        auto *edit = qobject_cast<QLineEdit *>(edited);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(edit->placeholderText(), Multiple);
        typeInto(edit, input);
        QCOMPARE(edit->placeholderText(), QString());
    }
    if (written.contains("intervalType")) {
        // The radio buttons said nothing while the types differed; now the
        // one of the type chosen does.
        const QStringList buttons = { "intervalMillisecondsRadioButton", "intervalImagesRadioButton",
                                      "intervalSingleShotRadioButton", "intervalShotsRadioButton" };
        const QString chosen = buttons.at(written.value("intervalType").toInt());
        for (const QRadioButton *button : dialog.findChildren<QRadioButton *>())
            QCOMPARE(button->isChecked(), button->objectName() == chosen);
    }
    written = resolve(written);
    for (int row : { 0, 1 }) {
        for (auto value = written.cbegin(); value != written.cend(); ++value)
            QCOMPARE(model->configAt(row)->property(qPrintable(value.key())), value.value());
        if (!interval.isEmpty())
            QCOMPARE(model->data(model->index(row, BatchModeListModel::IntervalColumn)).toString(), interval);
    }
    // The job left out of the selection keeps its defaults.
    QCOMPARE(model->configAt(2)->intervalMilliseconds(), 5000);
    QCOMPARE(model->configAt(2)->fileOutputPath(), QDir::toNativeSeparators(QFileInfo(clip("hevc10.mkv")).absolutePath()));
}

void BatchModeDialogTest::invalidNumbersUndone_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QVariantMap>("job");
    QTest::newRow("zero milliseconds") << "intervalMillisecondsTextEdit" << "0" << "5000"
                                       << QVariantMap { { "intervalMilliseconds", 5000 } };
    QTest::newRow("letters in milliseconds") << "intervalMillisecondsTextEdit" << "abc" << "5000"
                                             << QVariantMap { { "intervalMilliseconds", 5000 } };
    QTest::newRow("zero skip stays") << "skipFrontTextEdit" << "0" << "0" << QVariantMap { { "skipFront", 0 } };
    QTest::newRow("negative skip") << "skipBackTextEdit" << "-5" << "2000" << QVariantMap { { "skipBack", 2000 } };
    QTest::newRow("letters in a skip") << "skipBackTextEdit" << "x" << "2000" << QVariantMap { { "skipBack", 2000 } };
    // A refused number chooses no interval type either.
    QTest::newRow("zero images") << "intervalImagesTextEdit" << "0" << ""
                                 << QVariantMap { { "intervalType", 0 }, { "intervalImages", 10 } };
    QTest::newRow("21 sheet columns") << "sheetColumnsTextEdit" << "21" << "4" << QVariantMap { { "sheetColumns", 4 } };
}

void BatchModeDialogTest::invalidNumbersUndone()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QVariantMap, job);
    BatchModeDialog dialog;
    dialog.addVideos({ clip("h264-10s.mp4") });
    auto *edit = child<QLineEdit>(&dialog, box);
    typeInto(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QTEST(edit->text(), "shown");
    const BatchWorkerConfig *config = modelOf(dialog)->configAt(0);
    for (auto value = job.cbegin(); value != job.cend(); ++value)
        QCOMPARE(config->property(qPrintable(value.key())).toLongLong(), value.value().toLongLong());
}

void BatchModeDialogTest::nothingSelected()
{
    BatchModeDialog dialog;
    auto *start = child<QPushButton>(&dialog, "startButton");
    QVERIFY(!start->isEnabled());
    dialog.addVideos({ clip("h264-10s.mp4"), clip("vp9.webm") });
    QVERIFY(start->isEnabled());
    QCOMPARE(child<QLineEdit>(&dialog, "fileOutputFolderTextEdit")->text(),
             QDir::toNativeSeparators(QFileInfo(clip("vp9.webm")).absolutePath()));

    selectRows(dialog, {});
    QCOMPARE(child<QLabel>(&dialog, "selectedVideoFileNameLabel")->text(), QStringLiteral("[No Video Selected]"));
    for (const char *name : { "selectedVideoGroupBox", "imageProfileGroupBox", "intervalGroupBox", "skipGroupBox",
                              "fileOutputGroupBox" })
        QVERIFY2(!child<QGroupBox>(&dialog, name)->isEnabled(), name);
    QVERIFY(!child<QPushButton>(&dialog, "removeVideoButton")->isEnabled());
    for (const char *name : { "fileOutputFolderTextEdit", "intervalMillisecondsTextEdit", "skipFrontTextEdit" })
        QVERIFY2(child<QLineEdit>(&dialog, name)->text().isEmpty(), name);
    QCOMPARE(child<QComboBox>(&dialog, "imageProfileComboBox")->currentIndex(), 0);
    QVERIFY(start->isEnabled());

    QTest::mouseClick(child<QPushButton>(&dialog, "selectAllVideoButton"), Qt::LeftButton);
    QCOMPARE(selectedRows(dialog), QList<int>({ 0, 1 }));
    QTest::mouseClick(child<QPushButton>(&dialog, "removeVideoButton"), Qt::LeftButton);
    QCOMPARE(modelOf(dialog)->rowCount(), 0);
    QVERIFY(!start->isEnabled());
}

// New jobs start from the settings of the job selected before, and exactly
// the new rows end up selected.
void BatchModeDialogTest::loadThroughFileDialog()
{
    BatchModeDialog dialog;
    dialog.addVideos({ clip("h264-10s.mp4") });
    typeInto(child<QLineEdit>(&dialog, "intervalImagesTextEdit"), QStringLiteral("7"));
    const QStringList names = { "vp9.webm", "hevc10.mkv", "h264.ts" };
    ModalDialogs::answer([&](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        QVERIFY(files);
        files->setDirectory(QFileInfo(clip("vp9.webm")).absolutePath());
        child<QLineEdit>(files, "fileNameEdit")->setText('"' + names.join(QStringLiteral("\" \"")) + '"');
        static_cast<QDialog *>(files)->accept();
    }, &dialog);
    QTest::mouseClick(child<QPushButton>(&dialog, "loadVideoButton"), Qt::LeftButton);

    BatchModeListModel *model = modelOf(dialog);
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(selectedRows(dialog), QList<int>({ 1, 2, 3 }));
    for (int row = 1; row < 4; ++row) {
        QCOMPARE(model->configAt(row)->source(), QDir::toNativeSeparators(clip(qPrintable(names.at(row - 1)))));
        QCOMPARE(model->data(model->index(row, BatchModeListModel::IntervalColumn)).toString(), QStringLiteral("7 images"));
    }
}

void BatchModeDialogTest::outputFolderPicker()
{
    BatchModeDialog dialog;
    dialog.addVideos({ clip("h264-10s.mp4"), clip("vp9.webm") });
    ModalDialogs::answer([&](QWidget *modal) {
        auto *folders = qobject_cast<QFileDialog *>(modal);
        QVERIFY(folders);
        QCOMPARE(folders->fileMode(), QFileDialog::Directory);
        folders->setDirectory(m_out->path());
        static_cast<QDialog *>(folders)->accept();
    }, &dialog);
    QTest::mouseClick(child<QPushButton>(&dialog, "fileOutputFolderSelectButton"), Qt::LeftButton);
    const QString chosen = QDir::toNativeSeparators(QDir(m_out->path()).absolutePath());
    QCOMPARE(child<QLineEdit>(&dialog, "fileOutputFolderTextEdit")->text(), chosen);
    for (const BatchWorkerConfig *config : modelOf(dialog)->configs())
        QCOMPARE(config->fileOutputPath(), chosen);
}

// All jobs run, not only the selected ones; one that cannot be read is shown
// so in the table and fails visibly.
void BatchModeDialogTest::startRunsEveryJob()
{
    BatchModeDialog dialog;
    dialog.addVideos({ clip("h264-10s.mp4"), clip("h264-60s.mp4"), clip("random.mp4"), clip("vp9.webm"), clip("hevc10.mkv") });
    BatchModeListModel *model = modelOf(dialog);
    QCOMPARE(model->data(model->index(2, BatchModeListModel::IntervalColumn)).toString(), QStringLiteral("cannot read video"));
    for (BatchWorkerConfig *config : model->configs()) {
        config->setFileOutputPath(m_out->path());
        config->setIntervalType(BatchWorkerConfig::SingleImage);
        config->setSkipFront(0);
        config->setSkipBack(0);
    }
    selectRows(dialog, { 1, 3 });
    child<QCheckBox>(&dialog, "imageListCheckBox")->setChecked(true);
    QString summary;
    ModalDialogs::answer([&](QWidget *modal) { summary = finishRun(modal); }, &dialog);
    QTest::mouseClick(child<QPushButton>(&dialog, "startButton"), Qt::LeftButton);
    QCOMPARE(summary, QStringLiteral("4 images written. Failed: random.mp4 (cannot read video)."));
    // The image list of the folder: its header and a row for each image, naming it.
    QStringList images = QDir(m_out->path()).entryList(QDir::Files, QDir::Name);
    QVERIFY(images.removeOne(QStringLiteral("tindra-images.csv")));
    QCOMPARE(images.size(), 4);
    QFile list(QDir(m_out->path()).filePath(QStringLiteral("tindra-images.csv")));
    QVERIFY(list.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList rows = QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows.first(), QStringLiteral("image,video,position_ms,frame_time_ms,frame_number,width,height,shot"));
    QStringList listed;
    for (const QString &row : rows.mid(1))
        listed.append(QFileInfo(row.section(QLatin1Char(','), 0, 0)).fileName());
    listed.sort();
    QCOMPARE(listed, images);
}

// The contact sheet choice: the job describes and names itself as a sheet,
// and Start writes one sheet, counted as one image.
void BatchModeDialogTest::contactSheetJob()
{
    BatchModeDialog dialog;
    dialog.addVideos({ clip("h264-10s.mp4") });
    BatchModeListModel *model = modelOf(dialog);
    BatchWorkerConfig *config = model->configAt(0);
    config->setFileOutputPath(m_out->path());
    selectRows(dialog, { 0 });
    child<QCheckBox>(&dialog, "contactSheetCheckBox")->click();
    child<QCheckBox>(&dialog, "imageListCheckBox")->setChecked(false);
    typeInto(child<QLineEdit>(&dialog, "sheetColumnsTextEdit"), QStringLiteral("2"));
    typeInto(child<QLineEdit>(&dialog, "sheetRowsTextEdit"), QStringLiteral("1"));
    QVERIFY(config->contactSheet());
    QCOMPARE(model->data(model->index(0, BatchModeListModel::IntervalColumn)).toString(), QStringLiteral("Sheet 2 × 1"));
    QCOMPARE(child<QLabel>(&dialog, "filenameOutputExampleLabel")->text(), QStringLiteral("h264-10s-sheet.jpeg"));

    QString summary;
    ModalDialogs::answer([&](QWidget *modal) { summary = finishRun(modal); }, &dialog);
    QTest::mouseClick(child<QPushButton>(&dialog, "startButton"), Qt::LeftButton);
    QCOMPARE(summary, QStringLiteral("1 image written."));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList { "h264-10s-sheet.jpeg" });
    QCOMPARE(QImage(QDir(m_out->path()).filePath(QStringLiteral("h264-10s-sheet.jpeg"))).width(), 1600);
}

void BatchModeDialogTest::startChecksFolders_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("boxSays");
    QTest::addColumn<int>("images");
    QTest::newRow("missing, made") << "new/sub" << int(QMessageBox::Yes) << "Folder does not exist|Create folder?\r\n" << 1;
    QTest::newRow("missing, not made") << "new/sub" << int(QMessageBox::No) << "Folder does not exist|Create folder?\r\n" << 0;
    QTest::newRow("a file in the way") << "file" << int(QMessageBox::Ok) << "Cannot Start|The output folder " << 0;
}

// Start runs nothing that cannot write its images: missing folders are made
// when the user agrees, anything else is refused with the reason.
void BatchModeDialogTest::startChecksFolders()
{
    QFETCH(QString, folder);
    QFETCH(int, answer);
    QFETCH(QString, boxSays);
    QFETCH(int, images);
    QFile blocker(m_out->filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    BatchModeDialog dialog;
    dialog.addVideos({ clip("h264-10s.mp4") });
    BatchWorkerConfig *config = modelOf(dialog)->configAt(0);
    config->setFileOutputPath(m_out->filePath(folder));
    config->setIntervalType(BatchWorkerConfig::SingleImage);
    QString said;
    ModalDialogs::answer([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            // It ran without asking.
            finishRun(modal);
            return;
        }
        said = box->windowTitle() + QLatin1Char('|') + box->text();
        if (images > 0)
            ModalDialogs::answer(finishRun, &dialog);
        box->button(QMessageBox::StandardButton(answer))->click();
    }, &dialog);
    QTest::mouseClick(child<QPushButton>(&dialog, "startButton"), Qt::LeftButton);
    QVERIFY2(said.startsWith(boxSays), qPrintable(said));
    QCOMPARE(QDir(m_out->filePath(folder)).entryList(QDir::Files).size(), images);
    QCOMPARE(QFileInfo(m_out->filePath(folder)).isDir(), folder != QLatin1String("file") && images > 0);
}

void BatchModeDialogTest::editFileNameProfile_data()
{
    QTest::addColumn<bool>("shared");
    QTest::newRow("shared by the selected jobs") << true;
    QTest::newRow("differing between them") << false;
}

// The editor opens on the profile the selected jobs share (there is nothing
// to edit while theirs differ); an edit reaches every job using the profile,
// selected or not.
void BatchModeDialogTest::editFileNameProfile()
{
    QFETCH(bool, shared);
    BatchModeDialog dialog;
    dialog.addVideos({ clip("h264-10s.mp4"), clip("vp9.webm"), clip("hevc10.mkv") });
    BatchModeListModel *model = modelOf(dialog);
    FileNameProfile *profile = model->configAt(0)->fileNameProfile();
    if (!shared)
        model->configAt(1)->setFileNameProfile(new FileNameProfile(model->configAt(1)));
    selectRows(dialog, { 0, 1 });
    auto *edit = child<QPushButton>(&dialog, "filenameProfileEditButton");
    QCOMPARE(edit->isEnabled(), shared);
    if (!shared)
        return;

    BaseProfile *openedOn = nullptr;
    ModalDialogs::answer([&](QWidget *modal) {
        auto *editor = qobject_cast<FileNameProfileDialog *>(modal);
        QVERIFY(editor);
        openedOn = editor->profile();
        child<QLineEdit>(editor, "formatPrefixLineEdit")->setText(QStringLiteral("shot_"));
        child<QPushButton>(editor, "saveButton")->click();
    }, &dialog);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(openedOn, profile);
    QCOMPARE(model->data(model->index(2, BatchModeListModel::OutputExampleColumn)).toString(),
             QStringLiteral("shot_hevc10-00001.jpeg"));
    QCOMPARE(child<QLabel>(&dialog, "filenameOutputExampleLabel")->text(), Multiple);
    profile->setFileOutputPrefix(QString());
    QVERIFY(FileNameProfile::profileManager()->save());
}

QTEST_MAIN(BatchModeDialogTest)
#include "batchmodedialogtest.moc"
