#include "widgets/profileselector.h"
#include "guilog.h"

#include "ui_profileselector.h"

#include "profiles/baseprofile.h"
#include "profiles/field.h"
#include "profiles/profilemanager.h"
#include "widgets/colorlabel.h"
#include "widgets/fontlabel.h"

// Qt
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaProperty>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSlider>
#include <QSpinBox>
#include <QTextEdit>

namespace {
void copyProperties(const QObject &from, QObject &to)
{
    const QMetaObject *meta = from.metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (property.isStored() && property.isWritable())
            property.write(&to, property.read(&from));
    }
}
}

ProfileSelector::ProfileSelector(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::ProfileSelector>())
{
    // The signals' argument types, for queued connections and signal spies.
    qRegisterMetaType<BaseProfile *>();
    qRegisterMetaType<Field *>();
    ui->setupUi(this);
    ui->profileComboBox->lineEdit()->setPlaceholderText(tr("[Type to Name Profile]"));
}

ProfileSelector::~ProfileSelector() = default;

void ProfileSelector::setProfileManager(ProfileManager *store)
{
    manager = store;
    const QList<BaseProfile *> profiles = store->profiles();
    for (BaseProfile *profile : profiles)
        addProfileItem(profile);
}

void ProfileSelector::addProfileItem(BaseProfile *profile)
{
    profileList.append(profile);
    ui->profileComboBox->addItem(profile->name());
}

void ProfileSelector::addField(Field *field)
{
    fields.append(field);
    const auto announce = [this, field] {
        if (!loading)
            emit fieldChanged(field);
    };
    QWidget *widget = field->widget;
    // The label kinds come first: they are QLabels without a change signal.
    if (dynamic_cast<ColorLabel *>(widget) || dynamic_cast<FontLabel *>(widget) || qobject_cast<QLabel *>(widget))
        return;
    if (auto *lineEdit = qobject_cast<QLineEdit *>(widget))
        connect(lineEdit, &QLineEdit::textChanged, this, announce);
    else if (auto *textEdit = qobject_cast<QTextEdit *>(widget))
        connect(textEdit, &QTextEdit::textChanged, this, announce);
    else if (auto *comboBox = qobject_cast<QComboBox *>(widget))
        connect(comboBox, &QComboBox::currentTextChanged, this, announce);
    else if (auto *checkBox = qobject_cast<QCheckBox *>(widget))
        connect(checkBox, &QCheckBox::stateChanged, this, announce);
    else if (auto *slider = qobject_cast<QSlider *>(widget))
        connect(slider, &QSlider::valueChanged, this, announce);
    else if (auto *spinBox = qobject_cast<QSpinBox *>(widget))
        connect(spinBox, QOverload<int>::of(&QSpinBox::valueChanged), this, announce);
    else if (auto *radioButton = qobject_cast<QRadioButton *>(widget))
        connect(radioButton, &QRadioButton::clicked, this, announce);
}

Field *ProfileSelector::addField(const char *propertyName, QWidget *widget, int value)
{
    auto *field = new Field(widget);
    field->propertyName = propertyName;
    field->widget = widget;
    field->value = value;
    addField(field);
    return field;
}

void ProfileSelector::selectProfile(BaseProfile *profile)
{
    ui->profileComboBox->setCurrentIndex(profileList.indexOf(profile));
    if (profile)
        loadProfile(profile);
    else
        resetToDefaults();
}

void ProfileSelector::loadProfile(BaseProfile *profile)
{
    const QScopedValueRollback<bool> guard(loading, true);
    for (const Field *field : qAsConst(fields)) {
        const QVariant value = profile->property(field->propertyName);
        QWidget *widget = field->widget;
        if (auto *colorLabel = dynamic_cast<ColorLabel *>(widget))
            colorLabel->setColor(value.value<QColor>());
        else if (auto *fontLabel = dynamic_cast<FontLabel *>(widget))
            fontLabel->setSelectedFont(value.value<QFont>());
        else if (auto *label = qobject_cast<QLabel *>(widget))
            label->setText(value.toString());
        else if (auto *lineEdit = qobject_cast<QLineEdit *>(widget))
            lineEdit->setText(value.toString());
        // Plain text: a watermark text that looks like markup must come back unchanged.
        else if (auto *textEdit = qobject_cast<QTextEdit *>(widget))
            textEdit->setPlainText(value.toString());
        else if (auto *comboBox = qobject_cast<QComboBox *>(widget))
            comboBox->setCurrentIndex(comboBox->findData(value.toString(), Qt::UserRole,
                                                         Qt::MatchExactly | Qt::MatchCaseSensitive));
        else if (auto *checkBox = qobject_cast<QCheckBox *>(widget))
            checkBox->setChecked(value.toBool());
        else if (auto *slider = qobject_cast<QSlider *>(widget))
            slider->setValue(value.toInt());
        else if (auto *spinBox = qobject_cast<QSpinBox *>(widget))
            spinBox->setValue(value.toInt());
        else if (auto *radioButton = qobject_cast<QRadioButton *>(widget))
            radioButton->setChecked(value.toInt() == field->value);
    }
}

QVariant ProfileSelector::fieldValue(Field *field) const
{
    QWidget *widget = field->widget;
    if (auto *colorLabel = dynamic_cast<ColorLabel *>(widget))
        return colorLabel->color();
    if (auto *fontLabel = dynamic_cast<FontLabel *>(widget))
        return fontLabel->selectedFont();
    if (qobject_cast<QLabel *>(widget))
        return QVariant();
    if (auto *lineEdit = qobject_cast<QLineEdit *>(widget))
        return lineEdit->text();
    if (auto *textEdit = qobject_cast<QTextEdit *>(widget))
        return textEdit->toPlainText();
    if (auto *comboBox = qobject_cast<QComboBox *>(widget))
        return comboBox->currentData(Qt::UserRole);
    if (auto *checkBox = qobject_cast<QCheckBox *>(widget))
        return checkBox->checkState() == Qt::Checked;
    if (auto *slider = qobject_cast<QSlider *>(widget))
        return slider->value();
    if (auto *spinBox = qobject_cast<QSpinBox *>(widget))
        return spinBox->value();
    if (auto *radioButton = qobject_cast<QRadioButton *>(widget))
        return radioButton->isChecked() ? field->value : -1;
    return QVariant();
}

void ProfileSelector::writeFields(QObject *target) const
{
    for (Field *field : qAsConst(fields)) {
        const QVariant value = fieldValue(field);
        // Writing an invalid value would reset the property to its type's
        // default; a widget that is only shown has nothing to say.
        if (!value.isValid())
            continue;
        if (field->value != -1 && value.toInt() == -1)
            continue;
        target->setProperty(field->propertyName, value);
    }
}

BaseProfile *ProfileSelector::saveProfile(bool *written)
{
    const QString name = ui->profileComboBox->currentText();
    const int shownIndex = ui->profileComboBox->currentIndex();
    const int found = name.isEmpty() ? -1 : ui->profileComboBox->findData(name, Qt::DisplayRole, Qt::MatchFixedString);
    BaseProfile *target = found >= 0 ? profileList.value(found) : nullptr;
    // The values the store's file holds, to go back to if it cannot be written.
    std::unique_ptr<BaseProfile> before;
    if (target) {
        before.reset(manager->createProfile());
        copyProperties(*target, *before);
    } else {
        target = manager->createProfile();
        target->setName(name);
        manager->addProfile(target);
        // Neither the new item nor making it current may load it (the first
        // item of an empty list becomes current as it is added): the form
        // holds what is saved.
        const QScopedValueRollback<bool> guard(loading, true);
        addProfileItem(target);
        ui->profileComboBox->setCurrentIndex(ui->profileComboBox->count() - 1);
    }
    writeFields(target);
    const bool saved = manager->save();
    if (written)
        *written = saved;
    if (saved)
        return target;

    // Not written: the store and the list stay as its file has them (a new
    // profile is taken back), while the form keeps the edits for another try.
    if (before) {
        copyProperties(*before, *target);
        return nullptr;
    }
    const QScopedValueRollback<bool> guard(loading, true);
    manager->removeProfile(target);
    profileList.removeLast();
    ui->profileComboBox->removeItem(ui->profileComboBox->count() - 1);
    ui->profileComboBox->setCurrentIndex(shownIndex);
    ui->profileComboBox->setEditText(name);
    delete target;
    return nullptr;
}

void ProfileSelector::warnNotWritten()
{
    QMessageBox::warning(window(), tr("Profile Not Saved"),
                         tr("The profiles could not be written to %1. Your changes are still in the form; "
                            "check that the folder is writable and the disk is not full, then save again.")
                             .arg(QDir::toNativeSeparators(ProfileManager::configFilePath(manager->fileName()))));
}

void ProfileSelector::resetToDefaults()
{
    if (!manager)
        return;
    const std::unique_ptr<BaseProfile> defaults(manager->createProfile());
    loadProfile(defaults.get());
}

void ProfileSelector::on_profileComboBox_editTextChanged(const QString &text)
{
    if (!loading)
        emit profileNameTextChanged(text);
}

void ProfileSelector::on_profileComboBox_currentIndexChanged(int index)
{
    if (loading)
        return;
    if (ui->profileComboBox->currentText().isEmpty()) {
        qCDebug(lcGui, "Name.length was 0. Show an error or don't let the user press the button here.");
        return;
    }
    if (index < 0 || index >= profileList.size())
        return;
    BaseProfile *profile = profileList.at(index);
    loadProfile(profile);
    emit profileSelected(profile);
}
