#pragma once

#include "analysis/shotanalysis.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class BatchWorkerConfig;

// The interval rule that takes one image per shot: analyses the job's stretch
// of the video into shots, gives the positions of their images, and writes
// the shot list (a CSV file a spreadsheet opens) once every image has been
// handled, with the name each was written under.
//
// Thread: analyse() runs before any image is taken, on the thread of the
// worker's run(); the images are handled afterwards on the thread of its
// saving slot.
class ShotRule
{
public:
    explicit ShotRule(const BatchWorkerConfig &config);

    // Analyses the video from fromMs to toMs with the job's threshold and
    // minimum shot length. False when stopped or the video cannot be read.
    bool analyse(qint64 fromMs, qint64 toMs, std::function<void(float)> progress, std::function<bool()> stop);
    const ShotAnalysis &analysis() const { return m_analysis; }
    // The position of each shot's image, in order.
    QVector<qint64> positions() const;

    // The next image in order was written under name (empty: it was not);
    // true when that was the last one.
    bool imageHandled(const QString &name);
    // The shot list as CSV text, and written to path; false with the reason.
    QString listText() const;
    bool writeList(const QString &path, QString *error) const;

private:
    const BatchWorkerConfig &m_config;
    ShotAnalysis m_analysis;
    QStringList m_names;
};
