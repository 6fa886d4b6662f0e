#include "shotrule.h"

#include "batch/batchworkerconfig.h"

#include <QCoreApplication>
#include <QSaveFile>

namespace {

QString clock(qint64 ms)
{
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

// A CSV field: quoted when it holds a separator, a quote or a line break.
QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString number(qint64 value)
{
    return value < 0 ? QString() : QString::number(value);
}

}

ShotRule::ShotRule(const BatchWorkerConfig &config)
    : m_config(config)
    , m_analysis(config.source())
{
}

bool ShotRule::analyse(qint64 fromMs, qint64 toMs, std::function<void(float)> progress, std::function<bool()> stop)
{
    m_names.clear();
    m_analysis.setThreshold(m_config.shotThreshold());
    m_analysis.setMinShot(m_config.minShotMilliseconds());
    m_analysis.setProgress(std::move(progress));
    m_analysis.setStopCheck(std::move(stop));
    return m_analysis.run(fromMs, toMs);
}

QVector<qint64> ShotRule::positions() const
{
    QVector<qint64> positions;
    for (const ShotAnalysis::Shot &shot : m_analysis.shots())
        positions.append(shot.imageMs);
    return positions;
}

bool ShotRule::imageHandled(const QString &name)
{
    m_names.append(name);
    return m_names.size() == m_analysis.shots().size();
}

QString ShotRule::listText() const
{
    static const char *const header[] = {
        QT_TRANSLATE_NOOP("ShotRule", "Shot"), QT_TRANSLATE_NOOP("ShotRule", "Start (ms)"),
        QT_TRANSLATE_NOOP("ShotRule", "End (ms)"), QT_TRANSLATE_NOOP("ShotRule", "Start"),
        QT_TRANSLATE_NOOP("ShotRule", "End"), QT_TRANSLATE_NOOP("ShotRule", "Start frame"),
        QT_TRANSLATE_NOOP("ShotRule", "End frame"), QT_TRANSLATE_NOOP("ShotRule", "Image")
    };
    QStringList columns;
    for (const char *name : header)
        columns.append(QCoreApplication::translate("ShotRule", name));
    QString text = columns.join(QLatin1Char(',')) + QLatin1String("\r\n");
    const QVector<ShotAnalysis::Shot> &shots = m_analysis.shots();
    for (int i = 0; i < shots.size(); ++i) {
        const ShotAnalysis::Shot &shot = shots.at(i);
        text += QStringList { QString::number(i + 1), QString::number(shot.startMs), QString::number(shot.endMs),
                              clock(shot.startMs), clock(shot.endMs), number(shot.startFrame), number(shot.endFrame),
                              field(m_names.value(i)) }
                    .join(QLatin1Char(','))
            + QLatin1String("\r\n");
    }
    return text;
}

bool ShotRule::writeList(const QString &path, QString *error) const
{
    // Whole or not at all; straight into a device or a pipe, which cannot be
    // replaced.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(listText().toUtf8()) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
