#include "profiles/filenameprofile.h"

#include "profiles/profilemanager.h"

FileNameProfile::FileNameProfile(QObject *parent)
    : BaseProfile(parent)
{
}

QString FileNameProfile::outputFileName(const QString &videoBaseName, int counter) const
{
    QString counterText;
    if (counter != -1) {
        counterText = m_fileOutputCounterPadZeros ? QStringLiteral("%1").arg(counter, m_counterDigits, 10, QLatin1Char('0'))
                                                  : QString::number(counter);
    }
    const QString &base = m_fileBaseName.isEmpty() ? videoBaseName : m_fileBaseName;
    return m_fileOutputPrefix + base + m_fileOutputSuffix + counterText + QLatin1Char('.') + m_fileOutputType;
}

ProfileManager *FileNameProfile::profileManager()
{
    static auto *manager = new ProfileManager(
        QStringLiteral("FileNameProfiles.ini"), [] { return new FileNameProfile; }, true);
    return manager;
}
