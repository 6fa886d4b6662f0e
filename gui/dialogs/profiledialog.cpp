#include "dialogs/profiledialog.h"

#include "widgets/profileselector.h"
#include "widgets/screenfit.h"

#include <QAbstractButton>
#include <QBoxLayout>

ProfileDialog::ProfileDialog(QWidget *parent)
    : QDialog(parent)
{
}

void ProfileDialog::setUpForm(ProfileSelector *selector, QAbstractButton *saveButton, QAbstractButton *cancelButton,
                              QBoxLayout *body)
{
    m_selector = selector;
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // The buttons stay in reach on a small screen; the rest scrolls.
    ScreenFit::scrollBody(body, 1);
    ScreenFit::keepOnScreen(this);
    saveButton->setEnabled(false);
    connect(selector, &ProfileSelector::profileNameTextChanged, saveButton,
            [saveButton](const QString &name) { saveButton->setEnabled(!name.isEmpty()); });
    connect(saveButton, &QAbstractButton::clicked, this, &ProfileDialog::save);
    connect(cancelButton, &QAbstractButton::clicked, this, &QDialog::reject);
}

void ProfileDialog::save()
{
    if (!inputIsValid())
        return;
    bool written = false;
    BaseProfile *saved = m_selector->saveProfile(&written);
    if (!written) {
        // Closing now would look like success and lose the edits at the next start.
        m_selector->warnNotWritten();
        return;
    }
    m_profile = saved;
    accept();
}
