#pragma once

#include <QDialog>

class BaseProfile;
class ProfileSelector;
class QAbstractButton;
class QBoxLayout;

// What the three profile editors share: a profile selector over the
// profile's fields, Save (enabled while the profile has a name) and Cancel,
// and a body that scrolls on a small screen. Save writes the store and
// closes only when the file was written; the caller reads profile() after
// the dialog closes: the saved profile, or the one it was given.
//
// User-interface thread only; made for one modal run.
class ProfileDialog : public QDialog
{
    Q_OBJECT

public:
    BaseProfile *profile() const { return m_profile; }

protected:
    explicit ProfileDialog(QWidget *parent = nullptr);

    // After setupUi(): the form's selector and buttons, and the layout whose
    // items but the last (the buttons) scroll.
    void setUpForm(ProfileSelector *selector, QAbstractButton *saveButton, QAbstractButton *cancelButton,
                   QBoxLayout *body);
    // The profile to start with, and to answer profile() with unless saved.
    void setStartProfile(BaseProfile *profile) { m_profile = profile; }
    // Asked before saving: false keeps the dialog open (after telling the
    // user what is wrong).
    virtual bool inputIsValid() { return true; }

private:
    void save();

    ProfileSelector *m_selector = nullptr;
    BaseProfile *m_profile = nullptr;
};
