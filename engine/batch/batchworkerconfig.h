#pragma once

#include "capture/videoinfo.h"

#include <QDir>
#include <QObject>
#include <QString>

#include <optional>

class FileNameProfile;
class ImageProfile;

// One batch job: the source video, the image and file-name profiles to apply,
// the output folder, how much to skip at each end and the interval rule that
// picks the frames. Also keeps the user's settings for new jobs in
// "batchModeDefaults.ini" and describes its interval rule in one line.
//
// The profiles are either the job's own (made with it, with their defaults,
// and deleted with it) or profiles owned by the profile stores; the job
// never deletes a store's profile. Lives on the user-interface thread (the
// main thread of tindracmd); the batch worker reads it from there.
class BatchWorkerConfig : public QObject
{
    Q_OBJECT
    // The order of these properties is the order of the defaults file.
    Q_PROPERTY(QString source READ source WRITE setSource)
    Q_PROPERTY(QString imageProfileId READ imageProfileId WRITE setImageProfileId)
    Q_PROPERTY(QString filenameProfileId READ filenameProfileId WRITE setFileNameProfileId)
    Q_PROPERTY(QString filenameExample READ filenameExample)
    Q_PROPERTY(QString fileOutputPath READ fileOutputPath WRITE setFileOutputPath)
    Q_PROPERTY(qint64 skipFront READ skipFront WRITE setSkipFront)
    Q_PROPERTY(qint64 skipBack READ skipBack WRITE setSkipBack)
    Q_PROPERTY(int intervalType READ intervalType WRITE setIntervalType)
    Q_PROPERTY(int intervalMilliseconds READ intervalMilliseconds WRITE setIntervalMilliseconds)
    Q_PROPERTY(int intervalImages READ intervalImages WRITE setIntervalImages)
    Q_PROPERTY(int intervalSingleShot READ intervalSingleShot WRITE setIntervalSingleShot)
    Q_PROPERTY(bool keyFramesOnly READ keyFramesOnly WRITE setKeyFramesOnly)

public:
    // Values of intervalType.
    enum IntervalType {
        EveryInterval = 0,  // one image every intervalMilliseconds
        ImageCount = 1,     // intervalImages images spread over the video
        SingleImage = 2     // one image, where intervalSingleShot says
    };
    // Values of intervalSingleShot.
    enum SingleShotPosition { Front = 0, Middle = 1, Back = 2 };

    explicit BatchWorkerConfig(QObject *parent = nullptr);

    // Held with native separators. Setting it also makes the video's folder
    // the output folder: set another output folder after the source.
    QString source() const { return m_source; }
    void setSource(const QString &path);

    // Absolute, with native separators; empty until a source or an output
    // folder is set. An empty path clears the output folder.
    QString fileOutputPath() const;
    void setFileOutputPath(const QString &path);
    void setFileOutputPath(const QDir &folder);
    // The working folder while no output folder is set.
    QDir outputFolder() const;

    ImageProfile *imageProfile() const { return m_imageProfile; }
    FileNameProfile *fileNameProfile() const { return m_fileNameProfile; }
    // Take the given profile; for none, the store's current profile; when the
    // store has none either, keep the profile held.
    void setImageProfile(ImageProfile *profile);
    void setFileNameProfile(FileNameProfile *profile);

    // The id of the profile held. Setting an id takes the store's profile of
    // that id, falling back like the setters above when the store lacks it.
    QString imageProfileId() const;
    void setImageProfileId(const QString &id);
    QString filenameProfileId() const;
    void setFileNameProfileId(const QString &id);

    // Milliseconds left out at the start and the end of the video.
    qint64 skipFront() const { return m_skipFront; }
    void setSkipFront(qint64 ms) { m_skipFront = ms; }
    qint64 skipBack() const { return m_skipBack; }
    void setSkipBack(qint64 ms) { m_skipBack = ms; }
    // IntervalType; not checked.
    int intervalType() const { return m_intervalType; }
    void setIntervalType(int type) { m_intervalType = type; }
    int intervalMilliseconds() const { return m_intervalMilliseconds; }
    void setIntervalMilliseconds(int ms) { m_intervalMilliseconds = ms; }
    int intervalImages() const { return m_intervalImages; }
    void setIntervalImages(int count) { m_intervalImages = count; }
    // SingleShotPosition; not checked.
    int intervalSingleShot() const { return m_intervalSingleShot; }
    void setIntervalSingleShot(int position) { m_intervalSingleShot = position; }

    // Key-frame mode: each image is the key frame nearest to its position,
    // and only key frames are decoded; faster, but not the exact frame.
    bool keyFramesOnly() const { return m_keyFramesOnly; }
    void setKeyFramesOnly(bool on) { m_keyFramesOnly = on; }

    // The counter of the job's first file name; the worker counts up from it
    // past names that exist. Not a property: new jobs always start at 1.
    int fileCounterStart() const { return m_fileCounterStart; }
    void setFileCounterStart(int counter) { m_fileCounterStart = counter; }

    // The file-name profile's name for the source's complete base name and
    // counter; -1 leaves the counter out.
    QString fileNameFor(int counter) const;
    // The name of the job's first image: fileNameFor(1).
    QString filenameExample() const { return fileNameFor(1); }

    // "Every 5000ms", "10 images", "Single middle" and the like.
    QString intervalDescription() const;

    void loadVideoInfo();
    const VideoInfo &videoInfo() const { return m_videoInfo; }

    // The settings for new jobs, in "batchModeDefaults.ini" in the
    // configuration folder: every stored, writable property except source
    // and fileOutputPath. loadDefaults() starts from the stores' current
    // profiles and leaves what the file lacks (or holds in a wrong form)
    // unchanged. saveDefaults() is false, with a warning, when the file could
    // not be written.
    void loadDefaults();
    bool saveDefaults() const;

private:
    QString m_source;
    std::optional<QDir> m_outputFolder;
    qint64 m_skipFront = 2000;
    qint64 m_skipBack = 2000;
    int m_intervalType = EveryInterval;
    int m_intervalMilliseconds = 5000;
    int m_intervalImages = 10;
    int m_intervalSingleShot = Middle;
    bool m_keyFramesOnly = false;
    int m_fileCounterStart = 1;
    VideoInfo m_videoInfo;
    ImageProfile *m_imageProfile;
    FileNameProfile *m_fileNameProfile;
};
