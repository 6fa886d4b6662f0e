#include "profiles/watermarkprofile.h"
#include "profileslog.h"

#include "profiles/profilemanager.h"

// Qt
#include <QDir>
#include <QStandardPaths>

namespace {

// The last picture loaded by any watermark profile, by file name.
struct PictureCache
{
    QString fileName;
    QImage image;
};

PictureCache &pictureCache()
{
    static PictureCache cache;
    return cache;
}
}

WatermarkProfile::WatermarkProfile(QObject *parent)
    : BaseProfile(parent)
{
}

Qt::Alignment WatermarkProfile::alignment() const
{
    switch (m_alignmentIndex) {
    case 0: return Qt::AlignLeft | Qt::AlignTop;
    case 1: return Qt::AlignHCenter | Qt::AlignTop;
    case 2: return Qt::AlignRight | Qt::AlignTop;
    case 3: return Qt::AlignLeft | Qt::AlignVCenter;
    case 4: return Qt::AlignHCenter | Qt::AlignVCenter;
    case 5: return Qt::AlignRight | Qt::AlignVCenter;
    case 6: return Qt::AlignLeft | Qt::AlignBottom;
    case 7: return Qt::AlignHCenter | Qt::AlignBottom;
    default: return Qt::AlignRight | Qt::AlignBottom;
    }
}

QImage WatermarkProfile::image() const
{
    if (m_imageFile.isEmpty())
        return QImage();
    PictureCache &cache = pictureCache();
    if (m_imageFile == cache.fileName)
        return cache.image;
    const QString path = watermarkImagePath(m_imageFile);
    cache.image = QImage(path);
    cache.fileName = m_imageFile;
    if (cache.image.isNull())
        qCWarning(lcProfiles) << "Watermark picture" << path << "is missing or not a picture";
    return cache.image;
}

QString WatermarkProfile::watermarkImagePath(const QString &fileName)
{
    const QDir folder(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                      + QLatin1String("/watermarks"));
    if (!folder.mkpath(QStringLiteral(".")))
        qCWarning(lcProfiles) << "Could not make the watermark folder" << folder.path();
    return folder.absoluteFilePath(fileName);
}

ProfileManager *WatermarkProfile::profileManager()
{
    static auto *manager = new ProfileManager(
        QStringLiteral("WatermarkProfiles.ini"), [] { return new WatermarkProfile; }, false);
    return manager;
}
