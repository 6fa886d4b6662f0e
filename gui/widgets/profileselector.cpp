#include "widgets/profileselector.h"
#include "guilog.h"

#include "ui_profileselector.h"

#include "profiles/baseprofile.h"
#include "profiles/field.h"
#include "profiles/profilemanager.h"
#include "widgets/fieldbinding.h"

// Qt
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaProperty>
#include <QScopedValueRollback>

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
    FieldBinding::onChange(field, this, [this, field] {
        if (!loading)
            emit fieldChanged(field);
    });
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
    for (Field *field : qAsConst(fields))
        FieldBinding::show(field, profile->property(field->propertyName));
}

QVariant ProfileSelector::fieldValue(Field *field) const
{
    return FieldBinding::value(field);
}

void ProfileSelector::writeFields(QObject *target) const
{
    for (const Field *field : qAsConst(fields)) {
        // Writing an invalid value would reset the property to its type's
        // default; a widget that is only shown, or an unchecked radio
        // button, has nothing to say.
        const QVariant value = FieldBinding::valueToStore(field);
        if (value.isValid())
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
