#pragma once

#include <QObject>
#include <QString>

class QSettings;

// The common ground of every kind of profile: a name to show, an identity to
// refer to it by, and persistence that walks the declared Qt properties, so a
// new setting is one Q_PROPERTY and nothing else.
//
// Profiles are made without a parent and owned by their kind's ProfileManager;
// they live on the user-interface thread (the main thread of tindracmd).
class BaseProfile : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName)
    Q_PROPERTY(QString id READ id WRITE setId)

public:
    // Starts with an empty name and a new upper-case id without braces.
    explicit BaseProfile(QObject *parent = nullptr);

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }

    // Write or read every stored, writable property in the settings' current
    // group (ConfigFile's property walk); the caller positions the group and
    // syncs the file.
    void writeSettings(QSettings &settings) const;
    virtual void readSettings(QSettings &settings);

private:
    QString m_name;
    QString m_id;
};
