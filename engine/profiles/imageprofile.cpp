#include "profiles/imageprofile.h"

#include "profiles/profilemanager.h"
#include "profileslog.h"

// Qt
#include <QSettings>

ImageProfile::ImageProfile(QObject *parent)
    : BaseProfile(parent)
{
    setName(tr("Image Profile"));
}

void ImageProfile::readSettings(QSettings &settings)
{
    BaseProfile::readSettings(settings);
    const ImageProfile defaults;
    const struct {
        const char *key;
        int &size;
        int standard;
    } sizes[] = { { "imageWidth", m_imageWidth, defaults.imageWidth() },
                  { "imageHeight", m_imageHeight, defaults.imageHeight() } };
    for (const auto &size : sizes) {
        if (size.size >= MinImageSize && size.size <= MaxImageSize)
            continue;
        qCWarning(lcProfiles) << "Ignoring" << settings.group() << size.key << "=" << size.size << "in"
                              << settings.fileName() << ": not from" << MinImageSize << "to" << MaxImageSize;
        size.size = size.standard;
    }
}

ProfileManager *ImageProfile::profileManager()
{
    static auto *manager = new ProfileManager(
        QStringLiteral("ImageProfiles.ini"), [] { return new ImageProfile; }, true);
    return manager;
}
