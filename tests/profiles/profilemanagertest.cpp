#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString FileNames = QStringLiteral("FileNameProfiles.ini");

std::unique_ptr<ProfileManager> fileNameStore()
{
    return std::make_unique<ProfileManager>(FileNames, [] { return new FileNameProfile; }, true);
}

std::unique_ptr<ProfileManager> imageStore()
{
    return std::make_unique<ProfileManager>(QStringLiteral("ImageProfiles.ini"),
                                            [] { return new ImageProfile; }, true);
}

std::unique_ptr<ProfileManager> watermarkStore()
{
    return std::make_unique<ProfileManager>(QStringLiteral("WatermarkProfiles.ini"),
                                            [] { return new WatermarkProfile; }, false);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// "name=id" of every listed profile, in list order.
QStringList namesAndIds(const ProfileManager &manager)
{
    QStringList result;
    const QList<BaseProfile *> profiles = manager.profiles();
    for (const BaseProfile *profile : profiles)
        result << profile->name() + QLatin1Char('=') + profile->id();
    return result;
}

QStringList storedGroups(const QString &path)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("profiles"));
    return settings.childGroups();
}
}

class ProfileManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartWritesOneDefaultProfile();
    void storeWithoutDefaultStaysEmpty();
    void loadOrder_data();
    void loadOrder();
    void lastUsedIdIgnoresCase();
    void lastUsedIdOfNoProfileSelectsTheFirst();
    void profileByIdIgnoresCaseButNotKind();
    void settingTheCurrentProfileAgainWritesNothing();
    void noCurrentProfileKeepsTheStoredOne();
    void addedProfileIsSavedOnlyOnRequest();
    void createdProfileHasDefaultsAndIsNotListed();
    void configFilePathIsInTheConfigurationFolder();
    void configFolderThatCannotBeMadeIsReported();
    void unwritableFileIsReported();
    void partlyBrokenFileKeepsWhatCanBeRead();
    void binaryFileGivesDefaults();
    void clashingIds_data();
    void clashingIds();

private:
    QString configPath(const QString &fileName) const { return ProfileManager::configFilePath(fileName); }

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_workingFolder;
};

void ProfileManagerTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
    m_workingFolder = QDir::currentPath();
}

// Each test starts with an empty home, and so an empty configuration folder.
void ProfileManagerTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(m_home->path()));
}

void ProfileManagerTest::cleanup()
{
    QDir::setCurrent(m_workingFolder);
}

void ProfileManagerTest::firstStartWritesOneDefaultProfile()
{
    auto store = fileNameStore();
    QCOMPARE(store->profiles().size(), 1);
    auto *profile = qobject_cast<FileNameProfile *>(store->profiles().first());
    QVERIFY(profile);
    QCOMPARE(profile->name(), QStringLiteral("[Unnamed Settings]"));
    QCOMPARE(profile->fileOutputSuffix(), QStringLiteral("-"));
    QCOMPARE(store->currentProfile(), profile);

    const QString id = profile->id();
    const QString expected = QStringLiteral(
        "[General]\n"
        "lastUsedPofileId=%1\n"
        "\n"
        "[profiles]\n"
        "%1\\fileBaseName=\n"
        "%1\\fileOutputCounterPadZeros=true\n"
        "%1\\fileOutputPrefix=\n"
        "%1\\fileOutputSuffix=-\n"
        "%1\\fileOutputTime=0\n"
        "%1\\fileOutputType=jpeg\n"
        "%1\\id=%1\n"
        "%1\\name=[Unnamed Settings]\n"
        "%1\\objectName=\n"
        "%1\\sortOrder=0\n").arg(id);
    QCOMPARE(QString::fromUtf8(readFile(configPath(FileNames))), expected);

    // The next start finds the file as it would write it and leaves it alone.
    const QDateTime earlier(QDate(2020, 1, 1), QTime(12, 0));
    QFile file(configPath(FileNames));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(earlier, QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(fileNameStore()->profiles().size(), 1);
    QCOMPARE(QFileInfo(file).lastModified(), earlier);
}

void ProfileManagerTest::storeWithoutDefaultStaysEmpty()
{
    auto store = watermarkStore();
    QVERIFY(store->profiles().isEmpty());
    QVERIFY(!store->currentProfile());
    QVERIFY(!readFile(configPath(QStringLiteral("WatermarkProfiles.ini"))).contains("lastUsedPofileId"));
}

void ProfileManagerTest::loadOrder_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("by sortOrder, not group name")
        << QByteArray("[profiles]\nA\\name=a\nA\\sortOrder=2\nB\\name=b\nB\\sortOrder=0\nC\\name=c\nC\\sortOrder=1\n")
        << QStringList{"b", "c", "a"};
    QTest::newRow("missing sortOrder counts as 0")
        << QByteArray("[profiles]\nA\\name=a\nA\\sortOrder=1\nB\\name=b\n")
        << QStringList{"b", "a"};
    QTest::newRow("negative sortOrder first")
        << QByteArray("[profiles]\nA\\name=a\nA\\sortOrder=0\nB\\name=b\nB\\sortOrder=-3\n")
        << QStringList{"b", "a"};
    QTest::newRow("sortOrder that is no number goes last")
        << QByteArray("[profiles]\nA\\name=a\nA\\sortOrder=first\nB\\name=b\nB\\sortOrder=7\nC\\name=c\nC\\sortOrder=0\n")
        << QStringList{"c", "b", "a"};
    QTest::newRow("equal sortOrder keeps group name order")
        << QByteArray("[profiles]\nB\\name=b\nB\\sortOrder=0\nA\\name=a\nA\\sortOrder=0\n")
        << QStringList{"a", "b"};
}

void ProfileManagerTest::loadOrder()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, names);

    QVERIFY(writeFile(configPath(FileNames), ini));
    auto store = fileNameStore();
    QStringList loaded;
    const QList<BaseProfile *> profiles = store->profiles();
    for (const BaseProfile *profile : profiles)
        loaded << profile->name();
    QCOMPARE(loaded, names);

    // The constructor's save numbers them anew, in list order.
    QSettings settings(configPath(FileNames), QSettings::IniFormat);
    for (int i = 0; i < profiles.size(); ++i) {
        const QString key = QStringLiteral("profiles/%1/sortOrder").arg(profiles.at(i)->id());
        QCOMPARE(settings.value(key).toString(), QString::number(i));
    }
}

void ProfileManagerTest::lastUsedIdIgnoresCase()
{
    QVERIFY(writeFile(configPath(FileNames),
                      "[General]\nlastUsedPofileId=0000000b-0000-4000-8000-00000000000b\n"
                      "[profiles]\n"
                      "0000000A-0000-4000-8000-00000000000A\\id=0000000A-0000-4000-8000-00000000000A\n"
                      "0000000A-0000-4000-8000-00000000000A\\sortOrder=0\n"
                      "0000000B-0000-4000-8000-00000000000B\\id=0000000B-0000-4000-8000-00000000000B\n"
                      "0000000B-0000-4000-8000-00000000000B\\sortOrder=1\n"));
    auto store = fileNameStore();
    QVERIFY(store->currentProfile());
    QCOMPARE(store->currentProfile()->id(), QStringLiteral("0000000B-0000-4000-8000-00000000000B"));
}

void ProfileManagerTest::lastUsedIdOfNoProfileSelectsTheFirst()
{
    QVERIFY(writeFile(configPath(FileNames),
                      "[General]\nlastUsedPofileId=GONE\n"
                      "[profiles]\nB\\id=B\nB\\sortOrder=1\nA\\id=A\nA\\sortOrder=0\n"));
    auto store = fileNameStore();
    QCOMPARE(store->currentProfile(), store->profiles().first());
    QCOMPARE(store->currentProfile()->id(), QStringLiteral("A"));
    QSettings settings(configPath(FileNames), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("lastUsedPofileId")).toString(), QStringLiteral("A"));
}

void ProfileManagerTest::profileByIdIgnoresCaseButNotKind()
{
    auto fileNames = fileNameStore();
    auto images = imageStore();
    BaseProfile *fileName = fileNames->profiles().first();

    QCOMPARE(fileNames->profileById(fileName->id().toLower()), fileName);
    QCOMPARE(fileNames->profileById(fileName->id()), fileName);
    QVERIFY(!fileNames->profileById(images->profiles().first()->id()));
    QVERIFY(!fileNames->profileById(QString()));
    QVERIFY(!fileNames->profileById(QStringLiteral("no such id")));
}

void ProfileManagerTest::settingTheCurrentProfileAgainWritesNothing()
{
    auto store = fileNameStore();
    BaseProfile *second = store->createProfile();
    store->addProfile(second);
    QVERIFY(QFile::remove(configPath(FileNames)));

    store->setCurrentProfile(store->currentProfile());
    QVERIFY(!QFile::exists(configPath(FileNames)));

    store->setCurrentProfile(second);
    QCOMPARE(store->currentProfile(), second);
    QSettings settings(configPath(FileNames), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("lastUsedPofileId")).toString(), second->id());
    settings.beginGroup(QStringLiteral("profiles"));
    QCOMPARE(settings.childGroups().size(), 2);
}

void ProfileManagerTest::noCurrentProfileKeepsTheStoredOne()
{
    QString secondId;
    {
        auto store = fileNameStore();
        BaseProfile *second = store->createProfile();
        secondId = second->id();
        store->addProfile(second);
        store->setCurrentProfile(second);
        store->setCurrentProfile(nullptr);
        QVERIFY(!store->currentProfile());
    }
    QSettings settings(configPath(FileNames), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("lastUsedPofileId")).toString(), secondId);

    auto restarted = fileNameStore();
    QVERIFY(restarted->currentProfile());
    QCOMPARE(restarted->currentProfile()->id(), secondId);
}

void ProfileManagerTest::addedProfileIsSavedOnlyOnRequest()
{
    auto store = fileNameStore();
    BaseProfile *first = store->currentProfile();
    const QByteArray before = readFile(configPath(FileNames));

    BaseProfile *added = store->createProfile();
    added->setName(QStringLiteral("added"));
    store->addProfile(added);
    QCOMPARE(store->profiles(), (QList<BaseProfile *>{first, added}));
    QCOMPARE(store->currentProfile(), first);
    QCOMPARE(readFile(configPath(FileNames)), before);

    QVERIFY(store->save());
    QSettings settings(configPath(FileNames), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("profiles"));
    QCOMPARE(settings.value(added->id() + QStringLiteral("/name")).toString(), QStringLiteral("added"));
    QCOMPARE(settings.value(added->id() + QStringLiteral("/sortOrder")).toInt(), 1);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Not adding")));
    store->addProfile(added);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Not adding")));
    store->addProfile(nullptr);
    QCOMPARE(store->profiles().size(), 2);
}

void ProfileManagerTest::createdProfileHasDefaultsAndIsNotListed()
{
    auto store = imageStore();
    std::unique_ptr<BaseProfile> created(store->createProfile());
    auto *image = qobject_cast<ImageProfile *>(created.get());
    QVERIFY(image);
    QCOMPARE(image->name(), QStringLiteral("Image Profile"));
    QCOMPARE(image->imageWidth(), 640);
    QVERIFY(!store->profiles().contains(created.get()));
    QVERIFY(!store->profileById(created->id()));
}

void ProfileManagerTest::configFilePathIsInTheConfigurationFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QVERIFY(folder.startsWith(m_home->path()));
    QVERIFY(!QFileInfo::exists(folder));
    QCOMPARE(ProfileManager::configFilePath(QStringLiteral("x.ini")), folder + QStringLiteral("/x.ini"));
    QVERIFY(QFileInfo(folder).isDir());
}

void ProfileManagerTest::configFolderThatCannotBeMadeIsReported()
{
    // A file where the test-mode configuration root should be.
    QVERIFY(writeFile(m_home->filePath(QStringLiteral(".qttest")), "in the way"));
    QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral("work")));
    QVERIFY(QDir::setCurrent(m_home->filePath(QStringLiteral("work"))));

    QCOMPARE(ProfileManager::configFilePath(FileNames), QString());
    auto store = fileNameStore();
    QCOMPARE(store->profiles().size(), 1);
    QVERIFY(!store->save());
    // Nothing lands wherever the program happens to be started.
    QCOMPARE(QDir(m_home->filePath(QStringLiteral("work"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void ProfileManagerTest::unwritableFileIsReported()
{
    // A folder standing where the file should be: neither readable nor writable,
    // whatever the user's rights.
    QVERIFY(QDir().mkpath(configPath(FileNames)));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not read")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not write the profiles")));
    auto store = fileNameStore();
    QCOMPARE(store->profiles().size(), 1);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not write the profiles")));
    QVERIFY(!store->save());
}

void ProfileManagerTest::partlyBrokenFileKeepsWhatCanBeRead()
{
    const QByteArray broken("\x01\x02 a line without an equals sign\n"
                            "[profiles]\n"
                            "AAAA\\id=AAAA\n"
                            "AAAA\\name=kept\n"
                            "AAAA\\sortOrder=0\n"
                            "[[[\n"
                            "=\n"
                            "\xff\xfe binary\n");
    QVERIFY(writeFile(configPath(FileNames), broken));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read in full")));
    auto store = fileNameStore();

    QCOMPARE(namesAndIds(*store), QStringList{"kept=AAAA"});
    QCOMPARE(store->currentProfile()->id(), QStringLiteral("AAAA"));
    QCOMPARE(readFile(configPath(FileNames) + QStringLiteral(".broken")), broken);

    QSettings settings(configPath(FileNames), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("profiles/AAAA/name")).toString(), QStringLiteral("kept"));
    settings.allKeys();
    QCOMPARE(settings.status(), QSettings::NoError);
    QVERIFY(store->save());
}

void ProfileManagerTest::binaryFileGivesDefaults()
{
    QByteArray noise;
    quint32 state = 12345;
    for (int i = 0; i < 8192; ++i) {
        state = state * 1103515245u + 12345u;
        noise.append(char(state >> 24));
    }
    QVERIFY(writeFile(configPath(FileNames), noise));
    auto store = fileNameStore();
    QCOMPARE(store->profiles().size(), 1);
    QCOMPARE(store->profiles().first()->name(), QStringLiteral("[Unnamed Settings]"));
    QVERIFY(store->save());
    auto restarted = fileNameStore();
    QCOMPARE(namesAndIds(*restarted), namesAndIds(*store));
}

// Ids that are missing, empty, used twice or not their group's name. Each row
// loads, saves, and loads again: the second load must list the same profiles
// and the file the same groups, so it has settled instead of growing a
// profile at every start.
void ProfileManagerTest::clashingIds_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("copy of a group, listed first")
        << QByteArray("[profiles]\n"
                      "AAAA\\id=AAAA\nAAAA\\name=original\nAAAA\\sortOrder=1\n"
                      "BBBB\\id=AAAA\nBBBB\\name=copy\nBBBB\\sortOrder=0\n")
        << QStringList{"copy=BBBB", "original=AAAA"};
    QTest::newRow("copy of a group, group sorted first")
        << QByteArray("[profiles]\n"
                      "AAAA\\id=AAAA\nAAAA\\name=original\nAAAA\\sortOrder=0\n"
                      "0000\\id=AAAA\n0000\\name=copy\n0000\\sortOrder=1\n")
        << QStringList{"original=AAAA", "copy=0000"};
    QTest::newRow("same id in another case")
        << QByteArray("[profiles]\n"
                      "AAAA\\id=AAAA\nAAAA\\name=a\nAAAA\\sortOrder=0\n"
                      "CCCC\\id=aaaa\nCCCC\\name=c\nCCCC\\sortOrder=1\n")
        << QStringList{"a=AAAA", "c=CCCC"};
    QTest::newRow("no id key")
        << QByteArray("[profiles]\nDDDD\\name=d\nDDDD\\sortOrder=0\n")
        << QStringList{"d=DDDD"};
    QTest::newRow("empty id")
        << QByteArray("[profiles]\nDDDD\\id=\nDDDD\\name=d\n")
        << QStringList{"d=DDDD"};
    QTest::newRow("id with a group separator")
        << QByteArray("[profiles]\nEEEE\\id=a/b\nEEEE\\name=e\n")
        << QStringList{"e=EEEE"};
    QTest::newRow("id naming another group")
        << QByteArray("[profiles]\nOLD\\id=NEW\nOLD\\name=moved\nOLD\\sortOrder=0\n")
        << QStringList{"moved=OLD"};
    QTest::newRow("group names that differ in case only")
        << QByteArray("[profiles]\n"
                      "abcd\\id=abcd\nabcd\\name=lower\nabcd\\sortOrder=0\n"
                      "ABCD\\id=ABCD\nABCD\\name=upper\nABCD\\sortOrder=1\n")
        << QStringList{"lower=abcd"};
}

void ProfileManagerTest::clashingIds()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, expected);

    QVERIFY(writeFile(configPath(FileNames), ini));
    auto store = fileNameStore();
    QCOMPARE(namesAndIds(*store), expected);
    const QStringList groups = storedGroups(configPath(FileNames));
    store.reset();

    auto restarted = fileNameStore();
    QCOMPARE(namesAndIds(*restarted), expected);
    QCOMPARE(storedGroups(configPath(FileNames)), groups);
}

QTEST_GUILESS_MAIN(ProfileManagerTest)
#include "profilemanagertest.moc"
