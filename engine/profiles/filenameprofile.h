#pragma once

#include "profiles/baseprofile.h"

class ProfileManager;

// How output image files are named: prefix, the video's base name or a fixed
// one, suffix, an optional counter (zero-padded to five digits or not) and the
// image type, which is also the extension. outputFileName() builds a bare
// file name only; callers join the folder and skip names that exist.
class FileNameProfile : public BaseProfile
{
    Q_OBJECT
    Q_PROPERTY(QString fileOutputPrefix READ fileOutputPrefix WRITE setFileOutputPrefix)
    Q_PROPERTY(QString fileBaseName READ fileBaseName WRITE setFileBaseName)
    Q_PROPERTY(QString fileOutputSuffix READ fileOutputSuffix WRITE setFileOutputSuffix)
    Q_PROPERTY(QString fileOutputType READ fileOutputType WRITE setFileOutputType)
    Q_PROPERTY(bool fileOutputCounterPadZeros READ fileOutputCounterPadZeros WRITE setFileOutputCounterPadZeros)

public:
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
    // Digits a padded counter is filled to: 5 unless the console program is
    // told otherwise. Not a property, so the profile files do not carry it.
    int counterDigits() const { return m_counterDigits; }
    void setCounterDigits(int digits) { m_counterDigits = digits; }

    // prefix + (fileBaseName or videoBaseName) + suffix + counter + "." + type.
    // A counter of -1 leaves the counter out (a single shot); the suffix stays.
    QString outputFileName(const QString &videoBaseName, int counter) const;
    QString outputFileName(const QString &videoBaseName) const { return outputFileName(videoBaseName, -1); }

    // The store of file-name profiles, "FileNameProfiles.ini"; made on the
    // first call, with a default profile when the file holds none.
    static ProfileManager *profileManager();

private:
    QString m_fileOutputPrefix;
    QString m_fileBaseName;
    QString m_fileOutputSuffix = QStringLiteral("-");
    QString m_fileOutputType = QStringLiteral("jpeg");
    bool m_fileOutputCounterPadZeros = true;
    int m_counterDigits = 5;
};
