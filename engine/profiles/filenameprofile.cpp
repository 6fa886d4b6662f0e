#include "profiles/filenameprofile.h"

#include "profiles/profilemanager.h"

FileNameProfile::FileNameProfile(QObject *parent)
    : BaseProfile(parent)
{
}

QString FileNameProfile::outputFileName(const QString &videoBaseName, int counter, qint64 timeMs) const
{
    QString counterText;
    if (counter != -1) {
        counterText = m_fileOutputCounterPadZeros ? QStringLiteral("%1").arg(counter, m_counterDigits, 10, QLatin1Char('0'))
                                                  : QString::number(counter);
    }
    if (timeMs >= 0) {
        const QString time = timeText(timeMs);
        if (m_fileOutputTime == TimeInPlaceOfCounter)
            counterText = counter > 1 ? time + QLatin1Char('-') + QString::number(counter) : time;
        else if (m_fileOutputTime == TimeBesideCounter)
            counterText = counterText.isEmpty() ? time : counterText + QLatin1Char('-') + time;
    }
    const QString &base = m_fileBaseName.isEmpty() ? videoBaseName : m_fileBaseName;
    return m_fileOutputPrefix + base + m_fileOutputSuffix + counterText + QLatin1Char('.') + m_fileOutputType;
}

QString FileNameProfile::timeText(qint64 ms)
{
    ms = qMax<qint64>(0, ms);
    return QStringLiteral("%1h%2m%3s%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

ProfileManager *FileNameProfile::profileManager()
{
    static auto *manager = new ProfileManager(
        QStringLiteral("FileNameProfiles.ini"), [] { return new FileNameProfile; }, true);
    return manager;
}
