#include "dialogs/filenameprofiledialog.h"

#include "ui_filenameprofiledialog.h"

#include "imaging/imagewriter.h"
#include "profiles/filenameprofile.h"

// Qt
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

namespace {
// The time of the example frame: 1 min 23.456 s.
constexpr qint64 ExampleTime = 83456;
}

FileNameProfileDialog::FileNameProfileDialog(QWidget *parent)
    : ProfileDialog(parent), ui(std::make_unique<Ui::FileNameProfileDialog>())
{
    ui->setupUi(this);
    setUpForm(ui->profileSelector, ui->saveButton, ui->cancelButton, ui->verticalLayout);
    ProfileSelector *selector = ui->profileSelector;

    // Only the types this installation writes (WebP needs Qt's plugin).
    for (const QString &type : ImageWriter::fileTypes())
        ui->formatFileExtensionComboBox->addItem(QLatin1Char('.') + type, type);
    ui->formatTimeComboBox->addItem(tr("Not in the name"), QString::number(FileNameProfile::NoTime));
    ui->formatTimeComboBox->addItem(tr("In place of the counter"), QString::number(FileNameProfile::TimeInPlaceOfCounter));
    ui->formatTimeComboBox->addItem(tr("Beside the counter"), QString::number(FileNameProfile::TimeBesideCounter));

    selector->addField("fileOutputPrefix", ui->formatPrefixLineEdit);
    selector->addField("fileBaseName", ui->formatBasenameLineEdit);
    selector->addField("fileOutputSuffix", ui->formatSuffixLineEdit);
    selector->addField("fileOutputType", ui->formatFileExtensionComboBox);
    selector->addField("fileOutputTime", ui->formatTimeComboBox);
    connect(selector, &ProfileSelector::profileSelected, this, &FileNameProfileDialog::updateExample);
    connect(selector, &ProfileSelector::fieldChanged, this, &FileNameProfileDialog::updateExample);
    selector->setProfileManager(FileNameProfile::profileManager());
}

FileNameProfileDialog::~FileNameProfileDialog() = default;

void FileNameProfileDialog::setProfile(BaseProfile *profile)
{
    setStartProfile(profile);
    ui->profileSelector->selectProfile(profile);
    updateExample();
}

void FileNameProfileDialog::setVideoFileName(const QString &fileName)
{
    videoFileName = fileName;
    updateExample();
}

void FileNameProfileDialog::updateExample()
{
    FileNameProfile example;
    ui->profileSelector->writeFields(&example);
    ui->outputExampleVideoLabel->setText(videoFileName);
    const QString base = QFileInfo(videoFileName).baseName();
    // An empty base name field uses the video's name: show which.
    ui->formatBasenameLineEdit->setPlaceholderText(base);
    ui->outputExampleLabel->setText(example.outputFileName(base, 1, ExampleTime));
    ui->outputExampleWithoutCounterLabel->setText(example.outputFileName(base, -1, ExampleTime));
}

void FileNameProfileDialog::on_resetToDefaultsButton_clicked()
{
    ui->profileSelector->resetToDefaults();
    updateExample();
}

// The names are made in the output folder: no part of them may lead elsewhere.
bool FileNameProfileDialog::inputIsValid()
{
    for (QLineEdit *edit : { ui->formatPrefixLineEdit, ui->formatBasenameLineEdit, ui->formatSuffixLineEdit }) {
        const QString text = edit->text();
        if (!text.contains(QLatin1Char('/')) && !text.contains(QDir::separator()))
            continue;
        QMessageBox::warning(this, tr("Invalid File Name"),
                             tr("The prefix, file name and suffix are parts of a name, not a path: "
                                "they cannot hold \"%1\".")
                                 .arg(QDir::separator()));
        edit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

