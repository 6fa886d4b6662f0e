#include "imagewriter.h"
#include "writeall.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Attempts at a temporary name before giving up; each is random.
constexpr int TemporaryNameAttempts = 100;

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

ImageWriter::Outcome outcomeOf(int error)
{
    // A full disk, a full quota or the file-size limit: the next image
    // would not fit either.
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? ImageWriter::Outcome::NoRoom
                                                                 : ImageWriter::Outcome::Failed;
}

// A new hidden file beside path, created by this call; its descriptor, or -1
// with errno set.
int createTemporary(const QString &path, QByteArray *temporary)
{
    const QFileInfo info(path);
    for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.part")
                                 .arg(info.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        *temporary = QFile::encodeName(info.dir().filePath(name));
        const int fd = ::open(temporary->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Moves the complete temporary file to target without replacing a file
// there: 0, or the error (EEXIST when the name is taken). File systems that
// cannot refuse a replacing rename themselves (some network ones) get the
// name reserved by creating it first.
int moveIntoPlace(const QByteArray &temporary, const QByteArray &target)
{
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    const int reserved = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (reserved < 0)
        return errno;
    ::close(reserved);
    if (::rename(temporary.constData(), target.constData()) == 0)
        return 0;
    const int error = errno;
    ::unlink(target.constData());
    return error;
}

}

QStringList ImageWriter::fileTypes()
{
    QStringList types = { QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                          QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("webp") };
    const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    types.erase(std::remove_if(types.begin(), types.end(),
                               [&](const QString &type) { return !writable.contains(type.toLatin1()); }),
                types.end());
    return types;
}

ImageWriter::Result ImageWriter::write(const QImage &image, const QString &path, Mode mode, int quality)
{
    Result result;
    result.path = path;
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (image.isNull()) {
        result.reason = tr("There is no image to write.");
        return result;
    }
    if (format.isEmpty()) {
        result.reason = tr("The file name has no suffix (such as .jpg or .png) to tell the image type.");
        return result;
    }
    // Encoded in memory first: whatever fails after this is the file
    // system's, and errno says what. Asking the encoder for its format loads
    // that format's plugin alone, where the list of formats loads them all.
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter encoder(&buffer, format);
    if (!encoder.canWrite()) {
        result.reason = tr("\"%1\" is not an image type Tindra can write.").arg(QString::fromLatin1(format));
        return result;
    }
    const QByteArray target = QFile::encodeName(path);
    if (mode == Mode::CreateNew && QFileInfo::exists(path)) {
        result.outcome = Outcome::NameTaken;
        result.reason = tr("A file of that name exists.");
        return result;
    }

    if (quality >= 1 && quality <= 100 && (format == "jpg" || format == "jpeg" || format == "webp"))
        encoder.setQuality(quality);
    const QImage opaque = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image;
    if (!encoder.write(opaque)) {
        result.reason = encoder.errorString();
        return result;
    }

    QByteArray temporary;
    const int fd = createTemporary(path, &temporary);
    if (fd < 0) {
        const int error = errno;
        result.outcome = outcomeOf(error);
        result.reason = systemReason(error);
        return result;
    }
    int error = writeAll(fd, data);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0) {
        if (mode == Mode::CreateNew)
            error = moveIntoPlace(temporary, target);
        else if (::rename(temporary.constData(), target.constData()) != 0)
            error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.constData());
        if (error == EEXIST) {
            result.outcome = Outcome::NameTaken;
            result.reason = tr("A file of that name exists.");
        } else {
            result.outcome = outcomeOf(error);
            result.reason = systemReason(error);
        }
        return result;
    }
    result.outcome = Outcome::Written;
    return result;
}

QString ImageWriter::nextFreeName(const QDir &folder, const NameForCounter &nameFor, qint64 *counter)
{
    for (; *counter <= INT_MAX; ++*counter) {
        const QString name = nameFor(int(*counter));
        if (!QFileInfo::exists(folder.filePath(name)))
            return name;
    }
    return QString();
}

ImageWriter::Result ImageWriter::writeUnderFreeName(const QImage &image, const QDir &folder,
                                                    const NameForCounter &nameFor, qint64 *counter, int quality)
{
    for (;;) {
        const QString name = nextFreeName(folder, nameFor, counter);
        if (name.isEmpty()) {
            Result result;
            result.outcome = Outcome::NoNameLeft;
            result.reason = tr("No file name left: the counter would pass %1").arg(INT_MAX);
            return result;
        }
        Result result = write(image, folder.filePath(name), Mode::CreateNew, quality);
        if (result.outcome != Outcome::NameTaken) {
            if (result.written())
                ++*counter;
            return result;
        }
        ++*counter;
    }
}
