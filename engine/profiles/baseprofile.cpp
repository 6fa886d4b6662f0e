#include "profiles/baseprofile.h"

#include "profiles/configfile.h"

// Qt
#include <QUuid>

namespace {
// A random UUID without braces, in upper case: 36 characters.
QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
}

BaseProfile::BaseProfile(QObject *parent)
    : QObject(parent), m_id(newId())
{
}

void BaseProfile::writeSettings(QSettings &settings) const
{
    ConfigFile::writeProperties(*this, settings);
}

void BaseProfile::readSettings(QSettings &settings)
{
    ConfigFile::readProperties(*this, settings);
}
