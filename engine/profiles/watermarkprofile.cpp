#include "profiles/watermarkprofile.h"
#include "profileslog.h"

#include "profiles/profilemanager.h"

// Qt
#include <QDir>
#include <QFileInfo>
#include <QTime>
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

QString WatermarkProfile::textFor(const FrameDetails &details) const
{
    if (!m_text.contains(QLatin1Char('{')))
        return m_text;
    QString time;
    if (details.timeMs >= 0) {
        time = QStringLiteral("%1:%2")
                   .arg(details.timeMs / 3600000, 2, 10, QLatin1Char('0'))
                   .arg(QTime::fromMSecsSinceStartOfDay(int(details.timeMs % 3600000)).toString(QStringLiteral("mm:ss.zzz")));
    }
    const QString video = details.videoPath.isEmpty() ? QString() : QFileInfo(details.videoPath).fileName();
    const QString date = details.recorded.isValid() ? details.recorded.toString(QStringLiteral("yyyy-MM-dd")) : QString();
    const QString counter = details.counter >= 0 ? QString::number(details.counter) : QString();
    QString text = m_text;
    text.replace(timePlaceholder(), time);
    text.replace(QLatin1String("{video}"), video);
    text.replace(QLatin1String("{date}"), date);
    text.replace(QLatin1String("{counter}"), counter);
    return text;
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
