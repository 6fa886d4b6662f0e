#include "profiles/filenameprofile.h"
#include "profiles/profilemanager.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class FileNameProfileTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void defaults();
    void naming_data();
    void naming();
    void singleShotNameHasNoCounter();
    void timeInNames_data();
    void timeInNames();
    void storeStartsWithADefaultProfile();

private:
    QTemporaryDir m_home;
};

void FileNameProfileTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
}

void FileNameProfileTest::defaults()
{
    const FileNameProfile profile;
    QCOMPARE(profile.name(), QString());
    QCOMPARE(profile.fileOutputPrefix(), QString());
    QCOMPARE(profile.fileBaseName(), QString());
    QCOMPARE(profile.fileOutputSuffix(), QStringLiteral("-"));
    QCOMPARE(profile.fileOutputType(), QStringLiteral("jpeg"));
    QCOMPARE(profile.fileOutputCounterPadZeros(), true);
}

void FileNameProfileTest::naming_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("pad");
    QTest::addColumn<QString>("video");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("defaults") << "" << "" << "-" << "jpeg" << true << "MyVideo" << 1 << "MyVideo-00001.jpeg";
    QTest::newRow("single shot keeps the suffix") << "" << "" << "-" << "jpeg" << true << "MyVideo" << -1 << "MyVideo-.jpeg";
    QTest::newRow("no padding") << "" << "" << "-" << "jpeg" << false << "MyVideo" << 1 << "MyVideo-1.jpeg";
    QTest::newRow("no padding, three digits") << "" << "" << "-" << "jpeg" << false << "MyVideo" << 123 << "MyVideo-123.jpeg";
    QTest::newRow("prefix, base, suffix, png") << "shot_" << "holiday" << "_" << "png" << true << "MyVideo" << 12 << "shot_holiday_00012.png";
    QTest::newRow("wider than padding") << "" << "" << "-" << "jpeg" << true << "MyVideo" << 123456 << "MyVideo-123456.jpeg";
    QTest::newRow("no suffix, tif") << "" << "" << "" << "tif" << true << "MyVideo" << 7 << "MyVideo00007.tif";
    QTest::newRow("counter 0 padded") << "" << "" << "-" << "jpeg" << true << "MyVideo" << 0 << "MyVideo-00000.jpeg";
    QTest::newRow("five digits exactly") << "" << "" << "-" << "jpeg" << true << "MyVideo" << 99999 << "MyVideo-99999.jpeg";
    QTest::newRow("no names at all") << "pre" << "" << "-" << "png" << true << "" << 2 << "pre-00002.png";
    QTest::newRow("base name replaces the video's") << "" << "same" << "-" << "jpg" << true << "Other" << 3 << "same-00003.jpg";
    QTest::newRow("type with a dot gives two") << "" << "" << "-" << ".png" << true << "MyVideo" << 1 << "MyVideo-00001..png";
    QTest::newRow("characters pass unchecked") << "a/b " << "" << "*" << "tiff" << false << "v:1" << 4 << "a/b v:1*4.tiff";
}

void FileNameProfileTest::naming()
{
    QFETCH(QString, prefix);
    QFETCH(QString, baseName);
    QFETCH(QString, suffix);
    QFETCH(QString, type);
    QFETCH(bool, pad);
    QFETCH(QString, video);
    QFETCH(int, counter);
    QFETCH(QString, expected);

    FileNameProfile profile;
    profile.setFileOutputPrefix(prefix);
    profile.setFileBaseName(baseName);
    profile.setFileOutputSuffix(suffix);
    profile.setFileOutputType(type);
    profile.setFileOutputCounterPadZeros(pad);
    QCOMPARE(profile.outputFileName(video, counter), expected);
}

void FileNameProfileTest::singleShotNameHasNoCounter()
{
    FileNameProfile profile;
    QCOMPARE(profile.outputFileName(QStringLiteral("MyVideo")), QStringLiteral("MyVideo-.jpeg"));
    profile.setFileOutputCounterPadZeros(false);
    QCOMPARE(profile.outputFileName(QStringLiteral("MyVideo")), profile.outputFileName(QStringLiteral("MyVideo"), -1));
}

void FileNameProfileTest::timeInNames_data()
{
    QTest::addColumn<int>("where");
    QTest::addColumn<bool>("pad");
    QTest::addColumn<int>("counter");
    QTest::addColumn<qint64>("timeMs");
    QTest::addColumn<QString>("expected");

    const int inPlace = FileNameProfile::TimeInPlaceOfCounter;
    const int beside = FileNameProfile::TimeBesideCounter;
    QTest::newRow("in place of the counter") << inPlace << true << 1 << qint64(83456) << "MyVideo-00h01m23s456.jpeg";
    QTest::newRow("in place, single shot") << inPlace << true << -1 << qint64(83456) << "MyVideo-00h01m23s456.jpeg";
    QTest::newRow("in place, clash") << inPlace << true << 2 << qint64(83456) << "MyVideo-00h01m23s456-2.jpeg";
    QTest::newRow("beside the counter") << beside << true << 7 << qint64(2000) << "MyVideo-00007-00h00m02s000.jpeg";
    QTest::newRow("beside, unpadded") << beside << false << 7 << qint64(2000) << "MyVideo-7-00h00m02s000.jpeg";
    QTest::newRow("beside, single shot") << beside << true << -1 << qint64(2000) << "MyVideo-00h00m02s000.jpeg";
    QTest::newRow("start") << inPlace << true << 1 << qint64(0) << "MyVideo-00h00m00s000.jpeg";
    QTest::newRow("hours") << inPlace << true << 1 << qint64(10 * 3600000 + 59 * 60000 + 59999) << "MyVideo-10h59m59s999.jpeg";
    QTest::newRow("beyond 99 hours") << inPlace << true << 1 << qint64(100) * 3600000 << "MyVideo-100h00m00s000.jpeg";
    QTest::newRow("no time known: counter") << inPlace << true << 3 << qint64(-1) << "MyVideo-00003.jpeg";
    QTest::newRow("setting off: no time") << int(FileNameProfile::NoTime) << true << 3 << qint64(5000) << "MyVideo-00003.jpeg";
    QTest::newRow("unknown setting: no time") << 9 << true << 3 << qint64(5000) << "MyVideo-00003.jpeg";
}

// The time never brings a character a file system refuses (Windows refuses
// the most), and names of later frames sort after those of earlier ones.
void FileNameProfileTest::timeInNames()
{
    QFETCH(int, where);
    QFETCH(bool, pad);
    QFETCH(int, counter);
    QFETCH(qint64, timeMs);
    QFETCH(QString, expected);

    FileNameProfile profile;
    profile.setFileOutputTime(where);
    profile.setFileOutputCounterPadZeros(pad);
    const QString name = profile.outputFileName(QStringLiteral("MyVideo"), counter, timeMs);
    QCOMPARE(name, expected);
    QVERIFY2(!name.contains(QRegularExpression(QStringLiteral("[<>:\"/\\\\|?*\\x00-\\x1f]"))), qPrintable(name));
    const bool timeShown = where == FileNameProfile::TimeInPlaceOfCounter || where == FileNameProfile::TimeBesideCounter;
    if (timeShown && timeMs >= 0 && timeMs < qint64(100) * 3600000 - 1000) {
        QVERIFY(profile.outputFileName(QStringLiteral("MyVideo"), counter, timeMs + 1) > name);
        QVERIFY(profile.outputFileName(QStringLiteral("MyVideo"), counter, timeMs + 1000) > name);
    }
}

void FileNameProfileTest::storeStartsWithADefaultProfile()
{
    ProfileManager *store = FileNameProfile::profileManager();
    QCOMPARE(store->fileName(), QStringLiteral("FileNameProfiles.ini"));
    QCOMPARE(store->profiles().size(), 1);
    auto *profile = qobject_cast<FileNameProfile *>(store->currentProfile());
    QVERIFY(profile);
    QCOMPARE(profile->name(), QStringLiteral("[Unnamed Settings]"));
    auto *created = store->createProfile();
    QVERIFY(qobject_cast<FileNameProfile *>(created));
    delete created;

    QSettings settings(ProfileManager::configFilePath(QStringLiteral("FileNameProfiles.ini")), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("profiles"));
    settings.beginGroup(profile->id());
    QStringList keys = settings.childKeys();
    keys.sort();
    const QStringList expected = {"fileBaseName", "fileOutputCounterPadZeros", "fileOutputPrefix",
                                  "fileOutputSuffix", "fileOutputTime", "fileOutputType", "id", "name", "objectName",
                                  "sortOrder"};
    QCOMPARE(keys, expected);
}

QTEST_GUILESS_MAIN(FileNameProfileTest)
#include "filenameprofiletest.moc"
