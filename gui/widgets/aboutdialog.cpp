#include "widgets/aboutdialog.h"

#include "tindraversion.h"
#include "ui_aboutdialog.h"

#include "widgets/screenfit.h"

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::AboutDialog>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // Fixed to its text where the screen has room, else smaller and scrolling.
    ScreenFit::scrollBody(ui->verticalLayout, 0);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ScreenFit::keepOnScreen(this);

    setLinkLabel(ui->websiteLabel, QStringLiteral("https://tindra.app/"), QStringLiteral("tindra.app"));
    setLinkLabel(ui->emailLabel, QStringLiteral("mailto:support@tindra.app"), QStringLiteral("support@tindra.app"));
    ui->versionLabel->setText(tr("Version: ") + QLatin1String(TINDRA_VERSION));
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::setLinkLabel(QLabel *label, const QString &url, const QString &text)
{
    const QString shown = text.isNull() ? url : text;
    label->setText(QLatin1String("<a href=\"") + url + QLatin1String("\">") + shown + QLatin1String("</a>"));
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse
                                   | Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(true);
    label->setFocusPolicy(Qt::NoFocus);
}
