#pragma once

#include "capture/framedetails.h"

#include <QCoreApplication>
#include <QSize>
#include <QString>

// The list of images a job wrote, one row per image, appended to a file that
// several runs may share (a library processed by runs side by side writes
// one list): CSV under one header line, or JSON Lines when the file name ends
// in ".jsonl". Columns: image, video, position_ms, frame_time_ms,
// frame_number, width, height, shot; a value that is not known is left
// empty (null in JSON).
//
// Each row goes to the end of the file in one write while the file is
// locked, so the rows of runs at once never mix and the header is written
// once, by the run that finds the file empty. Used by one thread: the one
// that saves the images.
class Manifest
{
    Q_DECLARE_TR_FUNCTIONS(Manifest)

public:
    explicit Manifest(const QString &path);
    ~Manifest();
    Manifest(const Manifest &) = delete;
    Manifest &operator=(const Manifest &) = delete;

    QString path() const { return m_path; }
    bool isJsonLines() const { return m_jsonLines; }

    // Opens the file for appending, making it with its header when missing
    // or empty. False, with error(), when it cannot be written or holds
    // something other than a list of this kind.
    bool open();
    // Appends the row of one image written; false with error().
    bool append(const QString &imagePath, const QSize &size, const FrameDetails &details);
    QString error() const { return m_error; }

    // The CSV header line, without its line end.
    static QString header();

private:
    bool writeLocked(const QByteArray &line, bool headerIfEmpty);
    QString refusal(const QByteArray &start) const;

    QString m_path;
    bool m_jsonLines;
    int m_fd = -1;
    bool m_appendsOnly = false;   // a pipe or a device: nothing to read back
    QString m_error;
};
