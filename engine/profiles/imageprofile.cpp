#include "profiles/imageprofile.h"

#include "profiles/profilemanager.h"

ImageProfile::ImageProfile(QObject *parent)
    : BaseProfile(parent)
{
    setName(tr("Image Profile"));
}

ProfileManager *ImageProfile::profileManager()
{
    static auto *manager = new ProfileManager(
        QStringLiteral("ImageProfiles.ini"), [] { return new ImageProfile; }, true);
    return manager;
}
