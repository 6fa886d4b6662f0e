#include "profiles/baseprofile.h"
#include "profiles/field.h"
#include "profiles/profilemanager.h"
#include "widgets/colorlabel.h"
#include "widgets/fontlabel.h"
#include "widgets/profileselector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

// A profile with one property of each type the editors bind.
class TestProfile : public BaseProfile
{
    Q_OBJECT
    Q_PROPERTY(QString text MEMBER text)
    Q_PROPERTY(int number MEMBER number)
    Q_PROPERTY(bool flag MEMBER flag)
    Q_PROPERTY(QColor color MEMBER color)
    Q_PROPERTY(QFont font MEMBER font)

public:
    QString text = QStringLiteral("default");
    int number = 7;
    bool flag = false;
    QColor color;
    QFont font;
};

namespace {
QWidget *makeWidget(const QString &kind)
{
    if (kind == QLatin1String("QComboBox")) {
        auto *comboBox = new QComboBox;
        for (int i = 0; i < 9; ++i)
            comboBox->addItem(QString::number(i), i);
        return comboBox;
    }
    if (kind == QLatin1String("ColorLabel"))
        return new ColorLabel;
    if (kind == QLatin1String("FontLabel"))
        return new FontLabel;
    static const QHash<QString, std::function<QWidget *()>> plain{
        {QStringLiteral("QLabel"), [] { return new QLabel; }},
        {QStringLiteral("QLineEdit"), [] { return new QLineEdit; }},
        {QStringLiteral("QTextEdit"), [] { return new QTextEdit; }},
        {QStringLiteral("QCheckBox"), [] { return new QCheckBox; }},
        {QStringLiteral("QSlider"), [] { return new QSlider; }},
        {QStringLiteral("QSpinBox"), [] { return new QSpinBox; }},
        {QStringLiteral("QRadioButton"), [] { return new QRadioButton; }}};
    return plain.value(kind)();
}

// What a user's edit does to each kind of widget.
void edit(QWidget *widget)
{
    if (auto *lineEdit = qobject_cast<QLineEdit *>(widget))
        lineEdit->setText(lineEdit->text() + QLatin1Char('x'));
    else if (auto *textEdit = qobject_cast<QTextEdit *>(widget))
        textEdit->insertPlainText(QStringLiteral("x"));
    else if (auto *comboBox = qobject_cast<QComboBox *>(widget))
        comboBox->setCurrentIndex(comboBox->currentIndex() == 0 ? 1 : 0);
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        button->click();
    else if (auto *slider = qobject_cast<QSlider *>(widget))
        slider->setValue(slider->value() + 1);
    else if (auto *spinBox = qobject_cast<QSpinBox *>(widget))
        spinBox->setValue(spinBox->value() + 1);
    else if (auto *colorLabel = dynamic_cast<ColorLabel *>(widget))
        colorLabel->setColor(Qt::green);
    else if (auto *fontLabel = dynamic_cast<FontLabel *>(widget))
        fontLabel->setSelectedFont(QFont(QStringLiteral("Courier"), 30));
}

// A store holding the named profiles (numbered 1, 2...) and a selector on
// it whose one field is a spin box bound to "number".
struct Form
{
    explicit Form(const QStringList &names)
        : store(QStringLiteral("TestProfiles.ini"), [] { return new TestProfile; }, false)
    {
        for (const QString &name : names) {
            auto *profile = new TestProfile;
            profile->setName(name);
            profile->number = store.profiles().size() + 1;
            store.addProfile(profile);
        }
        selector.addField("number", spinBox);
        selector.setProfileManager(&store);
    }

    ProfileManager store;
    ProfileSelector selector;
    QSpinBox *spinBox = new QSpinBox(&selector);
    QComboBox *comboBox = selector.findChild<QComboBox *>(QStringLiteral("profileComboBox"));
};
}

class ProfileSelectorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void fieldPerWidgetKind_data();
    void fieldPerWidgetKind();
    void textThatIsNoNumberLeavesPropertyUnchanged();
    void saveByName_data();
    void saveByName();
    void selectProfileNotListed_data();
    void selectProfileNotListed();
    void pickingEmitsProfileSelectedOnceAfterLoading();
    void fontLabelShowsFamilyAndSize();
    void radioGroupShowsOnlyTheStoredValue_data();
    void radioGroupShowsOnlyTheStoredValue();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void ProfileSelectorTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
}

void ProfileSelectorTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", QFile::encodeName(m_home->path()));
}

void ProfileSelectorTest::fieldPerWidgetKind_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("radioValue");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("read");
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<bool>("announces");

    const QVariant text = QStringLiteral("<b>not markup</b>");
    const QColor color(10, 20, 30, 40);
    const QFont font(QStringLiteral("Arial"), 10);
    QTest::newRow("colour label") << "ColorLabel" << QByteArray("color") << -1 << QVariant(color) << QVariant(color) << QVariant(color) << false;
    QTest::newRow("colour from text") << "ColorLabel" << QByteArray("text") << -1 << QVariant(QStringLiteral("#ff0000")) << QVariant(QColor(Qt::red)) << QVariant(QStringLiteral("#ff0000")) << false;
    QTest::newRow("font label") << "FontLabel" << QByteArray("font") << -1 << QVariant(font) << QVariant(font) << QVariant(font) << false;
    QTest::newRow("label only shows") << "QLabel" << QByteArray("text") << -1 << text << QVariant() << QVariant(QStringLiteral("default")) << false;
    QTest::newRow("line edit") << "QLineEdit" << QByteArray("text") << -1 << text << text << text << true;
    QTest::newRow("line edit of a number") << "QLineEdit" << QByteArray("number") << -1 << QVariant(640) << QVariant(QStringLiteral("640")) << QVariant(640) << true;
    QTest::newRow("text edit keeps markup as text") << "QTextEdit" << QByteArray("text") << -1 << text << text << text << true;
    QTest::newRow("combo box by data") << "QComboBox" << QByteArray("number") << -1 << QVariant(3) << QVariant(3) << QVariant(3) << true;
    QTest::newRow("combo box without match") << "QComboBox" << QByteArray("number") << -1 << QVariant(42) << QVariant() << QVariant(7) << true;
    QTest::newRow("check box") << "QCheckBox" << QByteArray("flag") << -1 << QVariant(true) << QVariant(true) << QVariant(true) << true;
    QTest::newRow("slider") << "QSlider" << QByteArray("number") << -1 << QVariant(42) << QVariant(42) << QVariant(42) << true;
    QTest::newRow("spin box") << "QSpinBox" << QByteArray("number") << -1 << QVariant(42) << QVariant(42) << QVariant(42) << true;
    QTest::newRow("radio checked") << "QRadioButton" << QByteArray("number") << 2 << QVariant(2) << QVariant(2) << QVariant(2) << true;
    QTest::newRow("radio unchecked writes nothing") << "QRadioButton" << QByteArray("number") << 2 << QVariant(5) << QVariant(-1) << QVariant(7) << true;
}

void ProfileSelectorTest::fieldPerWidgetKind()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, property);
    QFETCH(int, radioValue);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, read);
    QFETCH(QVariant, written);
    QFETCH(bool, announces);

    ProfileSelector selector;
    QWidget *widget = makeWidget(kind);
    widget->setParent(&selector);
    Field *field = selector.addField(property.constData(), widget, radioValue);
    QSignalSpy changes(&selector, &ProfileSelector::fieldChanged);

    TestProfile profile;
    profile.setProperty(property.constData(), stored);
    selector.loadProfile(&profile);
    QCOMPARE(changes.size(), 0);
    QCOMPARE(selector.fieldValue(field), read);

    TestProfile target;
    selector.writeFields(&target);
    QCOMPARE(target.property(property.constData()), written);

    edit(widget);
    QCOMPARE(changes.size(), announces ? 1 : 0);
}

void ProfileSelectorTest::textThatIsNoNumberLeavesPropertyUnchanged()
{
    ProfileSelector selector;
    auto *lineEdit = new QLineEdit(QStringLiteral("12 pixels"), &selector);
    selector.addField("number", lineEdit);
    TestProfile target;
    selector.writeFields(&target);
    QCOMPARE(target.number, 7);
}

void ProfileSelectorTest::saveByName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("savedName");
    QTest::newRow("other case updates") << "my profile" << 2 << "My Profile";
    QTest::newRow("new name adds at the end") << "Third" << 3 << "Third";
}

void ProfileSelectorTest::saveByName()
{
    QFETCH(QString, typed);
    QFETCH(int, count);
    QFETCH(QString, savedName);
    Form form({QStringLiteral("First"), QStringLiteral("My Profile")});
    form.comboBox->setEditText(typed);
    form.spinBox->setValue(42);
    bool written = false;
    BaseProfile *saved = form.selector.saveProfile(&written);
    QVERIFY(written);
    QCOMPARE(saved->name(), savedName);
    QCOMPARE(saved->property("number").toInt(), 42);
    QCOMPARE(form.spinBox->value(), 42);
    QCOMPARE(form.store.profiles().size(), count);
    QCOMPARE(form.comboBox->count(), count);
    if (count == 3)
        QCOMPARE(form.comboBox->currentIndex(), 2);
    QSettings file(ProfileManager::configFilePath(form.store.fileName()), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("profiles/%1/number").arg(saved->id())).toInt(), 42);
}

void ProfileSelectorTest::selectProfileNotListed_data()
{
    QTest::addColumn<bool>("none");
    QTest::addColumn<int>("shown");
    QTest::newRow("profile not listed") << false << 99;
    QTest::newRow("no profile shows the defaults") << true << 7;
}

void ProfileSelectorTest::selectProfileNotListed()
{
    QFETCH(bool, none);
    QFETCH(int, shown);
    Form form({QStringLiteral("Listed")});
    QSignalSpy names(&form.selector, &ProfileSelector::profileNameTextChanged);
    TestProfile unlisted;
    unlisted.number = 99;
    QTest::ignoreMessage(QtDebugMsg, "Name.length was 0. Show an error or don't let the user press the button here.");
    form.selector.selectProfile(none ? nullptr : &unlisted);
    QCOMPARE(form.comboBox->currentIndex(), -1);
    QCOMPARE(form.comboBox->currentText(), QString());
    QCOMPARE(names.size(), 1);
    QCOMPARE(names.first().first().toString(), QString());
    QCOMPARE(form.spinBox->value(), shown);
    QCOMPARE(form.store.profiles().first()->property("number").toInt(), 1);
}

void ProfileSelectorTest::pickingEmitsProfileSelectedOnceAfterLoading()
{
    Form form({QStringLiteral("One"), QStringLiteral("Two")});
    QCOMPARE(form.spinBox->value(), 1);
    int shownWhenSelected = -1;
    QSignalSpy selected(&form.selector, &ProfileSelector::profileSelected);
    QSignalSpy changes(&form.selector, &ProfileSelector::fieldChanged);
    connect(&form.selector, &ProfileSelector::profileSelected, this,
            [&] { shownWhenSelected = form.spinBox->value(); });
    form.comboBox->setCurrentIndex(1);
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().first().value<BaseProfile *>(), form.store.profiles().at(1));
    QCOMPARE(shownWhenSelected, 2);
    QCOMPARE(changes.size(), 0);
}

void ProfileSelectorTest::fontLabelShowsFamilyAndSize()
{
    FontLabel label;
    label.setSelectedFont(QFont(QStringLiteral("Arial"), 10));
    QCOMPARE(label.text(), QStringLiteral("Arial, 10pt"));
    QCOMPARE(label.font().family(), QStringLiteral("Arial"));
    QCOMPARE(label.font().pointSize(), 14);
    QCOMPARE(label.selectedFont().pointSize(), 10);
}

void ProfileSelectorTest::radioGroupShowsOnlyTheStoredValue_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("checked");
    QTest::addColumn<int>("written");
    QTest::newRow("a button's value") << 2 << 1 << 2;
    QTest::newRow("no button's value keeps none checked and the value") << 5 << -1 << 7;
}

// The form showed another profile before: its button must not stay checked.
void ProfileSelectorTest::radioGroupShowsOnlyTheStoredValue()
{
    QFETCH(int, stored);
    QFETCH(int, checked);
    QFETCH(int, written);
    ProfileSelector selector;
    const QList<QRadioButton *> buttons = { new QRadioButton(&selector), new QRadioButton(&selector) };
    selector.addField("number", buttons.at(0), 1);
    selector.addField("number", buttons.at(1), 2);
    buttons.at(0)->setChecked(true);

    TestProfile profile;
    profile.number = stored;
    selector.loadProfile(&profile);
    QCOMPARE(buttons.at(0)->isChecked(), checked == 0);
    QCOMPARE(buttons.at(1)->isChecked(), checked == 1);
    TestProfile target;
    selector.writeFields(&target);
    QCOMPARE(target.number, written);
}

QTEST_MAIN(ProfileSelectorTest)
#include "profileselectortest.moc"
