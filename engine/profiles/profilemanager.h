#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class BaseProfile;

// Holds every profile of one kind in the user's order, remembers the last
// used one and keeps them in an INI file of their own in the configuration
// folder. Each kind has exactly one manager, made on first use by the kind's
// static profileManager() and kept until the process ends; everything else
// holds plain pointers into its list, so profiles are never deleted.
//
// Layout of the file (QSettings INI):
//   [General]  lastUsedPofileId=<id of the current profile>   (key spelled so)
//   [profiles] <id>\objectName, <id>\name, <id>\id, <id>\<property>..., <id>\sortOrder
// Groups of profiles that are no longer listed are left in the file.
//
// Lives on the user-interface thread (the main thread of tindracmd); takes no lock.
class ProfileManager : public QObject
{
    Q_OBJECT

public:
    using Factory = std::function<BaseProfile *()>;

    // Loads the file. With createDefault set, a kind whose file holds no
    // profile gets one named "[Unnamed Settings]". The first profile becomes
    // current when none was stored; then the file is rewritten at once.
    ProfileManager(const QString &fileName, Factory factory, bool createDefault,
                   QObject *parent = nullptr);
    ~ProfileManager() override;

    QString fileName() const { return m_fileName; }

    QList<BaseProfile *> profiles() const { return m_profiles; }
    // Appends and takes ownership; neither saves nor changes the current profile.
    void addProfile(BaseProfile *profile);
    // Takes back a profile added since the last save, when that save failed
    // (nobody else holds it yet); the caller owns it again. Saves nothing.
    void removeProfile(BaseProfile *profile);
    // A new profile with the kind's defaults, owned by the caller until it is
    // handed to addProfile().
    BaseProfile *createProfile() const;
    // The first profile whose id equals id regardless of case, or none.
    BaseProfile *profileById(const QString &id) const;

    BaseProfile *currentProfile() const { return m_currentProfile; }
    // Saves at once unless profile is already current. None is allowed: the
    // file then keeps the last used id it holds.
    void setCurrentProfile(BaseProfile *profile);

    // Rewrites every listed profile; false (with a warning) when the file
    // could not be written, also when the configuration folder cannot be made.
    bool save();

    // The file in Qt's per-user application configuration folder, which is
    // made if missing; empty when the folder cannot be made (ConfigFile).
    static QString configFilePath(const QString &fileName);

private:
    // Reads the file; true when it reads back as it would be written.
    bool load();

    QList<BaseProfile *> m_profiles;
    BaseProfile *m_currentProfile = nullptr;
    Factory m_factory;
    QString m_fileName;
};
