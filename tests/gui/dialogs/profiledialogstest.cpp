#include "dialogs/filenameprofiledialog.h"
#include "dialogs/imageprofiledialog.h"
#include "dialogs/watermarkprofiledialog.h"
#include "modaldialogs.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

using DialogMaker = std::function<QDialog *()>;
Q_DECLARE_METATYPE(DialogMaker)

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template<typename T>
T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(found, "child", name);
    return found;
}

void typeName(QDialog *dialog, const QString &name)
{
    child<QComboBox>(dialog, "profileComboBox")->setEditText(name);
}

// The line edit the form shows in place of `own` (itself, or the video-size substitute).
QLineEdit *shownEdit(QDialog *dialog, const char *own, const char *substitute)
{
    auto *edit = child<QLineEdit>(dialog, own);
    return edit->isVisibleTo(dialog) ? edit : child<QLineEdit>(dialog, substitute);
}
}

class ProfileDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void newProfileKeepsForm_data();
    void newProfileKeepsForm();
    void refusedValues_data();
    void refusedValues();
    void fileNameExample_data();
    void fileNameExample();
    void cancelLeavesStoreUntouched();
    void sameSizeShowsVideoSize_data();
    void sameSizeShowsVideoSize();
    void watermarkListStartsWithNone();
    void qualityReachesTheProfile();
    void unwritableStoreKeepsDialogOpen_data();
    void unwritableStoreKeepsDialogOpen();

private:
    QTemporaryDir m_home;
};

void ProfileDialogsTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
    qputenv("HOME", QFile::encodeName(m_home.path()));
}

void ProfileDialogsTest::newProfileKeepsForm_data()
{
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("key");
    QTest::newRow("file name") << DialogMaker([] { return new FileNameProfileDialog; }) << "formatPrefixLineEdit"
                               << "shot_" << "FileNameProfiles.ini" << "fileOutputPrefix";
    QTest::newRow("image") << DialogMaker([] { return new ImageProfileDialog; }) << "imageWidthLineEdit" << "320"
                           << "ImageProfiles.ini" << "imageWidth";
    QTest::newRow("first watermark") << DialogMaker([] {
        auto *dialog = new WatermarkProfileDialog;
        dialog->setProfile(nullptr);
        return dialog;
    }) << "textTextEdit" << "HELLO WORLD" << "WatermarkProfiles.ini" << "text";
}

// A new profile holds what the form shows, also when it is the first of its
// store (no watermark profile exists before this one).
void ProfileDialogsTest::newProfileKeepsForm()
{
    QFETCH(DialogMaker, make);
    QFETCH(QString, widget);
    QFETCH(QString, typed);
    QFETCH(QString, file);
    QFETCH(QString, key);
    const std::unique_ptr<QDialog> dialog(make());
    const QString name = QStringLiteral("New ") + QTest::currentDataTag();
    typeName(dialog.get(), name);
    QWidget *edit = child<QWidget>(dialog.get(), qPrintable(widget));
    QVERIFY(QMetaObject::invokeMethod(edit, "selectAll"));
    QTest::keyClicks(edit, typed);
    child<QPushButton>(dialog.get(), "saveButton")->click();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));

    QSettings ini(ProfileManager::configFilePath(file), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("profiles"));
    const QStringList ids = ini.childGroups();
    const auto saved = std::find_if(ids.cbegin(), ids.cend(), [&ini, &name](const QString &id) {
        return ini.value(id + QStringLiteral("/name")).toString() == name;
    });
    QVERIFY(saved != ids.cend());
    QCOMPARE(ini.value(*saved + QLatin1Char('/') + key).toString(), typed);
}

void ProfileDialogsTest::refusedValues_data()
{
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("warning");
    const DialogMaker image([] { return new ImageProfileDialog; });
    const DialogMaker fileName([] { return new FileNameProfileDialog; });
    QTest::newRow("width 0") << image << "imageWidthLineEdit" << "0" << "Invalid Image Size";
    QTest::newRow("negative height") << image << "imageHeightLineEdit" << "-480" << "Invalid Image Size";
    QTest::newRow("width too large") << image << "imageWidthLineEdit" << "65536" << "Invalid Image Size";
    QTest::newRow("prefix leading elsewhere") << fileName << "formatPrefixLineEdit" << "../escaped_"
                                              << "Invalid File Name";
    QTest::newRow("name with a folder") << fileName << "formatBasenameLineEdit" << "sub/name" << "Invalid File Name";
    QTest::newRow("suffix with a folder") << fileName << "formatSuffixLineEdit" << "/-" << "Invalid File Name";
}

// Sizes that make no image, and names that lead out of the output folder,
// are refused with a message; nothing is saved.
void ProfileDialogsTest::refusedValues()
{
    QFETCH(DialogMaker, make);
    QFETCH(QString, widget);
    QFETCH(QString, typed);
    QFETCH(QString, warning);
    const std::unique_ptr<QDialog> dialog(make());
    dialog->show();
    typeName(dialog.get(), QStringLiteral("Refused ") + QTest::currentDataTag());
    child<QLineEdit>(dialog.get(), qPrintable(widget))->setText(typed);
    // Held apart from this function: should no box come, the answer outlives it.
    const auto shown = std::make_shared<QString>();
    ModalDialogs::answer([shown](QWidget *box) {
        *shown = box->windowTitle();
        box->close();
    }, dialog.get());
    child<QPushButton>(dialog.get(), "saveButton")->click();
    QCOMPARE(*shown, warning);
    QVERIFY(dialog->isVisible());
    const QString file = qobject_cast<ImageProfileDialog *>(dialog.get()) ? QStringLiteral("ImageProfiles.ini")
                                                                         : QStringLiteral("FileNameProfiles.ini");
    QVERIFY(!readFile(ProfileManager::configFilePath(file)).contains("Refused"));
}

void ProfileDialogsTest::fileNameExample_data()
{
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("placeholder");
    QTest::addColumn<QString>("example");
    QTest::addColumn<QString>("singleShot");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("time");
    QTest::newRow("defaults") << QString() << QString() << "MyVideo" << "MyVideo-00001.jpeg" << "MyVideo-.jpeg"
                              << QString() << 0;
    QTest::newRow("typed prefix") << QString() << "shot_" << "MyVideo" << "shot_MyVideo-00001.jpeg"
                                  << "shot_MyVideo-.jpeg" << QString() << 0;
    QTest::newRow("base name to the first dot") << "C:/clips/holiday.2019.mp4" << QString() << "holiday"
                                                << "holiday-00001.jpeg" << "holiday-.jpeg" << QString() << 0;
    QTest::newRow("WebP") << QString() << QString() << "MyVideo" << "MyVideo-00001.webp" << "MyVideo-.webp"
                          << "webp" << 0;
    QTest::newRow("time in place of the counter") << QString() << QString() << "MyVideo"
        << "MyVideo-00h01m23s456.jpeg" << "MyVideo-00h01m23s456.jpeg" << QString() << 1;
    QTest::newRow("time beside the counter") << QString() << QString() << "MyVideo"
        << "MyVideo-00001-00h01m23s456.jpeg" << "MyVideo-00h01m23s456.jpeg" << QString() << 2;
}

void ProfileDialogsTest::fileNameExample()
{
    QFETCH(QString, video);
    QFETCH(QString, prefix);
    QFETCH(QString, placeholder);
    QFETCH(QString, example);
    QFETCH(QString, singleShot);
    QFETCH(QString, type);
    QFETCH(int, time);
    FileNameProfileDialog dialog;
    child<QPushButton>(&dialog, "resetToDefaultsButton")->click();
    if (!video.isNull())
        dialog.setVideoFileName(video);
    QTest::keyClicks(child<QLineEdit>(&dialog, "formatPrefixLineEdit"), prefix);
    auto *types = child<QComboBox>(&dialog, "formatFileExtensionComboBox");
    if (!type.isEmpty())
        types->setCurrentIndex(types->findData(type));
    child<QComboBox>(&dialog, "formatTimeComboBox")->setCurrentIndex(time);

    QCOMPARE(child<QLabel>(&dialog, "outputExampleVideoLabel")->text(), video.isNull() ? "MyVideo.mpeg" : video);
    QCOMPARE(child<QLineEdit>(&dialog, "formatBasenameLineEdit")->placeholderText(), placeholder);
    QCOMPARE(child<QLabel>(&dialog, "outputExampleLabel")->text(), example);
    QCOMPARE(child<QLabel>(&dialog, "outputExampleWithoutCounterLabel")->text(), singleShot);
}

void ProfileDialogsTest::cancelLeavesStoreUntouched()
{
    BaseProfile *given = FileNameProfile::profileManager()->profiles().first();
    const QString path = ProfileManager::configFilePath(FileNameProfile::profileManager()->fileName());
    const QByteArray before = readFile(path);
    FileNameProfileDialog dialog;
    dialog.setProfile(given);
    QTest::keyClicks(child<QLineEdit>(&dialog, "formatSuffixLineEdit"), QStringLiteral("_changed"));
    typeName(&dialog, QStringLiteral("Another Name"));
    child<QPushButton>(&dialog, "cancelButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.profile(), given);
    QCOMPARE(readFile(path), before);
    QCOMPARE(given->property("fileOutputSuffix").toString(), QStringLiteral("-"));
}

void ProfileDialogsTest::sameSizeShowsVideoSize_data()
{
    QTest::addColumn<bool>("sizeFirst");
    QTest::newRow("video size, then the box") << true;
    QTest::newRow("the box, then video size") << false;
}

void ProfileDialogsTest::sameSizeShowsVideoSize()
{
    QFETCH(bool, sizeFirst);
    ImageProfileDialog dialog;
    auto *sameSize = child<QCheckBox>(&dialog, "sameSizeAsVideoCheckbox");
    sameSize->setChecked(false);
    child<QLineEdit>(&dialog, "imageWidthLineEdit")->setText(QStringLiteral("800"));
    child<QLineEdit>(&dialog, "imageHeightLineEdit")->setText(QStringLiteral("450"));
    if (sizeFirst)
        dialog.setVideoSize(1920, 1080);
    sameSize->click();
    if (!sizeFirst)
        dialog.setVideoSize(1920, 1080);

    QLineEdit *width = shownEdit(&dialog, "imageWidthLineEdit", "videoWidthLineEdit");
    QLineEdit *height = shownEdit(&dialog, "imageHeightLineEdit", "videoHeightLineEdit");
    QCOMPARE(width->text() + QLatin1Char('x') + height->text(), QStringLiteral("1920x1080"));
    QVERIFY(!width->isEnabled() && !height->isEnabled());

    sameSize->click();
    width = shownEdit(&dialog, "imageWidthLineEdit", "videoWidthLineEdit");
    height = shownEdit(&dialog, "imageHeightLineEdit", "videoHeightLineEdit");
    QCOMPARE(width->text() + QLatin1Char('x') + height->text(), QStringLiteral("800x450"));

    sameSize->click();
    typeName(&dialog, QStringLiteral("Same Size ") + QTest::currentDataTag());
    child<QPushButton>(&dialog, "saveButton")->click();
    auto *saved = qobject_cast<ImageProfile *>(dialog.profile());
    QVERIFY(saved);
    QVERIFY(saved->sameSizeAsVideo());
    QCOMPARE(QSize(saved->imageWidth(), saved->imageHeight()), QSize(800, 450));
}

void ProfileDialogsTest::watermarkListStartsWithNone()
{
    auto *watermark = new WatermarkProfile;
    watermark->setName(QStringLiteral("Signature"));
    WatermarkProfile::profileManager()->addProfile(watermark);
    ImageProfileDialog dialog;
    auto *list = child<QComboBox>(&dialog, "watermarkProfileComboBox");
    QCOMPARE(list->itemText(0), QStringLiteral("[No Watermark]"));
    QCOMPARE(list->itemData(list->count() - 1).toString(), watermark->id());

    list->setCurrentIndex(list->count() - 1);
    typeName(&dialog, QStringLiteral("With Signature"));
    child<QPushButton>(&dialog, "saveButton")->click();
    QCOMPARE(dialog.profile()->property("watermarkProfileId").toString(), watermark->id());

    ImageProfileDialog again;
    again.setProfile(dialog.profile());
    child<QComboBox>(&again, "watermarkProfileComboBox")->setCurrentIndex(0);
    child<QPushButton>(&again, "saveButton")->click();
    QCOMPARE(again.profile()->property("watermarkProfileId").toString(), QString());
}

// A quality is stored as typed; "Default" (0) leaves it to Qt, as no setting did.
void ProfileDialogsTest::qualityReachesTheProfile()
{
    ImageProfileDialog dialog;
    auto *quality = child<QSpinBox>(&dialog, "imageQualitySpinBox");
    QCOMPARE(quality->text(), QStringLiteral("Default"));
    quality->setValue(85);
    typeName(&dialog, QStringLiteral("Fine JPEG"));
    child<QPushButton>(&dialog, "saveButton")->click();
    QCOMPARE(qobject_cast<ImageProfile *>(dialog.profile())->imageQuality(), 85);

    ImageProfileDialog again;
    again.setProfile(dialog.profile());
    QCOMPARE(child<QSpinBox>(&again, "imageQualitySpinBox")->value(), 85);
}

void ProfileDialogsTest::unwritableStoreKeepsDialogOpen_data()
{
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<QString>("file");
    QTest::newRow("file name") << DialogMaker([] { return new FileNameProfileDialog; })
                               << "FileNameProfiles.ini";
    QTest::newRow("image") << DialogMaker([] { return new ImageProfileDialog; }) << "ImageProfiles.ini";
    QTest::newRow("watermark") << DialogMaker([] { return new WatermarkProfileDialog; })
                               << "WatermarkProfiles.ini";
}

void ProfileDialogsTest::unwritableStoreKeepsDialogOpen()
{
    QFETCH(DialogMaker, make);
    QFETCH(QString, file);
    const std::unique_ptr<QDialog> dialog(make());
    dialog->show();
    typeName(dialog.get(), QStringLiteral("Kept On Screen"));

    // A folder standing where the file should be cannot be written, whatever the user's rights.
    const QString path = ProfileManager::configFilePath(file);
    const QString aside = path + QLatin1String(".aside");
    QVERIFY(!QFile::exists(path) || QFile::rename(path, aside));
    QVERIFY(QDir().mkpath(path));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not write the profiles")));
    QString warning;
    ModalDialogs::answer([&warning](QWidget *box) {
        warning = box->windowTitle();
        box->close();
    });
    child<QPushButton>(dialog.get(), "saveButton")->click();
    QCOMPARE(warning, QStringLiteral("Profile Not Saved"));
    QVERIFY(dialog->isVisible());
    // The store keeps what its file holds: no other window lists the name.
    const QList<ProfileManager *> stores{FileNameProfile::profileManager(), ImageProfile::profileManager(),
                                         WatermarkProfile::profileManager()};
    for (const ProfileManager *store : stores) {
        const auto profiles = store->profiles();
        for (const BaseProfile *profile : profiles)
            QVERIFY(store->fileName() != file || profile->name() != QLatin1String("Kept On Screen"));
    }

    QVERIFY(QDir(path).removeRecursively());
    QVERIFY(!QFile::exists(aside) || QFile::rename(aside, path));
    child<QPushButton>(dialog.get(), "saveButton")->click();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(readFile(path).contains("Kept On Screen"));
}

QTEST_MAIN(ProfileDialogsTest)
#include "profiledialogstest.moc"
