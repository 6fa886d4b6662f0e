#pragma once

#include "capture/videoinfo.h"
#include "imaging/contactsheet.h"

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
    Q_PROPERTY(double shotThreshold READ shotThreshold WRITE setShotThreshold)
    Q_PROPERTY(int minShotMilliseconds READ minShotMilliseconds WRITE setMinShotMilliseconds)
    Q_PROPERTY(bool skipBlank READ skipBlank WRITE setSkipBlank)
    Q_PROPERTY(int sharpestMilliseconds READ sharpestMilliseconds WRITE setSharpestMilliseconds)
    Q_PROPERTY(bool contactSheet READ contactSheet WRITE setContactSheet)
    Q_PROPERTY(int sheetColumns READ sheetColumns WRITE setSheetColumns)
    Q_PROPERTY(int sheetRows READ sheetRows WRITE setSheetRows)
    Q_PROPERTY(int sheetWidth READ sheetWidth WRITE setSheetWidth)
    Q_PROPERTY(int sheetSpacing READ sheetSpacing WRITE setSheetSpacing)
    Q_PROPERTY(QString sheetBackground READ sheetBackground WRITE setSheetBackground)
    Q_PROPERTY(bool keyFramesOnly READ keyFramesOnly WRITE setKeyFramesOnly)

public:
    // Values of intervalType.
    enum IntervalType {
        EveryInterval = 0,  // one image every intervalMilliseconds
        ImageCount = 1,     // intervalImages images spread over the video
        SingleImage = 2,    // one image, where intervalSingleShot says
        Shots = 3           // one image per shot of the video
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

    // Rule Shots: the cut threshold in percent (see ShotDetector) and the
    // length below which a shot joins a neighbour. Not checked.
    double shotThreshold() const { return m_shotThreshold; }
    void setShotThreshold(double percent) { m_shotThreshold = percent; }
    int minShotMilliseconds() const { return m_minShotMilliseconds; }
    void setMinShotMilliseconds(int ms) { m_minShotMilliseconds = ms; }
    // Every rule: a blank frame gives way to the nearest one that is not
    // within BlankWindow ms, and with sharpestMilliseconds above 0 the
    // sharpest frame within that many ms of each position is taken.
    static constexpr int BlankWindow = 2000;
    bool skipBlank() const { return m_skipBlank; }
    void setSkipBlank(bool skip) { m_skipBlank = skip; }
    int sharpestMilliseconds() const { return m_sharpestMilliseconds; }
    void setSharpestMilliseconds(int ms) { m_sharpestMilliseconds = ms; }
    // Rule Shots: a CSV file to list the shots and their images in; none
    // when empty. Not a property: each job names its own.
    QString shotListPath() const { return m_shotListPath; }
    void setShotListPath(const QString &path) { m_shotListPath = path; }
    // One contact sheet of the video instead of separate images: its
    // columns x rows frames spread as that many images would be, on a sheet
    // of the width, spacing and background colour ("#rrggbb") given.
    bool contactSheet() const { return m_contactSheet; }
    void setContactSheet(bool sheet) { m_contactSheet = sheet; }
    int sheetColumns() const { return m_sheet.columns; }
    void setSheetColumns(int columns) { m_sheet.columns = columns; }
    int sheetRows() const { return m_sheet.rows; }
    void setSheetRows(int rows) { m_sheet.rows = rows; }
    int sheetWidth() const { return m_sheet.width; }
    void setSheetWidth(int width) { m_sheet.width = width; }
    int sheetSpacing() const { return m_sheet.spacing; }
    void setSheetSpacing(int spacing) { m_sheet.spacing = spacing; }
    QString sheetBackground() const { return m_sheet.background.name(); }
    void setSheetBackground(const QString &colour);
    const ContactSheet::Layout &sheetLayout() const { return m_sheet; }
    void setSheetLayout(const ContactSheet::Layout &layout) { m_sheet = layout; }
    // The file-name profile's name of the sheet; -1 leaves the counter out.
    QString sheetFileNameFor(int counter) const;
    // Key-frame mode: each image is the key frame nearest to its position,
    // and only key frames are decoded; faster, but not the exact frame.
    bool keyFramesOnly() const { return m_keyFramesOnly; }
    void setKeyFramesOnly(bool on) { m_keyFramesOnly = on; }

    // The counter of the job's first file name; the worker counts up from it
    // past names that exist. Not a property: new jobs always start at 1.
    int fileCounterStart() const { return m_fileCounterStart; }
    void setFileCounterStart(int counter) { m_fileCounterStart = counter; }

    // The file-name profile's name for the source's complete base name,
    // counter and frame time (ms; -1 for none); a counter of -1 leaves the
    // counter out.
    QString fileNameFor(int counter, qint64 timeMs = -1) const;
    // The name of the job's first image, with its time taken as the front
    // skip; of its sheet, for a contact sheet.
    QString filenameExample() const { return m_contactSheet ? sheetFileNameFor(-1) : fileNameFor(1, m_skipFront); }

    // "Every 5000ms", "10 images", "Single middle", "Each shot" and the like.
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
    double m_shotThreshold;
    int m_minShotMilliseconds = 600;
    bool m_skipBlank = false;
    int m_sharpestMilliseconds = 0;
    QString m_shotListPath;
    bool m_keyFramesOnly = false;
    int m_fileCounterStart = 1;
    bool m_contactSheet = false;
    ContactSheet::Layout m_sheet;
    VideoInfo m_videoInfo;
    ImageProfile *m_imageProfile;
    FileNameProfile *m_fileNameProfile;
};
