#include "screenshots.h"

#include "dialogs/filenameprofiledialog.h"
#include "dialogs/imageprofiledialog.h"
#include "dialogs/watermarkprofiledialog.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"
#include "widgets/aboutdialog.h"
#include "widgets/volumepopup.h"

// Qt
#include <QFile>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QTabWidget>

namespace {
template<typename T>
T *addProfile(ProfileManager *store, const QString &name)
{
    auto *profile = new T;
    profile->setName(name);
    store->addProfile(profile);
    return profile;
}

// The player's icons at their size on a light and a dark button face, and enlarged.
void shootIcons()
{
    QWidget sheet;
    auto *grid = new QGridLayout(&sheet);
    const char *const icons[] = {"Play", "Pause", "Volume", "MediaSkipBackward", "MediaSkipForward",
                                 "MediaStepBackward", "MediaStepForward"};
    const std::pair<const char *, int> rows[] = {{"#efefef", 26}, {"#2b2b2b", 26}, {"#efefef", 78}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 7; ++column) {
            const QIcon icon(QStringLiteral(":/Images/%1.svg").arg(QLatin1String(icons[column])));
            auto *label = new QLabel;
            label->setPixmap(icon.pixmap(rows[row].second, rows[row].second));
            label->setStyleSheet(QStringLiteral("background: %1; padding: 6px").arg(QLatin1String(rows[row].first)));
            grid->addWidget(label, row, column);
        }
    }
    Screenshots::save(&sheet, QStringLiteral("player-icons"));
}

void shootProfileEditors()
{
    shootIcons();

    auto *signature = addProfile<WatermarkProfile>(WatermarkProfile::profileManager(), QStringLiteral("Signature"));
    signature->setText(QStringLiteral("© Lake Trip 2026 · {time}"));
    signature->setTextFont(QFont(QStringLiteral("DejaVu Sans"), 26, QFont::Bold));
    signature->setTextShadowXOffset(2);
    signature->setTextShadowYOffset(2);
    signature->setAlignmentIndex(8);
    signature->setXMargin(24);
    signature->setYMargin(20);
    auto *logo = addProfile<WatermarkProfile>(WatermarkProfile::profileManager(), QStringLiteral("Logo Top Left"));
    logo->setWatermarkType(WatermarkProfile::PictureWatermark);
    logo->setImageFile(QStringLiteral("logo.png"));
    logo->setAlignmentIndex(0);
    logo->setAlpha(200);
    QFile::copy(QStringLiteral(":/Images/tindralogo.png"), WatermarkProfile::watermarkImagePath(logo->imageFile()));
    WatermarkProfile::profileManager()->save();

    auto *web = addProfile<ImageProfile>(ImageProfile::profileManager(), QStringLiteral("Web 1280 x 720"));
    web->setImageWidth(1280);
    web->setImageHeight(720);
    web->setWatermarkProfileId(signature->id());
    auto *original = addProfile<ImageProfile>(ImageProfile::profileManager(), QStringLiteral("Original Size"));
    original->setSameSizeAsVideo(true);
    ImageProfile::profileManager()->save();

    auto *holiday = addProfile<FileNameProfile>(FileNameProfile::profileManager(), QStringLiteral("Holiday Shots"));
    holiday->setFileOutputPrefix(QStringLiteral("holiday_"));
    holiday->setFileOutputType(QStringLiteral("png"));
    holiday->setFileOutputTime(FileNameProfile::TimeInPlaceOfCounter);
    FileNameProfile::profileManager()->save();

    const QImage frame = Screenshots::clipFrame(QStringLiteral("long-gop-720p.mp4"), 2000);

    AboutDialog about;
    Screenshots::save(&about, QStringLiteral("about-dialog"));
    VolumePopup volume;
    Screenshots::save(&volume, QStringLiteral("volume-popup"));

    FileNameProfileDialog fileNames;
    fileNames.setProfile(holiday);
    fileNames.setVideoFileName(QStringLiteral("/home/sam/Videos/lake trip.2026.mp4"));
    Screenshots::save(&fileNames, QStringLiteral("filename-profile-dialog"));

    for (const auto &[profile, name] : {std::pair(web, "image-profile-dialog"),
                                        std::pair(original, "image-profile-dialog-same-size")}) {
        ImageProfileDialog images;
        images.setProfile(profile);
        images.setVideoSize(1280, 720);
        images.setFrameImage(frame);
        Screenshots::save(&images, QLatin1String(name));
    }

    FrameDetails frameDetails;
    frameDetails.videoPath = QStringLiteral("/home/sam/Videos/lake trip.2026.mp4");
    frameDetails.timeMs = 2000;
    WatermarkProfileDialog watermarks;
    watermarks.setProfile(signature);
    watermarks.setPreview(frame, web);
    watermarks.setPreviewDetails(frameDetails);
    auto *tabs = watermarks.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    const char *const tabNames[] = {"watermark-profile-dialog-type", "watermark-profile-dialog-effects",
                                    "watermark-profile-dialog-preview"};
    for (int i = 0; i < 3; ++i) {
        tabs->setCurrentIndex(i);
        Screenshots::save(&watermarks, QLatin1String(tabNames[i]), 600);
    }

    WatermarkProfileDialog pictures;
    pictures.setProfile(logo);
    pictures.setPreview(frame, web);
    Screenshots::save(&pictures, QStringLiteral("watermark-profile-dialog-picture"), 600);
    pictures.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(2);
    Screenshots::save(&pictures, QStringLiteral("watermark-profile-dialog-picture-preview"), 600);
}

const Screenshots::Area area("profile editors", &shootProfileEditors);
}
