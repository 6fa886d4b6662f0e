#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// Where one image came from: the video, the position asked for and the
// frame's own time and number. Watermark texts show them, file names carry
// the time, and manifests list them. A plain value; it travels with a frame
// from the decoding thread to the one that saves it.
struct FrameDetails {
    QString videoPath;
    qint64 positionMs = -1;   // asked for, from the start of the video; -1 when not known
    qint64 timeMs = -1;       // the frame's own time from the start of the video; -1 when not known
    qint64 frameNumber = -1;  // from 0 at the first frame; -1 when not known
    QDateTime recorded;       // when the video was recorded; invalid when the file does not say
    int counter = -1;         // the image's number in its job, from 1; -1 when not known
};

Q_DECLARE_METATYPE(FrameDetails)
