#pragma once

#include "profiles/baseprofile.h"

class ProfileManager;

// How output image files are named: prefix, the video's base name or a fixed
// one, suffix, an optional counter (zero-padded to five digits or not), the
// frame's time if asked for, and the image type, which is also the
// extension. outputFileName() builds a bare file name only; callers join the
// folder and skip names that exist.
class FileNameProfile : public BaseProfile
{
    Q_OBJECT
    Q_PROPERTY(QString fileOutputPrefix READ fileOutputPrefix WRITE setFileOutputPrefix)
    Q_PROPERTY(QString fileBaseName READ fileBaseName WRITE setFileBaseName)
    Q_PROPERTY(QString fileOutputSuffix READ fileOutputSuffix WRITE setFileOutputSuffix)
    Q_PROPERTY(QString fileOutputType READ fileOutputType WRITE setFileOutputType)
    Q_PROPERTY(bool fileOutputCounterPadZeros READ fileOutputCounterPadZeros WRITE setFileOutputCounterPadZeros)
    Q_PROPERTY(int fileOutputTime READ fileOutputTime WRITE setFileOutputTime)

public:
    // Values of fileOutputTime: where the frame's time goes in the name.
    enum TimeInName {
        NoTime = 0,
        TimeInPlaceOfCounter = 1,  // clip-00h01m23s456.jpeg; a counter only on a clash
        TimeBesideCounter = 2      // clip-00001-00h01m23s456.jpeg
    };

    explicit FileNameProfile(QObject *parent = nullptr);

    QString fileOutputPrefix() const { return m_fileOutputPrefix; }
    void setFileOutputPrefix(const QString &prefix) { m_fileOutputPrefix = prefix; }
    // When empty, the video's own base name is used.
    QString fileBaseName() const { return m_fileBaseName; }
    void setFileBaseName(const QString &baseName) { m_fileBaseName = baseName; }
    QString fileOutputSuffix() const { return m_fileOutputSuffix; }
    void setFileOutputSuffix(const QString &suffix) { m_fileOutputSuffix = suffix; }
    // Extension without the dot ("jpg", "jpeg", "png", "tif", "tiff"); Qt
    // picks the image format from it.
    QString fileOutputType() const { return m_fileOutputType; }
    void setFileOutputType(const QString &type) { m_fileOutputType = type; }
    bool fileOutputCounterPadZeros() const { return m_fileOutputCounterPadZeros; }
    void setFileOutputCounterPadZeros(bool pad) { m_fileOutputCounterPadZeros = pad; }
    // TimeInName; any other value is NoTime.
    int fileOutputTime() const { return m_fileOutputTime; }
    void setFileOutputTime(int where) { m_fileOutputTime = where; }
    // True when names carry the time in place of the counter: the counter
    // then only tells apart images of one time, and callers count it from 1
    // for each image.
    bool timeInPlaceOfCounter() const { return m_fileOutputTime == TimeInPlaceOfCounter; }
    // Digits a padded counter is filled to: 5 unless the console program is
    // told otherwise. Not a property, so the profile files do not carry it.
    int counterDigits() const { return m_counterDigits; }
    void setCounterDigits(int digits) { m_counterDigits = digits; }

    // prefix + (fileBaseName or videoBaseName) + suffix + counter + "." + type.
    // A counter of -1 leaves the counter out (a single shot); the suffix stays.
    // With the time asked for and a frame time timeMs (ms, 0 or more), the
    // counter is replaced by the time, or followed by "-" and the time; in
    // place of it, a counter above 1 follows the time as "-2", "-3"... Without
    // a time (-1) the name is as without the setting.
    QString outputFileName(const QString &videoBaseName, int counter, qint64 timeMs = -1) const;
    QString outputFileName(const QString &videoBaseName) const { return outputFileName(videoBaseName, -1); }

    // A time in a form every file system takes and that sorts in time order:
    // 83456 ms is "00h01m23s456".
    static QString timeText(qint64 ms);

    // The store of file-name profiles, "FileNameProfiles.ini"; made on the
    // first call, with a default profile when the file holds none.
    static ProfileManager *profileManager();

private:
    QString m_fileOutputPrefix;
    QString m_fileBaseName;
    QString m_fileOutputSuffix = QStringLiteral("-");
    QString m_fileOutputType = QStringLiteral("jpeg");
    bool m_fileOutputCounterPadZeros = true;
    int m_fileOutputTime = NoTime;
    int m_counterDigits = 5;
};
