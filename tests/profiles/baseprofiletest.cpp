#include "profiles/baseprofile.h"
#include "profiles/configfile.h"
#include "profiles/field.h"
#include "profiles/imageprofile.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class BaseProfileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void newProfilesHaveDistinctUpperCaseIds();
    void writeSettingsWritesEveryStoredWritableProperty();
    void writeThenReadKeepsEveryValue();
    void groupWithOnlyANameKeepsDefaultsAndNewId();
    void idComesFromTheIdKey();
    void keysThatAreNoPropertyAreIgnored();
    void storedValues_data();
    void storedValues();
    void skippedPropertiesAreNeitherWrittenNorRead();
    void fieldStartsUnboundAndDiesWithItsDialog();

private:
    // Settings positioned on the group "g" of an INI file holding iniText.
    std::unique_ptr<QSettings> settingsWith(const QByteArray &iniText);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void BaseProfileTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

std::unique_ptr<QSettings> BaseProfileTest::settingsWith(const QByteArray &iniText)
{
    const QString path = m_dir->filePath(QStringLiteral("profile.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(iniText) != iniText.size())
        return nullptr;
    file.close();
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    settings->beginGroup(QStringLiteral("g"));
    return settings;
}

void BaseProfileTest::newProfilesHaveDistinctUpperCaseIds()
{
    const BaseProfile first;
    const BaseProfile second;
    const QRegularExpression uuid(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    QVERIFY2(uuid.match(first.id()).hasMatch(), qPrintable(first.id()));
    QVERIFY2(uuid.match(second.id()).hasMatch(), qPrintable(second.id()));
    QVERIFY(first.id() != second.id());
    QVERIFY(first.name().isEmpty());
}

void BaseProfileTest::writeSettingsWritesEveryStoredWritableProperty()
{
    auto settings = settingsWith(QByteArray());
    QVERIFY(settings);
    ImageProfile profile;
    profile.writeSettings(*settings);

    QStringList keys = settings->childKeys();
    keys.sort();
    const QStringList expected = {
        "id", "imageBrightness", "imageContrast", "imageHeight", "imageQuality", "imageWidth",
        "maintainAspectRatio", "name", "objectName", "sameSizeAsVideo", "watermarkProfileId"};
    QCOMPARE(keys, expected);
    QCOMPARE(settings->value("id").toString(), profile.id());
    QCOMPARE(settings->value("objectName").toString(), QString());
}

void BaseProfileTest::writeThenReadKeepsEveryValue()
{
    auto settings = settingsWith(QByteArray());
    QVERIFY(settings);
    ImageProfile written;
    written.setName(QStringLiteral("Web, small \"quoted\" = ;"));
    written.setSameSizeAsVideo(true);
    written.setImageWidth(320);
    written.setImageHeight(1080);
    written.setMaintainAspectRatio(true);
    written.setImageContrast(-20);
    written.setImageBrightness(35);
    written.setWatermarkProfileId(QStringLiteral("0A1B2C3D-0000-4000-8000-000000000000"));
    written.writeSettings(*settings);
    settings->sync();

    QSettings reread(settings->fileName(), QSettings::IniFormat);
    reread.beginGroup(QStringLiteral("g"));
    ImageProfile read;
    read.readSettings(reread);
    const QMetaObject *meta = read.metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const char *name = meta->property(i).name();
        QCOMPARE(read.property(name), written.property(name));
    }
}

void BaseProfileTest::groupWithOnlyANameKeepsDefaultsAndNewId()
{
    auto settings = settingsWith("[g]\nname=Only a name\n");
    QVERIFY(settings);
    ImageProfile profile;
    const QString freshId = profile.id();
    profile.readSettings(*settings);

    QCOMPARE(profile.name(), QStringLiteral("Only a name"));
    QCOMPARE(profile.id(), freshId);
    QCOMPARE(profile.imageWidth(), 640);
    QCOMPARE(profile.imageHeight(), 480);
    QCOMPARE(profile.sameSizeAsVideo(), false);
}

void BaseProfileTest::idComesFromTheIdKey()
{
    auto settings = settingsWith("[g]\nid=1F2E3D4C-AAAA-4BBB-8CCC-DDDDEEEEFFFF\n");
    QVERIFY(settings);
    BaseProfile profile;
    profile.readSettings(*settings);
    QCOMPARE(profile.id(), QStringLiteral("1F2E3D4C-AAAA-4BBB-8CCC-DDDDEEEEFFFF"));
}

void BaseProfileTest::keysThatAreNoPropertyAreIgnored()
{
    auto settings = settingsWith("[g]\nsortOrder=3\nsomethingElse=x\nimageWidth=800\n");
    QVERIFY(settings);
    ImageProfile profile;
    profile.readSettings(*settings);
    QCOMPARE(profile.imageWidth(), 800);
    QVERIFY(profile.dynamicPropertyNames().isEmpty());
}

// What a hand-edited or damaged group gives: a value that is not of the
// property's type leaves the default and says so.
void BaseProfileTest::storedValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("rejected");

    QTest::newRow("number") << QByteArray("imageWidth=800") << "imageWidth" << QVariant(800) << false;
    QTest::newRow("negative number") << QByteArray("imageContrast=-5") << "imageContrast" << QVariant(-5) << false;
    QTest::newRow("letters for a number") << QByteArray("imageWidth=abc") << "imageWidth" << QVariant(640) << true;
    QTest::newRow("empty number") << QByteArray("imageWidth=") << "imageWidth" << QVariant(640) << true;
    QTest::newRow("fraction for a number") << QByteArray("imageWidth=1.5") << "imageWidth" << QVariant(640) << true;
    QTest::newRow("number beyond int") << QByteArray("imageWidth=99999999999") << "imageWidth" << QVariant(640) << true;
    QTest::newRow("invalid variant") << QByteArray("imageWidth=@Invalid()") << "imageWidth" << QVariant(640) << true;
    QTest::newRow("list for a number") << QByteArray("imageWidth=1, 2") << "imageWidth" << QVariant(640) << true;
    QTest::newRow("true") << QByteArray("sameSizeAsVideo=true") << "sameSizeAsVideo" << QVariant(true) << false;
    QTest::newRow("TRUE") << QByteArray("sameSizeAsVideo=TRUE") << "sameSizeAsVideo" << QVariant(true) << false;
    QTest::newRow("one for a bool") << QByteArray("sameSizeAsVideo=1") << "sameSizeAsVideo" << QVariant(true) << false;
    QTest::newRow("letters for a bool") << QByteArray("sameSizeAsVideo=abc") << "sameSizeAsVideo" << QVariant(false) << true;
    QTest::newRow("number 2 for a bool") << QByteArray("sameSizeAsVideo=2") << "sameSizeAsVideo" << QVariant(false) << true;
    QTest::newRow("text with commas") << QByteArray("name=Web, small") << "name" << QVariant(QStringLiteral("Web, small")) << false;
    QTest::newRow("quoted text") << QByteArray("name=\"a, b\"") << "name" << QVariant(QStringLiteral("a, b")) << false;
}

void BaseProfileTest::storedValues()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);
    QFETCH(bool, rejected);

    auto settings = settingsWith("[g]\n" + line + "\n");
    QVERIFY(settings);
    ImageProfile profile;
    if (rejected)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Ignoring .*%1").arg(property)));
    profile.readSettings(*settings);
    QCOMPARE(profile.property(qPrintable(property)), expected);
}

void BaseProfileTest::skippedPropertiesAreNeitherWrittenNorRead()
{
    auto settings = settingsWith("[g]\nimageWidth=800\nimageHeight=600\n");
    QVERIFY(settings);
    ImageProfile profile;
    ConfigFile::readProperties(profile, *settings, {QStringLiteral("imageWidth")});
    QCOMPARE(profile.imageWidth(), 640);
    QCOMPARE(profile.imageHeight(), 600);

    settings->remove(QString());
    ConfigFile::writeProperties(profile, *settings, {QStringLiteral("imageWidth"), QStringLiteral("name")});
    QVERIFY(!settings->contains(QStringLiteral("imageWidth")));
    QVERIFY(!settings->contains(QStringLiteral("name")));
    QCOMPARE(settings->value(QStringLiteral("imageHeight")).toInt(), 600);
}

void BaseProfileTest::fieldStartsUnboundAndDiesWithItsDialog()
{
    auto dialog = std::make_unique<QObject>();
    QPointer<Field> field = new Field(dialog.get());
    QVERIFY(!field->propertyName);
    QVERIFY(!field->widget);
    QCOMPARE(field->value, -1);
    dialog.reset();
    QVERIFY(field.isNull());
}

QTEST_GUILESS_MAIN(BaseProfileTest)
#include "baseprofiletest.moc"
