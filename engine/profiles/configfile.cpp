#include "profiles/configfile.h"
#include "profileslog.h"

// Qt
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaProperty>
#include <QSettings>
#include <QStandardPaths>
#include <QVector>

// C++
#include <utility>

namespace {

// INI files hand every value back as text. Qt's own conversion would take
// "abc" as true for a bool and silently cut an oversized number down to an
// int, so text is converted strictly here; everything else (fonts and colours
// stored as variants, named colours) is left to Qt.
bool convertToType(QVariant &value, int type)
{
    if (!value.isValid())
        return false;
    if (value.userType() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        bool ok = false;
        switch (type) {
        case QMetaType::Bool:
            if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"))
                value = true;
            else if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0"))
                value = false;
            else
                return false;
            return true;
        case QMetaType::Int: {
            const int number = text.toInt(&ok);
            if (ok)
                value = number;
            return ok;
        }
        case QMetaType::LongLong: {
            const qlonglong number = text.toLongLong(&ok);
            if (ok)
                value = number;
            return ok;
        }
        case QMetaType::Double: {
            const double number = text.toDouble(&ok);
            if (ok)
                value = number;
            return ok;
        }
        default:
            break;
        }
    }
    // An unquoted text with commas comes back from an INI file as a list.
    if (type == QMetaType::QString && value.userType() == QMetaType::QStringList) {
        value = value.toStringList().join(QLatin1String(", "));
        return true;
    }
    return value.convert(type);
}

bool isPersistent(const QMetaProperty &property, const QObject &object, const QStringList &skipped)
{
    return property.isStored(&object) && property.isWritable()
        && !skipped.contains(QLatin1String(property.name()));
}
}

ConfigFile::ConfigFile(const QString &fileName)
    : m_path(filePath(fileName))
{
    if (m_path.isEmpty())
        return;
    repair(m_path);
    m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
}

ConfigFile::~ConfigFile() = default;

bool ConfigFile::save(const char *what)
{
    if (m_settings) {
        m_settings->sync();
        if (m_settings->status() == QSettings::NoError)
            return true;
    }
    qCWarning(lcProfiles).noquote() << QStringLiteral("Could not write %1 to %2").arg(QLatin1String(what), m_path)
                                  << (m_settings ? m_settings->status() : QSettings::AccessError);
    return false;
}

QString ConfigFile::filePath(const QString &fileName)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        qCWarning(lcProfiles) << "Could not make the configuration folder" << folder << "for" << fileName;
        return QString();
    }
    return QDir(folder).absoluteFilePath(fileName);
}

// QSettings keeps a read error in status() for good, which would hide a later
// write error, and rewrites what it could read with the rest lost. So a file
// that it cannot read in full is moved aside to "<file>.broken" (".broken.2"
// and so on, so an earlier one is not lost) and replaced by a clean file
// holding what could be read.
void ConfigFile::repair(const QString &path)
{
    QVector<std::pair<QString, QVariant>> readable;
    {
        QSettings settings(path, QSettings::IniFormat);
        // Sections are parsed lazily: reading every key finds every error.
        const QStringList keys = settings.allKeys();
        if (settings.status() != QSettings::FormatError)
            return;
        for (const QString &key : keys)
            readable.append({key, settings.value(key)});
    }
    QString brokenPath = path + QLatin1String(".broken");
    for (int i = 2; QFileInfo::exists(brokenPath); ++i)
        brokenPath = path + QLatin1String(".broken.") + QString::number(i);
    if (!QFile::rename(path, brokenPath)) {
        qCWarning(lcProfiles) << path << "cannot be read in full and could not be moved aside";
        return;
    }
    QSettings clean(path, QSettings::IniFormat);
    for (const auto &entry : qAsConst(readable))
        clean.setValue(entry.first, entry.second);
    clean.sync();
    qCWarning(lcProfiles) << path << "could not be read in full; kept the original as" << brokenPath
                        << "and what could be read in its place";
}

void ConfigFile::writeProperties(const QObject &object, QSettings &settings, const QStringList &skipped)
{
    const QMetaObject *meta = object.metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (isPersistent(property, object, skipped))
            settings.setValue(QLatin1String(property.name()), property.read(&object));
    }
}

void ConfigFile::readProperties(QObject &object, QSettings &settings, const QStringList &skipped)
{
    const QMetaObject *meta = object.metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        const QString key = QLatin1String(property.name());
        if (!isPersistent(property, object, skipped) || !settings.contains(key))
            continue;
        const QVariant stored = settings.value(key);
        QVariant value = stored;
        if (!convertToType(value, property.userType()) || !property.write(&object, value)) {
            qCWarning(lcProfiles) << "Ignoring" << settings.group() << key << "=" << stored
                                << "in" << settings.fileName() << ": not a" << property.typeName();
        }
    }
}
