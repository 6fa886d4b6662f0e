#include "analysis/shotdetector.h"
#include "batch/batchworkerconfig.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "testclips.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString DefaultsFile = QStringLiteral("batchModeDefaults.ini");

QString defaultsPath()
{
    return ProfileManager::configFilePath(DefaultsFile);
}

bool writeDefaults(const QByteArray &ini)
{
    QFile file(defaultsPath());
    return file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size();
}

QByteArray readDefaults()
{
    QFile file(defaultsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A second profile in a store, so that choosing by id has a choice.
template<typename Profile>
Profile *addedProfile(const QString &name)
{
    auto *profile = qobject_cast<Profile *>(Profile::profileManager()->createProfile());
    profile->setName(name);
    Profile::profileManager()->addProfile(profile);
    return profile;
}
}

// The profile stores are process-wide, so the whole run shares one home;
// each test starts without a defaults file and with the stores' first
// profiles current.
class BatchWorkerConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void defaults();
    void intervalDescription_data();
    void intervalDescription();
    void sourceMovesTheOutputFolder();
    void outputFolderBeforeAnySource();
    void fileNameFor_data();
    void fileNameFor();
    void imageProfileById();
    void fileNameProfileById();
    void noProfileAnywhereKeepsTheHeldOne();
    void ownProfilesDieWithTheJobStoreProfilesDoNot();
    void savedDefaultsFile();
    void defaultsRoundTrip();
    void defaultsFileWithOneKeyChangesOneSetting();
    void defaultsNeverTouchSourceOrOutputFolder();
    void defaultsWithWrongValuesKeepCurrentOnes();
    void defaultsWithUnknownProfileIdsUseCurrentProfiles();
    void brokenDefaultsFileKeepsWhatCanBeRead();
    void unwritableDefaultsFileIsReported();
    void configurationFolderThatCannotBeMadeIsReported();
    void loadVideoInfo();

private:
    QTemporaryDir m_home;
    ImageProfile *m_secondImage = nullptr;
    FileNameProfile *m_secondFileName = nullptr;
};

void BatchWorkerConfigTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(defaultsPath().startsWith(m_home.path()));

    m_secondImage = addedProfile<ImageProfile>(QStringLiteral("second image"));
    m_secondFileName = addedProfile<FileNameProfile>(QStringLiteral("second file name"));
    m_secondFileName->setFileOutputPrefix(QStringLiteral("two_"));
}

void BatchWorkerConfigTest::init()
{
    QFile::remove(defaultsPath());
    ImageProfile::profileManager()->setCurrentProfile(ImageProfile::profileManager()->profiles().first());
    FileNameProfile::profileManager()->setCurrentProfile(FileNameProfile::profileManager()->profiles().first());
}

void BatchWorkerConfigTest::defaults()
{
    const BatchWorkerConfig config;
    QCOMPARE(config.source(), QString());
    QCOMPARE(config.fileOutputPath(), QString());
    QCOMPARE(config.skipFront(), qint64(2000));
    QCOMPARE(config.skipBack(), qint64(2000));
    QCOMPARE(config.intervalType(), int(BatchWorkerConfig::EveryInterval));
    QCOMPARE(config.intervalMilliseconds(), 5000);
    QCOMPARE(config.intervalImages(), 10);
    QCOMPARE(config.intervalSingleShot(), int(BatchWorkerConfig::Middle));
    QCOMPARE(config.intervalDescription(), QStringLiteral("Every 5000ms"));
    QCOMPARE(config.shotThreshold(), ShotDetector::DefaultThreshold);
    QCOMPARE(config.minShotMilliseconds(), 600);
    QVERIFY(!config.skipBlank());
    QCOMPARE(config.sharpestMilliseconds(), 0);
    QVERIFY(!config.videoInfo().loaded());

    // Its own profiles, with their defaults, not the stores'.
    QVERIFY(config.imageProfile());
    QVERIFY(config.fileNameProfile());
    QVERIFY(!ImageProfile::profileManager()->profiles().contains(config.imageProfile()));
    QVERIFY(!FileNameProfile::profileManager()->profiles().contains(config.fileNameProfile()));
    QCOMPARE(config.imageProfile()->imageWidth(), 640);
    QCOMPARE(config.imageProfileId(), config.imageProfile()->id());
    QCOMPARE(config.filenameProfileId(), config.fileNameProfile()->id());
}

void BatchWorkerConfigTest::intervalDescription_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("singleShot");
    QTest::addColumn<QString>("expected");

    QTest::newRow("every interval") << 0 << 1 << "Every 1234ms";
    QTest::newRow("image count") << 1 << 1 << "7 images";
    QTest::newRow("single front") << 2 << 0 << "Single front";
    QTest::newRow("single middle") << 2 << 1 << "Single middle";
    QTest::newRow("single back") << 2 << 2 << "Single back";
    QTest::newRow("single at an unknown place") << 2 << 7 << "Single ";
    QTest::newRow("single at -1") << 2 << -1 << "Single ";
    QTest::newRow("each shot") << 3 << 1 << "Each shot";
    QTest::newRow("unknown rule 5") << 5 << 1 << "placeholder";
    QTest::newRow("unknown rule -1") << -1 << 1 << "placeholder";
}

void BatchWorkerConfigTest::intervalDescription()
{
    QFETCH(int, type);
    QFETCH(int, singleShot);
    QFETCH(QString, expected);

    BatchWorkerConfig config;
    config.setIntervalType(type);
    config.setIntervalMilliseconds(1234);
    config.setIntervalImages(7);
    config.setIntervalSingleShot(singleShot);
    QCOMPARE(config.intervalDescription(), expected);
}

void BatchWorkerConfigTest::sourceMovesTheOutputFolder()
{
    BatchWorkerConfig config;
    config.setFileOutputPath(QStringLiteral("/somewhere/else"));
    QCOMPARE(config.fileOutputPath(), QDir::toNativeSeparators(QStringLiteral("/somewhere/else")));

    config.setSource(QStringLiteral("/videos/holiday/clip.mp4"));
    QCOMPARE(config.source(), QDir::toNativeSeparators(QStringLiteral("/videos/holiday/clip.mp4")));
    QCOMPARE(config.fileOutputPath(), QDir::toNativeSeparators(QStringLiteral("/videos/holiday")));
    QCOMPARE(config.outputFolder().absolutePath(), QStringLiteral("/videos/holiday"));

    // Relative sources give an absolute output folder.
    config.setSource(QStringLiteral("clips/x.mp4"));
    QCOMPARE(config.fileOutputPath(), QDir::toNativeSeparators(QDir::current().absoluteFilePath(QStringLiteral("clips"))));

    config.setFileOutputPath(QDir(QStringLiteral("/out")));
    QCOMPARE(config.fileOutputPath(), QDir::toNativeSeparators(QStringLiteral("/out")));

    config.setSource(QString());
    QCOMPARE(config.fileOutputPath(), QString());
}

void BatchWorkerConfigTest::outputFolderBeforeAnySource()
{
    BatchWorkerConfig config;
    QCOMPARE(config.fileOutputPath(), QString());
    QCOMPARE(config.outputFolder(), QDir());
    config.setFileOutputPath(QStringLiteral("/out"));
    config.setFileOutputPath(QString());
    QCOMPARE(config.fileOutputPath(), QString());
}

void BatchWorkerConfigTest::fileNameFor_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first image") << "/v/MyVideo.mp4" << 1 << "MyVideo-00001.jpeg";
    QTest::newRow("single shot") << "/v/MyVideo.mp4" << -1 << "MyVideo-.jpeg";
    QTest::newRow("dots in the name") << "/v/My.Holiday.2024.mkv" << 3 << "My.Holiday.2024-00003.jpeg";
    QTest::newRow("no extension") << "/v/raw" << 12 << "raw-00012.jpeg";
    QTest::newRow("no source") << "" << 1 << "-00001.jpeg";
}

void BatchWorkerConfigTest::fileNameFor()
{
    QFETCH(QString, source);
    QFETCH(int, counter);
    QFETCH(QString, expected);

    BatchWorkerConfig config;
    config.setSource(source);
    QCOMPARE(config.fileNameFor(counter), expected);
    QCOMPARE(config.filenameExample(), config.fileNameFor(1));
    QCOMPARE(config.property("filenameExample").toString(), config.fileNameFor(1));

    config.setFileNameProfile(m_secondFileName);
    QCOMPARE(config.fileNameFor(counter), QStringLiteral("two_") + expected);
}

void BatchWorkerConfigTest::imageProfileById()
{
    ProfileManager *store = ImageProfile::profileManager();
    auto *current = qobject_cast<ImageProfile *>(store->currentProfile());
    QVERIFY(current && current != m_secondImage);
    BatchWorkerConfig config;

    config.setImageProfileId(m_secondImage->id().toLower());
    QCOMPARE(config.imageProfile(), m_secondImage);
    QCOMPARE(config.imageProfileId(), m_secondImage->id());

    config.setImageProfileId(QStringLiteral("no such profile"));
    QCOMPARE(config.imageProfile(), current);

    config.setImageProfile(m_secondImage);
    config.setImageProfileId(QString());
    QCOMPARE(config.imageProfile(), current);

    // An id of another kind's profile is no image profile.
    config.setImageProfile(m_secondImage);
    config.setImageProfileId(m_secondFileName->id());
    QCOMPARE(config.imageProfile(), current);

    config.setImageProfile(m_secondImage);
    config.setImageProfile(nullptr);
    QCOMPARE(config.imageProfile(), current);

    config.setProperty("imageProfileId", m_secondImage->id());
    QCOMPARE(config.imageProfile(), m_secondImage);
}

void BatchWorkerConfigTest::fileNameProfileById()
{
    ProfileManager *store = FileNameProfile::profileManager();
    auto *current = qobject_cast<FileNameProfile *>(store->currentProfile());
    QVERIFY(current && current != m_secondFileName);
    BatchWorkerConfig config;

    config.setFileNameProfileId(m_secondFileName->id());
    QCOMPARE(config.fileNameProfile(), m_secondFileName);
    QCOMPARE(config.filenameProfileId(), m_secondFileName->id());

    config.setFileNameProfileId(QStringLiteral("no such profile"));
    QCOMPARE(config.fileNameProfile(), current);

    config.setFileNameProfile(m_secondFileName);
    config.setFileNameProfile(nullptr);
    QCOMPARE(config.fileNameProfile(), current);

    config.setProperty("filenameProfileId", m_secondFileName->id());
    QCOMPARE(config.fileNameProfile(), m_secondFileName);
}

void BatchWorkerConfigTest::noProfileAnywhereKeepsTheHeldOne()
{
    BatchWorkerConfig config;
    ImageProfile *own = config.imageProfile();
    FileNameProfile *ownFileName = config.fileNameProfile();
    ImageProfile::profileManager()->setCurrentProfile(nullptr);
    FileNameProfile::profileManager()->setCurrentProfile(nullptr);

    config.setImageProfileId(QStringLiteral("no such profile"));
    config.setImageProfile(nullptr);
    config.setFileNameProfileId(QStringLiteral("no such profile"));
    config.setFileNameProfile(nullptr);
    QCOMPARE(config.imageProfile(), own);
    QCOMPARE(config.fileNameProfile(), ownFileName);

    config.loadDefaults();
    QCOMPARE(config.imageProfile(), own);
    QCOMPARE(config.fileNameProfile(), ownFileName);
}

void BatchWorkerConfigTest::ownProfilesDieWithTheJobStoreProfilesDoNot()
{
    auto config = std::make_unique<BatchWorkerConfig>();
    QPointer<ImageProfile> own = config->imageProfile();
    QPointer<FileNameProfile> ownFileName = config->fileNameProfile();
    config->setImageProfile(m_secondImage);
    config->setFileNameProfile(m_secondFileName);
    QPointer<ImageProfile> stored = m_secondImage;
    config.reset();
    QVERIFY(own.isNull());
    QVERIFY(ownFileName.isNull());
    QVERIFY(!stored.isNull());
}

void BatchWorkerConfigTest::savedDefaultsFile()
{
    BatchWorkerConfig config;
    config.setSource(QStringLiteral("/videos/clip.mp4"));
    config.setFileOutputPath(QStringLiteral("/out"));
    config.setImageProfile(m_secondImage);
    config.setFileNameProfile(m_secondFileName);
    config.setSkipFront(1500);
    config.setSkipBack(8589934592LL);  // beyond 32 bits
    config.setIntervalType(BatchWorkerConfig::SingleImage);
    config.setIntervalMilliseconds(250);
    config.setIntervalImages(3);
    config.setIntervalSingleShot(BatchWorkerConfig::Back);
    config.setShotThreshold(6.5);
    config.setMinShotMilliseconds(900);
    config.setSkipBlank(true);
    config.setSharpestMilliseconds(300);
    config.setShotListPath(QStringLiteral("/out/shots.csv"));
    config.setKeyFramesOnly(true);
    QVERIFY(config.saveDefaults());

    const QString expected = QStringLiteral(
        "[General]\n"
        "contactSheet=false\n"
        "filenameProfileId=%1\n"
        "imageProfileId=%2\n"
        "intervalImages=3\n"
        "intervalMilliseconds=250\n"
        "intervalSingleShot=2\n"
        "intervalType=2\n"
        "keyFramesOnly=true\n"
        "minShotMilliseconds=900\n"
        "objectName=\n"
        "sharpestMilliseconds=300\n"
        "sheetBackground=#202020\n"
        "sheetColumns=4\n"
        "sheetRows=4\n"
        "sheetSpacing=8\n"
        "sheetWidth=1600\n"
        "shotThreshold=6.5\n"
        "skipBack=8589934592\n"
        "skipBlank=true\n"
        "skipFront=1500\n").arg(m_secondFileName->id(), m_secondImage->id());
    QCOMPARE(QString::fromUtf8(readDefaults()), expected);
}

void BatchWorkerConfigTest::defaultsRoundTrip()
{
    BatchWorkerConfig saved;
    saved.setImageProfile(m_secondImage);
    saved.setFileNameProfile(m_secondFileName);
    saved.setSkipFront(100);
    saved.setSkipBack(8589934592LL);
    saved.setIntervalType(BatchWorkerConfig::ImageCount);
    saved.setIntervalMilliseconds(750);
    saved.setIntervalImages(42);
    saved.setIntervalSingleShot(BatchWorkerConfig::Front);
    saved.setContactSheet(true);
    saved.setSheetColumns(5);
    saved.setSheetRows(3);
    saved.setSheetWidth(1200);
    saved.setSheetSpacing(0);
    saved.setSheetBackground(QStringLiteral("#ffffff"));
    saved.setShotThreshold(12.25);
    saved.setMinShotMilliseconds(1500);
    saved.setSkipBlank(true);
    saved.setSharpestMilliseconds(250);
    saved.setKeyFramesOnly(true);
    QVERIFY(saved.saveDefaults());

    BatchWorkerConfig loaded;
    loaded.loadDefaults();
    QCOMPARE(loaded.imageProfile(), m_secondImage);
    QCOMPARE(loaded.fileNameProfile(), m_secondFileName);
    QCOMPARE(loaded.skipFront(), qint64(100));
    QCOMPARE(loaded.skipBack(), qint64(8589934592LL));
    QCOMPARE(loaded.intervalType(), int(BatchWorkerConfig::ImageCount));
    QCOMPARE(loaded.intervalMilliseconds(), 750);
    QCOMPARE(loaded.intervalImages(), 42);
    QCOMPARE(loaded.intervalSingleShot(), int(BatchWorkerConfig::Front));
    QCOMPARE(loaded.contactSheet(), true);
    QCOMPARE(loaded.sheetLayout().columns, 5);
    QCOMPARE(loaded.sheetLayout().rows, 3);
    QCOMPARE(loaded.sheetLayout().width, 1200);
    QCOMPARE(loaded.sheetLayout().spacing, 0);
    QCOMPARE(loaded.sheetLayout().background, QColor(Qt::white));
    QCOMPARE(loaded.intervalDescription(), QStringLiteral("Sheet 5 × 3"));
    QCOMPARE(loaded.filenameExample(), loaded.fileNameProfile()->sheetFileName(QString(), -1));
    QCOMPARE(loaded.shotThreshold(), 12.25);
    QCOMPARE(loaded.minShotMilliseconds(), 1500);
    QVERIFY(loaded.skipBlank());
    QCOMPARE(loaded.sharpestMilliseconds(), 250);
    QVERIFY(loaded.keyFramesOnly());
}

void BatchWorkerConfigTest::defaultsFileWithOneKeyChangesOneSetting()
{
    QVERIFY(writeDefaults("[General]\nintervalType=1\n"));
    BatchWorkerConfig config;
    config.loadDefaults();
    const BatchWorkerConfig fresh;
    QCOMPARE(config.intervalType(), 1);
    QCOMPARE(config.skipFront(), fresh.skipFront());
    QCOMPARE(config.skipBack(), fresh.skipBack());
    QCOMPARE(config.intervalMilliseconds(), fresh.intervalMilliseconds());
    QCOMPARE(config.intervalImages(), fresh.intervalImages());
    QCOMPARE(config.intervalSingleShot(), fresh.intervalSingleShot());
    // Files from before the shot rule read as they did.
    QCOMPARE(config.shotThreshold(), fresh.shotThreshold());
    QCOMPARE(config.minShotMilliseconds(), fresh.minShotMilliseconds());
    QCOMPARE(config.skipBlank(), fresh.skipBlank());
    QCOMPARE(config.sharpestMilliseconds(), fresh.sharpestMilliseconds());
    QVERIFY(!config.keyFramesOnly());
    // The profiles come from the stores' current ones.
    QCOMPARE(config.imageProfile(), ImageProfile::profileManager()->currentProfile());
    QCOMPARE(config.fileNameProfile(), FileNameProfile::profileManager()->currentProfile());
}

void BatchWorkerConfigTest::defaultsNeverTouchSourceOrOutputFolder()
{
    QVERIFY(writeDefaults("[General]\nsource=/elsewhere/a.mp4\nfileOutputPath=/elsewhere\n"
                          "filenameExample=x.png\nskipFront=10\n"));
    BatchWorkerConfig config;
    config.setSource(QStringLiteral("/videos/clip.mp4"));
    config.loadDefaults();
    QCOMPARE(config.source(), QDir::toNativeSeparators(QStringLiteral("/videos/clip.mp4")));
    QCOMPARE(config.fileOutputPath(), QDir::toNativeSeparators(QStringLiteral("/videos")));
    QCOMPARE(config.filenameExample(), QStringLiteral("clip-00001.jpeg"));
    QCOMPARE(config.skipFront(), qint64(10));

    QVERIFY(config.saveDefaults());
    QSettings settings(defaultsPath(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("source")).toString(), QStringLiteral("/elsewhere/a.mp4"));
    QCOMPARE(settings.value(QStringLiteral("fileOutputPath")).toString(), QStringLiteral("/elsewhere"));
}

void BatchWorkerConfigTest::defaultsWithWrongValuesKeepCurrentOnes()
{
    QVERIFY(writeDefaults("[General]\nskipFront=abc\nintervalImages=12x\nintervalMilliseconds=@Invalid()\n"
                          "intervalType=99999999999\nintervalSingleShot=\nskipBack=3000\nshotThreshold=much\n"
                          "skipBlank=maybe\n"));
    BatchWorkerConfig config;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*shotThreshold")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*skipBlank")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*intervalType")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*intervalMilliseconds")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*intervalImages")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*intervalSingleShot")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*skipFront")));
    config.loadDefaults();
    QCOMPARE(config.skipFront(), qint64(2000));
    QCOMPARE(config.intervalImages(), 10);
    QCOMPARE(config.intervalMilliseconds(), 5000);
    QCOMPARE(config.intervalType(), 0);
    QCOMPARE(config.intervalSingleShot(), 1);
    QCOMPARE(config.shotThreshold(), ShotDetector::DefaultThreshold);
    QVERIFY(!config.skipBlank());
    QCOMPARE(config.skipBack(), qint64(3000));
}

void BatchWorkerConfigTest::defaultsWithUnknownProfileIdsUseCurrentProfiles()
{
    ImageProfile::profileManager()->setCurrentProfile(m_secondImage);
    QVERIFY(writeDefaults("[General]\nimageProfileId=GONE\nfilenameProfileId=\n"));
    BatchWorkerConfig config;
    config.loadDefaults();
    QCOMPARE(config.imageProfile(), m_secondImage);
    QCOMPARE(config.fileNameProfile(), FileNameProfile::profileManager()->currentProfile());
}

void BatchWorkerConfigTest::brokenDefaultsFileKeepsWhatCanBeRead()
{
    const QByteArray broken("\x01 junk without equals\n[General]\nintervalType=2\n[[[\n=\n");
    QVERIFY(writeDefaults(broken));
    BatchWorkerConfig config;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read in full")));
    config.loadDefaults();
    QCOMPARE(config.intervalType(), 2);

    QFile kept(defaultsPath() + QStringLiteral(".broken"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), broken);
    QVERIFY(config.saveDefaults());
}

void BatchWorkerConfigTest::unwritableDefaultsFileIsReported()
{
    QVERIFY(QDir().mkpath(defaultsPath()));
    BatchWorkerConfig config;
    config.loadDefaults();
    QCOMPARE(config.intervalType(), 0);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not write the batch job defaults")));
    QVERIFY(!config.saveDefaults());
    QVERIFY(QDir().rmdir(defaultsPath()));
}

void BatchWorkerConfigTest::configurationFolderThatCannotBeMadeIsReported()
{
    // A file where the test-mode configuration root should be, and the
    // working folder there: the defaults go to neither.
    QTemporaryDir other;
    QFile blocker(other.filePath(QStringLiteral(".qttest")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString working = QDir::currentPath();
    QVERIFY(QDir::setCurrent(other.path()));
    qputenv("HOME", QFile::encodeName(other.path()));
    BatchWorkerConfig config;
    config.setIntervalType(1);
    const bool saved = config.saveDefaults();
    config.loadDefaults();
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QVERIFY(QDir::setCurrent(working));
    QVERIFY(!saved);
    QCOMPARE(config.intervalType(), 1);
    QCOMPARE(QDir(other.path()).entryList(QDir::Files | QDir::Hidden), QStringList({ ".qttest" }));
}

void BatchWorkerConfigTest::loadVideoInfo()
{
    BatchWorkerConfig config;
    config.setSource(TestClips::path(QStringLiteral("h264-bframes.mp4")));
    config.loadVideoInfo();
    QVERIFY(config.videoInfo().loaded());
    QCOMPARE(config.videoInfo().width(), 320);
    QCOMPARE(config.videoInfo().height(), 240);
    QVERIFY(config.videoInfo().duration() > 11000);

    BatchWorkerConfig missing;
    missing.setSource(TestClips::path(QStringLiteral("no-such-clip.mp4")));
    missing.loadVideoInfo();
    QVERIFY(!missing.videoInfo().loaded());
}

QTEST_GUILESS_MAIN(BatchWorkerConfigTest)
#include "batchworkerconfigtest.moc"
