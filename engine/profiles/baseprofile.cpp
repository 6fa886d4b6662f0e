#include "profiles/baseprofile.h"

// Qt
#include <QLoggingCategory>
#include <QMetaProperty>
#include <QSettings>
#include <QUuid>

namespace {
Q_LOGGING_CATEGORY(lcProfiles, "tindra.profiles")

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

// A random UUID without braces, in upper case: 36 characters.
QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

bool isPersistent(const QMetaProperty &property, const QObject &object, const QStringList &skipped)
{
    return property.isStored(&object) && property.isWritable()
        && !skipped.contains(QLatin1String(property.name()));
}
}

BaseProfile::BaseProfile(QObject *parent)
    : QObject(parent), m_id(newId())
{
}

void BaseProfile::writeSettings(QSettings &settings) const
{
    writeProperties(*this, settings);
}

void BaseProfile::readSettings(QSettings &settings)
{
    readProperties(*this, settings);
}

void BaseProfile::writeProperties(const QObject &object, QSettings &settings, const QStringList &skipped)
{
    const QMetaObject *meta = object.metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (isPersistent(property, object, skipped))
            settings.setValue(QLatin1String(property.name()), property.read(&object));
    }
}

void BaseProfile::readProperties(QObject &object, QSettings &settings, const QStringList &skipped)
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
