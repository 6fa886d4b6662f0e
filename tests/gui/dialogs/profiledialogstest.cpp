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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

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

    QVERIFY(QDir(path).removeRecursively());
    QVERIFY(!QFile::exists(aside) || QFile::rename(aside, path));
    child<QPushButton>(dialog.get(), "saveButton")->click();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(readFile(path).contains("Kept On Screen"));
}

QTEST_MAIN(ProfileDialogsTest)
#include "profiledialogstest.moc"
