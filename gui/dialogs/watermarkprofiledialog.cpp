#include "dialogs/watermarkprofiledialog.h"

#include "ui_watermarkprofiledialog.h"

#include "imaging/imageprocessingmanager.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"
#include "widgets/smartfiledialog.h"

// Qt
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QUuid>

namespace {
constexpr int PreviewInterval = 200;
}

WatermarkProfileDialog::WatermarkProfileDialog(QWidget *parent)
    : ProfileDialog(parent), ui(std::make_unique<Ui::WatermarkProfileDialog>())
{
    ui->setupUi(this);
    setUpForm(ui->profileSelector, ui->saveButton, ui->cancelButton, ui->verticalLayout);
    ui->imageFileNameLineEdit->hide();
    ui->addTimestampButton->setToolTip(tr("Inserts %1, each image's time. %2 (the video's file name), %3 (the day "
                                          "it was recorded) and %4 (the image's number) can be typed too.")
                                           .arg(WatermarkProfile::timePlaceholder(), QStringLiteral("{video}"),
                                                QStringLiteral("{date}"), QStringLiteral("{counter}")));

    ProfileSelector *selector = ui->profileSelector;

    // The alignment list must hold its items before a profile is loaded.
    const char *const alignments[] = {QT_TR_NOOP("Top Left"),    QT_TR_NOOP("Top"),    QT_TR_NOOP("Top Right"),
                                      QT_TR_NOOP("Left"),        QT_TR_NOOP("Center"), QT_TR_NOOP("Right"),
                                      QT_TR_NOOP("Bottom Left"), QT_TR_NOOP("Bottom"), QT_TR_NOOP("Bottom Right")};
    for (int i = 0; i < 9; ++i)
        ui->alignmentComboBox->addItem(tr(alignments[i]), i);

    selector->addField("text", ui->textTextEdit);
    selector->addField("textFont", ui->textFontLabel);
    selector->addField("textColor", ui->textColorLabel);
    selector->addField("textShadowColor", ui->shadowColorLabel);
    selector->addField("textShadowXOffset", ui->xOffsetSpinBox);
    selector->addField("textShadowYOffset", ui->yOffsetSpinBox);
    selector->addField("alpha", ui->alphaSlider);
    selector->addField("alignmentIndex", ui->alignmentComboBox);
    selector->addField("xMargin", ui->xMarginSpinBox);
    selector->addField("yMargin", ui->yMarginSpinBox);
    selector->addField("watermarkType", ui->watermarkTypeTextRadioButton, WatermarkProfile::TextWatermark);
    selector->addField("watermarkType", ui->watermarkTypeImageRadioButton, WatermarkProfile::PictureWatermark);
    selector->addField("imageFile", ui->imageFileNameLineEdit);
    connect(selector, &ProfileSelector::fieldChanged, this, &WatermarkProfileDialog::fieldChanged);
    connect(selector, &ProfileSelector::profileSelected, this, &WatermarkProfileDialog::profileSelected);
    selector->setProfileManager(WatermarkProfile::profileManager());

    ui->tabWidget->setCurrentIndex(0);
    background = QImage(QStringLiteral(":/Images/watermarkBackground.jpg"));
    // The sample frame's details, until setPreview() gives a frame's own.
    previewDetails.videoPath = QStringLiteral("MyVideo.mpeg");
    previewDetails.timeMs = 83456;
    previewDetails.recorded = QDateTime::currentDateTime();
    previewDetails.counter = 1;
    defaultImageProfile = std::make_unique<ImageProfile>();
    previewImageProfile = defaultImageProfile.get();

    previewTimer.setInterval(PreviewInterval);
    connect(&previewTimer, &QTimer::timeout, this, &WatermarkProfileDialog::updateWatermarkTimerFired);
    previewTimer.start();
}

WatermarkProfileDialog::~WatermarkProfileDialog() = default;

void WatermarkProfileDialog::setProfile(BaseProfile *profile)
{
    setStartProfile(profile);
    BaseProfile *shown = profile;
    if (!shown && !WatermarkProfile::profileManager()->profiles().isEmpty())
        shown = WatermarkProfile::profileManager()->profiles().first();
    if (!shown) {
        unsavedProfile = std::make_unique<WatermarkProfile>();
        shown = unsavedProfile.get();
    }
    ui->profileSelector->selectProfile(shown);
    showType();
}

void WatermarkProfileDialog::setPreview(const QImage &image, ImageProfile *imageProfile)
{
    background = image;
    previewImageProfile = imageProfile ? imageProfile : defaultImageProfile.get();
    previewTimer.start(PreviewInterval);
}

void WatermarkProfileDialog::setPreviewDetails(const FrameDetails &details)
{
    previewDetails = details;
    previewTimer.start(PreviewInterval);
}

void WatermarkProfileDialog::on_addTimestampButton_clicked()
{
    ui->textTextEdit->insertPlainText(WatermarkProfile::timePlaceholder());
    ui->textTextEdit->setFocus(Qt::OtherFocusReason);
}

void WatermarkProfileDialog::fieldChanged(Field *)
{
    // Typing restarts the period, so the pipeline does not run on every key.
    previewTimer.stop();
    previewTimer.start(PreviewInterval);
}

void WatermarkProfileDialog::profileSelected(BaseProfile *)
{
    updateType();
}

void WatermarkProfileDialog::updateType()
{
    // A picture watermark without a picture is of no use: ask for one at once.
    if (!showType() && ui->imageFileNameLineEdit->text().isEmpty())
        on_imageBrowseButton_clicked();
}

bool WatermarkProfileDialog::showType()
{
    const bool text = ui->watermarkTypeTextRadioButton->isChecked();
    ui->textTypeFrame->setEnabled(text);
    ui->imageTypeFrame->setEnabled(!text);
    ui->textFormatGroupBox->setVisible(text);
    ui->textShadowGroupBox->setVisible(text);
    return text;
}

void WatermarkProfileDialog::updateWatermarkTimerFired()
{
    WatermarkProfile watermark;
    ui->profileSelector->writeFields(&watermark);
    ui->watermarkPositioner->setImage(
        ImageProcessingManager::instance()->processImage(background, previewImageProfile, &watermark, previewDetails));
}

void WatermarkProfileDialog::on_textFontButton_clicked()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, ui->textFontLabel->selectedFont(), this, QString());
    if (ok)
        ui->textFontLabel->setSelectedFont(font);
}

void WatermarkProfileDialog::on_textColorButton_clicked()
{
    const QColor color = QColorDialog::getColor(ui->textColorLabel->color(), this, QString());
    if (color.isValid())
        ui->textColorLabel->setColor(color);
}

void WatermarkProfileDialog::on_shadowColorButton_clicked()
{
    const QColor color = QColorDialog::getColor(ui->shadowColorLabel->color(), this, QString());
    if (color.isValid())
        ui->shadowColorLabel->setColor(color);
}

void WatermarkProfileDialog::on_watermarkTypeTextRadioButton_clicked(bool)
{
    updateType();
}

void WatermarkProfileDialog::on_watermarkTypeImageRadioButton_clicked(bool)
{
    updateType();
}

void WatermarkProfileDialog::on_imageBrowseButton_clicked()
{
    SmartFileDialog dialog(this, QStringLiteral("watermarkImageDialog"));
    dialog.setImageNameFilters();
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString source = dialog.selectedFiles().value(0);
    if (source.isEmpty())
        return;
    if (QImage(source).isNull()) {
        QMessageBox::warning(this, tr("Invalid Image"), tr("Could not open image. Please try another."));
        return;
    }

    // The profile names a copy of its own, so the user may move or delete the original.
    const QString suffix = QFileInfo(source).completeSuffix();
    const QString name = QUuid::createUuid().toString().mid(1, 36).toUpper()
                         + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    const QString target = WatermarkProfile::watermarkImagePath(name);
    if (!QFile::copy(source, target)) {
        QMessageBox::warning(this, tr("Image Not Copied"),
                             tr("Could not copy the image into the watermark folder %1. "
                                "Please check that the folder is writable and the disk is not full.")
                                 .arg(QDir::toNativeSeparators(QFileInfo(target).absolutePath())));
        return;
    }
    ui->imageFileNameLineEdit->setText(name);
}

void WatermarkProfileDialog::on_imageFileNameLineEdit_textChanged(const QString &name)
{
    if (!name.isNull())
        ui->profileImageView->setImage(QImage(WatermarkProfile::watermarkImagePath(name)));
}
