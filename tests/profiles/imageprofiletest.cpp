#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString ImageProfiles = QStringLiteral("ImageProfiles.ini");
}

class ImageProfileTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void defaults();
    void storedValuesSurviveLoadAndSave();
    void wrongValueKeepsDefaultAndOtherProfiles();
    void storeStartsWithADefaultProfile();

private:
    QString configPath() const { return ProfileManager::configFilePath(ImageProfiles); }
    bool writeConfig(const QByteArray &ini) const;

    QTemporaryDir m_home;
};

void ImageProfileTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
}

bool ImageProfileTest::writeConfig(const QByteArray &ini) const
{
    QFile file(configPath());
    return file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size();
}

void ImageProfileTest::defaults()
{
    const ImageProfile profile;
    QCOMPARE(profile.name(), QStringLiteral("Image Profile"));
    QCOMPARE(profile.sameSizeAsVideo(), false);
    QCOMPARE(profile.imageWidth(), 640);
    QCOMPARE(profile.imageHeight(), 480);
    QCOMPARE(profile.maintainAspectRatio(), false);
    QCOMPARE(profile.imageContrast(), 0);
    QCOMPARE(profile.imageBrightness(), 0);
    QCOMPARE(profile.watermarkProfileId(), QString());
    QCOMPARE(profile.imageQuality(), -1);
}

// Values no editor sets (contrast, brightness) and a watermark id that names
// no profile are written back exactly as they were read.
void ImageProfileTest::storedValuesSurviveLoadAndSave()
{
    QVERIFY(writeConfig("[profiles]\n"
                        "P1\\id=P1\nP1\\name=Web\nP1\\imageContrast=12\nP1\\imageBrightness=-7\n"
                        "P1\\watermarkProfileId=deleted-watermark\nP1\\maintainAspectRatio=true\n"
                        "P1\\sameSizeAsVideo=false\nP1\\imageWidth=1280\nP1\\imageHeight=720\n"));
    {
        ProfileManager store(ImageProfiles, [] { return new ImageProfile; }, true);
        auto *profile = qobject_cast<ImageProfile *>(store.profileById(QStringLiteral("P1")));
        QVERIFY(profile);
        QCOMPARE(profile->imageContrast(), 12);
        QCOMPARE(profile->imageBrightness(), -7);
        QCOMPARE(profile->imageWidth(), 1280);
        QCOMPARE(profile->maintainAspectRatio(), true);
        // Written before the quality was a setting: Qt's default.
        QCOMPARE(profile->imageQuality(), -1);
        QVERIFY(store.save());
    }
    QSettings settings(configPath(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("profiles/P1"));
    QCOMPARE(settings.value("imageContrast").toString(), QStringLiteral("12"));
    QCOMPARE(settings.value("imageBrightness").toString(), QStringLiteral("-7"));
    QCOMPARE(settings.value("watermarkProfileId").toString(), QStringLiteral("deleted-watermark"));
    QCOMPARE(settings.value("maintainAspectRatio").toString(), QStringLiteral("true"));
    QCOMPARE(settings.value("imageHeight").toString(), QStringLiteral("720"));
}

void ImageProfileTest::wrongValueKeepsDefaultAndOtherProfiles()
{
    QVERIFY(writeConfig("[profiles]\n"
                        "P1\\id=P1\nP1\\name=broken\nP1\\imageWidth=abc\nP1\\imageHeight=300\nP1\\sortOrder=0\n"
                        "P2\\id=P2\nP2\\name=fine\nP2\\imageWidth=100\nP2\\sortOrder=1\n"
                        "P3\\id=P3\nP3\\name=no size\nP3\\imageWidth=0\nP3\\imageHeight=70000\nP3\\sortOrder=2\n"));
    for (const char *key : { "imageWidth", "imageWidth", "imageHeight" })
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*%1").arg(QLatin1String(key))));
    ProfileManager store(ImageProfiles, [] { return new ImageProfile; }, true);
    QCOMPARE(store.profiles().size(), 3);
    auto *broken = qobject_cast<ImageProfile *>(store.profiles().at(0));
    auto *fine = qobject_cast<ImageProfile *>(store.profiles().at(1));
    QVERIFY(broken && fine);
    QCOMPARE(broken->imageWidth(), 640);
    QCOMPARE(broken->imageHeight(), 300);
    QCOMPARE(fine->imageWidth(), 100);
    const auto *noSize = qobject_cast<ImageProfile *>(store.profiles().at(2));
    QCOMPARE(QSize(noSize->imageWidth(), noSize->imageHeight()), QSize(640, 480));

    QSettings settings(configPath(), QSettings::IniFormat);
    QCOMPARE(settings.value("profiles/P1/imageWidth").toString(), QStringLiteral("640"));
}

void ImageProfileTest::storeStartsWithADefaultProfile()
{
    QFile::remove(configPath());
    ProfileManager *store = ImageProfile::profileManager();
    QCOMPARE(store->fileName(), ImageProfiles);
    QCOMPARE(store->profiles().size(), 1);
    auto *profile = qobject_cast<ImageProfile *>(store->currentProfile());
    QVERIFY(profile);
    QCOMPARE(profile->name(), QStringLiteral("[Unnamed Settings]"));
    QCOMPARE(profile->imageWidth(), 640);

    QSettings settings(configPath(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("profiles"));
    settings.beginGroup(profile->id());
    QStringList keys = settings.childKeys();
    keys.sort();
    const QStringList expected = {"id", "imageBrightness", "imageContrast", "imageHeight", "imageQuality", "imageWidth",
                                  "maintainAspectRatio", "name", "objectName", "sameSizeAsVideo",
                                  "sortOrder", "watermarkProfileId"};
    QCOMPARE(keys, expected);
}

QTEST_GUILESS_MAIN(ImageProfileTest)
#include "imageprofiletest.moc"
