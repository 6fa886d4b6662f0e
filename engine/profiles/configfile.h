#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QObject;
class QSettings;

// One INI file in the per-user configuration folder, as the profile stores
// and the batch job defaults keep theirs, and the property walk that writes
// settings objects to such a file and reads them back.
//
// Opening finds the file, making the folder when it is missing, and first
// moves a file that cannot be read in full aside. When the folder cannot be
// made the file is not available: there is nothing to read, save() fails,
// and nothing is written anywhere else.
//
// Used on one thread at a time; takes no lock.
class ConfigFile
{
public:
    explicit ConfigFile(const QString &fileName);
    ~ConfigFile();

    bool isAvailable() const { return m_settings != nullptr; }
    // The file's absolute path; empty when it is not available.
    QString path() const { return m_path; }
    // The file's settings; null when it is not available.
    QSettings *settings() const { return m_settings.get(); }
    // Writes what was changed. False, with a warning naming what, when the
    // file is not available or could not be written.
    bool save(const char *what);

    // The file in Qt's per-user application configuration folder, which is
    // made if missing; empty when the folder cannot be made.
    static QString filePath(const QString &fileName);

    // Every stored, writable property of object, from index 0 (QObject's
    // objectName included), is written under its own name, or read from that
    // key when the key is there; skipped names are left alone. A stored value
    // that does not convert to the property's type is ignored with a warning,
    // so the property keeps the value it had.
    static void writeProperties(const QObject &object, QSettings &settings,
                                const QStringList &skipped = QStringList());
    static void readProperties(QObject &object, QSettings &settings,
                               const QStringList &skipped = QStringList());

private:
    Q_DISABLE_COPY(ConfigFile)

    static void repair(const QString &path);

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
};
