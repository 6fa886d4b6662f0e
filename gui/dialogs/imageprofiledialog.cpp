#include "dialogs/imageprofiledialog.h"

#include "ui_imageprofiledialog.h"

#include "dialogs/watermarkprofiledialog.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"

// Qt
#include <QMessageBox>

ImageProfileDialog::ImageProfileDialog(QWidget *parent)
    : ProfileDialog(parent), ui(std::make_unique<Ui::ImageProfileDialog>())
{
    ui->setupUi(this);
    setUpForm(ui->profileSelector, ui->saveButton, ui->cancelButton, ui->verticalLayout);
    ProfileSelector *selector = ui->profileSelector;

    fillWatermarkList();
    selector->addField("sameSizeAsVideo", ui->sameSizeAsVideoCheckbox);
    selector->addField("imageWidth", ui->imageWidthLineEdit);
    selector->addField("imageHeight", ui->imageHeightLineEdit);
    selector->addField("maintainAspectRatio", ui->maintainAspectRatioCheckbox);
    selector->addField("watermarkProfileId", ui->watermarkProfileComboBox);
    // 0 shows "Default": Qt's own quality, as for a profile without the setting.
    selector->addField("imageQuality", ui->imageQualitySpinBox);
    selector->setProfileManager(ImageProfile::profileManager());
}

ImageProfileDialog::~ImageProfileDialog() = default;

void ImageProfileDialog::setProfile(BaseProfile *profile)
{
    setStartProfile(profile);
    ui->profileSelector->selectProfile(profile);
}

void ImageProfileDialog::setVideoSize(int width, int height)
{
    videoWidth = width;
    videoHeight = height;
    // The caller may pass the size after the profile, whose "same size"
    // already put the substitutes on screen: they follow.
    showVideoSize();
}

void ImageProfileDialog::setFrameImage(const QImage &image, const FrameDetails &details)
{
    frameImage = image;
    frameDetails = details;
}

void ImageProfileDialog::fillWatermarkList()
{
    ui->watermarkProfileComboBox->clear();
    ui->watermarkProfileComboBox->addItem(tr("[No Watermark]"), QString());
    const QList<BaseProfile *> watermarks = WatermarkProfile::profileManager()->profiles();
    for (const BaseProfile *watermark : watermarks)
        ui->watermarkProfileComboBox->addItem(watermark->name(), watermark->id());
}

void ImageProfileDialog::showVideoSize()
{
    if (!videoWidthLineEdit)
        return;
    const bool known = videoWidth != 0 && videoHeight != 0;
    videoWidthLineEdit->setText(known ? QString::number(videoWidth) : QString());
    videoHeightLineEdit->setText(known ? QString::number(videoHeight) : QString());
}

void ImageProfileDialog::on_sameSizeAsVideoCheckbox_toggled(bool checked)
{
    if (!videoWidthLineEdit) {
        videoWidthLineEdit = new QLineEdit(this);
        videoWidthLineEdit->setObjectName(QStringLiteral("videoWidthLineEdit"));
        videoHeightLineEdit = new QLineEdit(this);
        videoHeightLineEdit->setObjectName(QStringLiteral("videoHeightLineEdit"));
        for (QLineEdit *edit : {videoWidthLineEdit, videoHeightLineEdit}) {
            edit->setEnabled(false);
            edit->hide();
        }
        showVideoSize();
    }
    const std::pair<QLineEdit *, QLineEdit *> swaps[] = {{ui->imageWidthLineEdit, videoWidthLineEdit},
                                                          {ui->imageHeightLineEdit, videoHeightLineEdit}};
    for (auto [own, video] : swaps) {
        QLineEdit *from = checked ? own : video;
        QLineEdit *to = checked ? video : own;
        delete ui->formLayout->replaceWidget(from, to);
        from->hide();
        to->show();
    }
}

void ImageProfileDialog::on_watermarkProfileEditButton_clicked()
{
    // The image settings on screen, so the preview is sized as the output would be.
    ImageProfile preview;
    ui->profileSelector->writeFields(&preview);
    WatermarkProfileDialog dialog(this);
    dialog.setProfile(WatermarkProfile::profileManager()->profileById(
        ui->watermarkProfileComboBox->currentData().toString()));
    // Without a frame of the user's video the dialog's own sample picture stands in.
    dialog.setPreview(frameImage.isNull() ? QImage(QStringLiteral(":/Images/watermarkBackground.jpg")) : frameImage,
                      &preview);
    if (!frameImage.isNull())
        dialog.setPreviewDetails(frameDetails);
    dialog.exec();

    fillWatermarkList();
    if (BaseProfile *watermark = dialog.profile())
        ui->watermarkProfileComboBox->setCurrentIndex(qMax(0, ui->watermarkProfileComboBox->findData(
            watermark->id(), Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive)));
}

void ImageProfileDialog::on_resetToDefaultsButton_clicked()
{
    ui->profileSelector->resetToDefaults();
}

// A size outside what an image can have would make no image at all.
bool ImageProfileDialog::inputIsValid()
{
    for (QLineEdit *edit : { ui->imageWidthLineEdit, ui->imageHeightLineEdit }) {
        bool isNumber = false;
        const int size = edit->text().trimmed().toInt(&isNumber);
        if (isNumber && size >= ImageProfile::MinImageSize && size <= ImageProfile::MaxImageSize)
            continue;
        QMessageBox::warning(this, tr("Invalid Image Size"),
                             tr("The image width and height must be whole numbers from %1 to %2.")
                                 .arg(ImageProfile::MinImageSize)
                                 .arg(ImageProfile::MaxImageSize));
        if (edit->isVisible())
            edit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

