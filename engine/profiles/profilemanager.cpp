#include "profiles/profilemanager.h"
#include "profileslog.h"

#include "profiles/baseprofile.h"
#include "profiles/configfile.h"

// Qt
#include <QSet>
#include <QSettings>
#include <QVector>

// C++
#include <algorithm>
#include <utility>

namespace {

const QString ProfilesGroup = QStringLiteral("profiles");
const QString SortOrderKey = QStringLiteral("sortOrder");
const QString LastUsedKey = QStringLiteral("lastUsedPofileId");

struct LoadedProfile
{
    BaseProfile *profile;
    QString group;
    int sortOrder;
    bool numbered;  // false when "sortOrder" held no number: such profiles go last
};
}

ProfileManager::ProfileManager(const QString &fileName, Factory factory, bool createDefault,
                               QObject *parent)
    : QObject(parent), m_factory(std::move(factory)), m_fileName(fileName)
{
    // The file is written only when it does not read back as it would be
    // written: a program that only reads profiles leaves it alone.
    bool upToDate = load();
    if (createDefault && m_profiles.isEmpty()) {
        BaseProfile *profile = m_factory();
        profile->setName(QLatin1Char('[') + tr("Unnamed Settings") + QLatin1Char(']'));
        m_profiles.append(profile);
        upToDate = false;
    }
    if (!m_currentProfile && !m_profiles.isEmpty()) {
        m_currentProfile = m_profiles.first();
        upToDate = false;
    }
    if (!upToDate)
        save();
}

ProfileManager::~ProfileManager()
{
    qDeleteAll(m_profiles);
}

void ProfileManager::addProfile(BaseProfile *profile)
{
    if (!profile || m_profiles.contains(profile)) {
        qCWarning(lcProfiles) << "Not adding" << profile << "to" << m_fileName << ": none or listed already";
        return;
    }
    m_profiles.append(profile);
}

void ProfileManager::removeProfile(BaseProfile *profile)
{
    if (profile == m_currentProfile || !m_profiles.removeOne(profile))
        qCWarning(lcProfiles) << "Not removing" << profile << "from" << m_fileName << ": current or not listed";
}

BaseProfile *ProfileManager::createProfile() const
{
    return m_factory();
}

BaseProfile *ProfileManager::profileById(const QString &id) const
{
    if (id.isEmpty())
        return nullptr;
    const auto found = std::find_if(m_profiles.cbegin(), m_profiles.cend(), [&id](const BaseProfile *profile) {
        return profile->id().compare(id, Qt::CaseInsensitive) == 0;
    });
    return found == m_profiles.cend() ? nullptr : *found;
}

void ProfileManager::setCurrentProfile(BaseProfile *profile)
{
    if (profile == m_currentProfile)
        return;
    m_currentProfile = profile;
    save();
}

bool ProfileManager::save()
{
    ConfigFile file(m_fileName);
    if (QSettings *settings = file.settings()) {
        settings->beginGroup(ProfilesGroup);
        for (int i = 0; i < m_profiles.size(); ++i) {
            settings->beginGroup(m_profiles.at(i)->id());
            m_profiles.at(i)->writeSettings(*settings);
            settings->setValue(SortOrderKey, i);
            settings->endGroup();
        }
        settings->endGroup();
        if (m_currentProfile)
            settings->setValue(LastUsedKey, m_currentProfile->id());
    }
    return file.save("the profiles");
}

QString ProfileManager::configFilePath(const QString &fileName)
{
    return ConfigFile::filePath(fileName);
}

bool ProfileManager::load()
{
    const ConfigFile file(m_fileName);
    if (!file.isAvailable())
        return true;
    QSettings &settings = *file.settings();
    const QString path = file.path();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcProfiles) << "Could not read" << path << settings.status();

    QVector<LoadedProfile> loaded;
    settings.beginGroup(ProfilesGroup);
    const QStringList groups = settings.childGroups();
    for (const QString &group : groups) {
        LoadedProfile entry{m_factory(), group, 0, true};
        settings.beginGroup(group);
        entry.profile->readSettings(settings);
        if (settings.contains(SortOrderKey)) {
            entry.sortOrder = settings.value(SortOrderKey).toString().trimmed().toInt(&entry.numbered);
            if (!entry.numbered)
                qCWarning(lcProfiles).noquote()
                    << QStringLiteral("Profile %1 in %2 has no numeric sortOrder; listed last").arg(group, path);
        }
        settings.endGroup();
        qCDebug(lcProfiles) << "Loaded Profile" << entry.profile->name();
        loaded.append(entry);
    }
    settings.endGroup();

    std::stable_sort(loaded.begin(), loaded.end(), [](const LoadedProfile &a, const LoadedProfile &b) {
        if (a.numbered != b.numbered)
            return a.numbered;
        return a.sortOrder < b.sortOrder;
    });

    // A profile's id is the name of its group. Files written here always
    // agree; an "id" key that does not (or none) would have the profile saved
    // under a new group next to the old one, which stays, and so come back as
    // one more profile at every start. Group names that differ in case only
    // name one profile twice: the first in list order is kept.
    bool upToDate = true;
    QSet<QString> taken;
    for (LoadedProfile &entry : loaded) {
        if (!entry.numbered || entry.sortOrder != int(taken.size()))
            upToDate = false;
        const QString key = entry.group.toUpper();
        if (entry.group.isEmpty() || taken.contains(key)) {
            qCWarning(lcProfiles).noquote()
                << QStringLiteral("Skipping profile %1 in %2: its group name names another profile")
                       .arg(entry.group, path);
            delete entry.profile;
            entry.profile = nullptr;
            upToDate = false;
            continue;
        }
        if (entry.profile->id() != entry.group) {
            qCWarning(lcProfiles).noquote()
                << QStringLiteral("Profile %1 in %2 has another id than its group name; it takes the group name")
                       .arg(entry.group, path);
            entry.profile->setId(entry.group);
            upToDate = false;
        }
        taken.insert(key);
    }

    for (const LoadedProfile &entry : qAsConst(loaded)) {
        if (entry.profile)
            m_profiles.append(entry.profile);
    }

    const QString lastUsedId = settings.value(LastUsedKey).toString();
    if (!lastUsedId.isEmpty())
        m_currentProfile = profileById(lastUsedId);
    return upToDate && (m_currentProfile || m_profiles.isEmpty());
}
