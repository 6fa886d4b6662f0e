#include "batch/batchworkerconfig.h"

#include "analysis/shotdetector.h"
#include "profiles/configfile.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"

// Qt
#include <QFileInfo>

namespace {
const QString DefaultsFileName = QStringLiteral("batchModeDefaults.ini");

// A job's defaults never include the video or where its images go.
const QStringList NotDefaults = {QStringLiteral("source"), QStringLiteral("fileOutputPath")};

template<typename Profile>
Profile *currentProfileOf()
{
    return qobject_cast<Profile *>(Profile::profileManager()->currentProfile());
}

template<typename Profile>
Profile *profileWithId(const QString &id)
{
    return qobject_cast<Profile *>(Profile::profileManager()->profileById(id));
}
}

BatchWorkerConfig::BatchWorkerConfig(QObject *parent)
    : QObject(parent),
      m_shotThreshold(ShotDetector::DefaultThreshold),
      m_imageProfile(new ImageProfile(this)),
      m_fileNameProfile(new FileNameProfile(this))
{
}

void BatchWorkerConfig::setSource(const QString &path)
{
    m_source = QDir::toNativeSeparators(path);
    if (path.isEmpty())
        m_outputFolder.reset();
    else
        m_outputFolder = QFileInfo(path).absoluteDir();
}

QString BatchWorkerConfig::fileOutputPath() const
{
    return m_outputFolder ? QDir::toNativeSeparators(m_outputFolder->absolutePath()) : QString();
}

void BatchWorkerConfig::setFileOutputPath(const QString &path)
{
    if (path.isEmpty())
        m_outputFolder.reset();
    else
        m_outputFolder = QDir(path);
}

void BatchWorkerConfig::setFileOutputPath(const QDir &folder)
{
    m_outputFolder = folder;
}

QDir BatchWorkerConfig::outputFolder() const
{
    return m_outputFolder.value_or(QDir());
}

void BatchWorkerConfig::setImageProfile(ImageProfile *profile)
{
    if (!profile)
        profile = currentProfileOf<ImageProfile>();
    if (profile)
        m_imageProfile = profile;
}

void BatchWorkerConfig::setFileNameProfile(FileNameProfile *profile)
{
    if (!profile)
        profile = currentProfileOf<FileNameProfile>();
    if (profile)
        m_fileNameProfile = profile;
}

QString BatchWorkerConfig::imageProfileId() const
{
    return m_imageProfile->id();
}

void BatchWorkerConfig::setImageProfileId(const QString &id)
{
    setImageProfile(profileWithId<ImageProfile>(id));
}

QString BatchWorkerConfig::filenameProfileId() const
{
    return m_fileNameProfile->id();
}

void BatchWorkerConfig::setFileNameProfileId(const QString &id)
{
    setFileNameProfile(profileWithId<FileNameProfile>(id));
}

QString BatchWorkerConfig::fileNameFor(int counter, qint64 timeMs) const
{
    return m_fileNameProfile->outputFileName(QFileInfo(m_source).completeBaseName(), counter, timeMs);
}

QString BatchWorkerConfig::intervalDescription() const
{
    switch (m_intervalType) {
    case EveryInterval:
        return tr("Every %1ms").arg(m_intervalMilliseconds);
    case ImageCount:
        return tr("%1 images").arg(m_intervalImages);
    case SingleImage:
        switch (m_intervalSingleShot) {
        case Front: return tr("Single ") + tr("front");
        case Middle: return tr("Single ") + tr("middle");
        case Back: return tr("Single ") + tr("back");
        default: return tr("Single ");
        }
    case Shots:
        return tr("Each shot");
    default:
        return QStringLiteral("placeholder");
    }
}

void BatchWorkerConfig::loadVideoInfo()
{
    m_videoInfo.load(m_source);
}

void BatchWorkerConfig::loadDefaults()
{
    if (ImageProfile *profile = currentProfileOf<ImageProfile>())
        m_imageProfile = profile;
    if (FileNameProfile *profile = currentProfileOf<FileNameProfile>())
        m_fileNameProfile = profile;

    const ConfigFile file(DefaultsFileName);
    if (file.isAvailable())
        ConfigFile::readProperties(*this, *file.settings(), NotDefaults);
}

bool BatchWorkerConfig::saveDefaults() const
{
    ConfigFile file(DefaultsFileName);
    if (file.isAvailable())
        ConfigFile::writeProperties(*this, *file.settings(), NotDefaults);
    return file.save("the batch job defaults");
}
