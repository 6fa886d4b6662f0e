#pragma once

#include "profiles/field.h"

#include <QList>
#include <QVariant>
#include <QWidget>

#include <memory>

namespace Ui {
class ProfileSelector;
}

class BaseProfile;
class ProfileManager;

// The editable profile drop-down at the top of every profile editor, and the
// copying of values between the editor's widgets (registered as Fields) and
// profile properties. Picking a profile shows its values; Save stores the
// form under the typed name, updating the profile of that name (compared
// without regard to case, never renamed) or adding a new one, and writes the
// whole store. The widget kinds a field may have, and how their values
// travel, are FieldBinding's.
//
// User-interface thread only; profiles and fields are not owned.
class ProfileSelector : public QWidget
{
    Q_OBJECT

public:
    explicit ProfileSelector(QWidget *parent = nullptr);
    ~ProfileSelector() override;

    // Lists the store's profiles; the first one is selected and shown.
    void setProfileManager(ProfileManager *manager);
    void addProfileItem(BaseProfile *profile);

    // Registers a field; edits of its widget announce fieldChanged(field).
    void addField(Field *field);
    // Convenience: a field owned by widget, then addField().
    Field *addField(const char *propertyName, QWidget *widget, int value = -1);

    // Makes profile current and shows it. None (or a profile that is not
    // listed) leaves no item current and the name empty; none shows the
    // kind's defaults.
    void selectProfile(BaseProfile *profile);
    // Shows the profile's values without announcing any field change.
    void loadProfile(BaseProfile *profile);
    // Copies the form into target's properties. Unchecked radio buttons and
    // widgets that are only shown write nothing; text that does not convert
    // to the property's type leaves the property unchanged.
    void writeFields(QObject *target) const;
    QVariant fieldValue(Field *field) const;

    // Stores the form under the typed name and writes the store. Returns the
    // profile; written (when given) tells whether the store's file was written.
    // When it was not, the store keeps the profiles and values its file holds
    // (none is returned) and the form keeps the edits.
    BaseProfile *saveProfile(bool *written = nullptr);
    // Tells the user, in a warning box, that the store's file could not be written.
    void warnNotWritten();
    // Shows the kind's defaults; saves nothing.
    void resetToDefaults();

signals:
    void profileSelected(BaseProfile *profile);
    void profileNameTextChanged(const QString &name);
    void fieldChanged(Field *field);

private slots:
    void on_profileComboBox_editTextChanged(const QString &text);
    void on_profileComboBox_currentIndexChanged(int index);

private:
    std::unique_ptr<Ui::ProfileSelector> ui;
    ProfileManager *manager = nullptr;
    QList<BaseProfile *> profileList;
    QList<Field *> fields;
    bool loading = false;
};
