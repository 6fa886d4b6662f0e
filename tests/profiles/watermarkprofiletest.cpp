#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString WatermarkProfiles = QStringLiteral("WatermarkProfiles.ini");

std::unique_ptr<ProfileManager> watermarkStore()
{
    return std::make_unique<ProfileManager>(WatermarkProfiles, [] { return new WatermarkProfile; }, false);
}

bool writePicture(const QString &fileName, int width, int height)
{
    QImage picture(width, height, QImage::Format_ARGB32);
    picture.fill(QColor(10, 200, 30, 128));
    return picture.save(WatermarkProfile::watermarkImagePath(fileName), "PNG");
}
}

class WatermarkProfileTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void defaults();
    void alignment_data();
    void alignment();
    void textShadowOffset();
    void fontAndColoursAreStoredAsQtVariants();
    void savedProfileKeepsFontAndColours();
    void emptyPictureNameTouchesNoDisk();
    void pictureIsLoadedOnceForAllProfiles();
    void cacheHoldsOnePictureByExactName();
    void missingOrBrokenPictureIsNull_data();
    void missingOrBrokenPictureIsNull();
    void watermarkImagePathMakesTheFolder();
    void storeStartsEmpty();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void WatermarkProfileTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
}

// Each test starts with empty configuration and data folders. The picture
// cache is shared by the whole process, so every test uses its own names.
void WatermarkProfileTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(m_home->path()));
}

void WatermarkProfileTest::defaults()
{
    const WatermarkProfile profile;
    QCOMPARE(profile.name(), QString());
    QCOMPARE(profile.watermarkType(), int(WatermarkProfile::TextWatermark));
    QCOMPARE(profile.alignmentIndex(), 8);
    QCOMPARE(profile.alignment(), Qt::AlignRight | Qt::AlignBottom);
    QCOMPARE(profile.xMargin(), 15);
    QCOMPARE(profile.yMargin(), 15);
    QCOMPARE(profile.alpha(), 255);
    QCOMPARE(profile.text(), QString());
    QCOMPARE(profile.textFont().family(), QStringLiteral("Times"));
    QCOMPARE(profile.textFont().pointSize(), 12);
    QCOMPARE(profile.textFont().weight(), int(QFont::Normal));
    QCOMPARE(profile.textFont().italic(), false);
    QCOMPARE(profile.textColor(), QColor(255, 255, 255, 225));
    QCOMPARE(profile.textShadowColor(), QColor(0, 0, 0, 175));
    QCOMPARE(profile.textShadowOffset(), QPoint(0, 0));
    QCOMPARE(profile.imageFile(), QString());
}

void WatermarkProfileTest::alignment_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expected");

    QTest::newRow("0 top left") << 0 << int(Qt::AlignLeft | Qt::AlignTop);
    QTest::newRow("1 top centre") << 1 << int(Qt::AlignHCenter | Qt::AlignTop);
    QTest::newRow("2 top right") << 2 << int(Qt::AlignRight | Qt::AlignTop);
    QTest::newRow("3 middle left") << 3 << int(Qt::AlignLeft | Qt::AlignVCenter);
    QTest::newRow("4 centre") << 4 << int(Qt::AlignHCenter | Qt::AlignVCenter);
    QTest::newRow("5 middle right") << 5 << int(Qt::AlignRight | Qt::AlignVCenter);
    QTest::newRow("6 bottom left") << 6 << int(Qt::AlignLeft | Qt::AlignBottom);
    QTest::newRow("7 bottom centre") << 7 << int(Qt::AlignHCenter | Qt::AlignBottom);
    QTest::newRow("8 bottom right") << 8 << int(Qt::AlignRight | Qt::AlignBottom);
    QTest::newRow("9 is bottom right") << 9 << int(Qt::AlignRight | Qt::AlignBottom);
    QTest::newRow("-1 is bottom right") << -1 << int(Qt::AlignRight | Qt::AlignBottom);
}

void WatermarkProfileTest::alignment()
{
    QFETCH(int, index);
    QFETCH(int, expected);
    WatermarkProfile profile;
    profile.setAlignmentIndex(index);
    QCOMPARE(int(profile.alignment()), expected);
}

void WatermarkProfileTest::textShadowOffset()
{
    WatermarkProfile profile;
    profile.setTextShadowXOffset(3);
    profile.setTextShadowYOffset(-2);
    QCOMPARE(profile.textShadowOffset(), QPoint(3, -2));
}

// Stored files rely on Qt 5's serialised-variant form of QFont and QColor,
// and on the picture itself not being stored.
void WatermarkProfileTest::fontAndColoursAreStoredAsQtVariants()
{
    auto store = watermarkStore();
    auto *profile = new WatermarkProfile;
    store->addProfile(profile);
    QVERIFY(store->save());

    QFile file(ProfileManager::configFilePath(WatermarkProfiles));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    const QString id = profile->id();
    QVERIFY(text.contains(id + QStringLiteral("\\textColor=@Variant(\\0\\0\\0\\x43\\x1\\xe1\\xe1\\xff\\xff\\xff\\xff\\xff\\xff\\0\\0)\n")));
    QVERIFY(text.contains(id + QStringLiteral("\\textShadowColor=@Variant(\\0\\0\\0\\x43\\x1\\xaf\\xaf\\0\\0\\0\\0\\0\\0\\0\\0)\n")));
    QVERIFY2(text.contains(id + QStringLiteral("\\textFont=@Variant(\\0\\0\\0@\\0\\0\\0\\n\\0T\\0i\\0m\\0\\x65\\0s@(\\0\\0\\0\\0\\0\\0\\xff\\xff\\xff\\xff\\x5\\x1\\0\\x32\\x10)\n")),
             qPrintable(text));
    QVERIFY(!store->profiles().isEmpty());
    QVERIFY(!store->currentProfile());
    QVERIFY(!text.contains(QStringLiteral("lastUsedPofileId")));

    QSettings settings(file.fileName(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("profiles"));
    settings.beginGroup(id);
    QStringList keys = settings.childKeys();
    keys.sort();
    const QStringList expected = {"alignmentIndex", "alpha", "id", "imageFile", "name", "objectName",
                                  "sortOrder", "text", "textColor", "textFont", "textShadowColor",
                                  "textShadowXOffset", "textShadowYOffset", "watermarkType", "xMargin",
                                  "yMargin"};
    QCOMPARE(keys, expected);
}

void WatermarkProfileTest::savedProfileKeepsFontAndColours()
{
    QString id;
    {
        auto store = watermarkStore();
        auto *profile = new WatermarkProfile;
        profile->setName(QStringLiteral("Signature"));
        profile->setText(QStringLiteral("© 2024, all mine"));
        profile->setTextFont(QFont(QStringLiteral("DejaVu Sans"), 20, QFont::Bold, true));
        profile->setTextColor(QColor(10, 20, 30, 40));
        profile->setTextShadowColor(QColor(200, 100, 50, 60));
        profile->setAlpha(99);
        profile->setWatermarkType(WatermarkProfile::PictureWatermark);
        profile->setImageFile(QStringLiteral("logo.png"));
        store->addProfile(profile);
        store->setCurrentProfile(profile);
        id = profile->id();
    }
    auto store = watermarkStore();
    auto *profile = qobject_cast<WatermarkProfile *>(store->currentProfile());
    QVERIFY(profile);
    QCOMPARE(profile->id(), id);
    QCOMPARE(profile->text(), QStringLiteral("© 2024, all mine"));
    QCOMPARE(profile->textFont().family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(profile->textFont().pointSize(), 20);
    QCOMPARE(profile->textFont().weight(), int(QFont::Bold));
    QCOMPARE(profile->textFont().italic(), true);
    QCOMPARE(profile->textColor(), QColor(10, 20, 30, 40));
    QCOMPARE(profile->textShadowColor(), QColor(200, 100, 50, 60));
    QCOMPARE(profile->alpha(), 99);
    QCOMPARE(profile->watermarkType(), int(WatermarkProfile::PictureWatermark));
    QCOMPARE(profile->imageFile(), QStringLiteral("logo.png"));
}

void WatermarkProfileTest::emptyPictureNameTouchesNoDisk()
{
    const WatermarkProfile profile;
    QVERIFY(profile.image().isNull());
    QVERIFY(!QFileInfo::exists(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
}

void WatermarkProfileTest::pictureIsLoadedOnceForAllProfiles()
{
    QVERIFY(writePicture(QStringLiteral("once.png"), 4, 3));
    WatermarkProfile first;
    first.setImageFile(QStringLiteral("once.png"));
    QCOMPARE(first.image().size(), QSize(4, 3));

    // Gone from disk, yet the second profile gets it from the cache.
    QVERIFY(QFile::remove(WatermarkProfile::watermarkImagePath(QStringLiteral("once.png"))));
    WatermarkProfile second;
    second.setImageFile(QStringLiteral("once.png"));
    QCOMPARE(second.image().size(), QSize(4, 3));
    QCOMPARE(second.property("image").value<QImage>().size(), QSize(4, 3));
}

void WatermarkProfileTest::cacheHoldsOnePictureByExactName()
{
    QVERIFY(writePicture(QStringLiteral("Exact.png"), 2, 2));
    WatermarkProfile profile;
    profile.setImageFile(QStringLiteral("Exact.png"));
    QCOMPARE(profile.image().size(), QSize(2, 2));

    // Replaced on disk: the cached picture is still returned.
    QVERIFY(writePicture(QStringLiteral("Exact.png"), 8, 8));
    QCOMPARE(profile.image().size(), QSize(2, 2));

    // Another name, even one differing only in case, takes the cache's one place.
    WatermarkProfile other;
    other.setImageFile(QStringLiteral("exact.png"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("exact.png.*is missing or not a picture")));
    QVERIFY(other.image().isNull());
    QCOMPARE(profile.image().size(), QSize(8, 8));
}

void WatermarkProfileTest::missingOrBrokenPictureIsNull_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("missing") << "never-made.png" << QByteArray();
    QTest::newRow("text named png") << "text.png" << QByteArray("not a picture at all");
    QTest::newRow("truncated png") << "truncated.png" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    QTest::newRow("folder named png") << "folder.png" << QByteArray();
}

void WatermarkProfileTest::missingOrBrokenPictureIsNull()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);

    const QString path = WatermarkProfile::watermarkImagePath(fileName);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    } else if (fileName == QLatin1String("folder.png")) {
        QVERIFY(QDir().mkpath(path));
    }
    WatermarkProfile profile;
    profile.setWatermarkType(WatermarkProfile::PictureWatermark);
    profile.setImageFile(fileName);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is missing or not a picture")));
    QVERIFY(profile.image().isNull());
    // Cached like any picture: asked again, it is not looked for again.
    QVERIFY(profile.image().isNull());
}

void WatermarkProfileTest::watermarkImagePathMakesTheFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/watermarks");
    QVERIFY(folder.startsWith(m_home->path()));
    QVERIFY(!QFileInfo::exists(folder));
    QCOMPARE(WatermarkProfile::watermarkImagePath(QStringLiteral("logo.png")), folder + QStringLiteral("/logo.png"));
    QVERIFY(QFileInfo(folder).isDir());
}

void WatermarkProfileTest::storeStartsEmpty()
{
    ProfileManager *store = WatermarkProfile::profileManager();
    QCOMPARE(store->fileName(), WatermarkProfiles);
    QVERIFY(store->profiles().isEmpty());
    QVERIFY(!store->currentProfile());
    std::unique_ptr<BaseProfile> created(store->createProfile());
    QVERIFY(qobject_cast<WatermarkProfile *>(created.get()));
}

QTEST_MAIN(WatermarkProfileTest)
#include "watermarkprofiletest.moc"
