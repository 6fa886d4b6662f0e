#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QString>

#include <functional>

// The one way images leave the program for a file, in both programs.
//
// The type comes from the file name's suffix and the image is written opaque
// (a video has no transparency); JPEG and WebP at a quality from 1 to 100,
// or Qt's default for any other value. The encoded image goes to a temporary file
// beside the target and is moved into place only once complete, so an
// interrupted or failed write never leaves a truncated image under the name,
// and nothing at all is left behind after a failure. In create-new mode the
// move never replaces a file, also one that another program made in the
// meantime.
//
// Stateless; may be called from any thread.
class ImageWriter
{
    Q_DECLARE_TR_FUNCTIONS(ImageWriter)

public:
    enum class Mode { CreateNew, Replace };

    enum class Outcome {
        Written,
        NameTaken,   // create-new only: a file of that name exists
        NoRoom,      // the file system has no room for it: later writes would fail too
        NoNameLeft,  // the counter would have to pass the largest int
        Failed       // anything else; the reason says what
    };

    struct Result {
        Outcome outcome = Outcome::Failed;
        QString path;     // the file written, or the one that could not be
        QString reason;   // empty when written
        bool written() const { return outcome == Outcome::Written; }
    };

    // The name of a file for a counter value.
    using NameForCounter = std::function<QString(int counter)>;

    static Result write(const QImage &image, const QString &path, Mode mode, int quality = -1);

    // The suffixes of the image types that can be written ("jpg", "jpeg",
    // "png", "tif", "tiff", and "webp" where Qt's plugin writes it), in the
    // order the choices list them; BMP is left to those who ask for it.
    static QStringList fileTypes();

    // The automatic naming rule: the first name from counter on whose file
    // does not exist in folder, the counter left at it. Empty when the
    // counter would have to pass the largest int.
    static QString nextFreeName(const QDir &folder, const NameForCounter &nameFor, qint64 *counter);

    // Writes image under the first free name from counter on, never
    // replacing a file: a name taken between the check and the write is
    // passed over. The counter is left after the name written; on failure
    // at the name that failed.
    static Result writeUnderFreeName(const QImage &image, const QDir &folder, const NameForCounter &nameFor,
                                     qint64 *counter, int quality = -1);
};
