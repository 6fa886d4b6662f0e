#include "manifest.h"

#include "imaging/writeall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList Columns = { QStringLiteral("image"), QStringLiteral("video"), QStringLiteral("position_ms"),
                              QStringLiteral("frame_time_ms"), QStringLiteral("frame_number"),
                              QStringLiteral("width"), QStringLiteral("height"), QStringLiteral("shot") };

// How the JSON Lines rows begin, to tell a list of ours from other files.
const QByteArray JsonStart = QByteArrayLiteral("{\"image\":");

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A CSV field: quoted when it holds a separator, a quote or a line break.
QString csvField(const QString &value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\n'))
        && !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray jsonString(const QString &value)
{
    const QByteArray array = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// A number, or nothing when it is not known (negative).
QString known(qint64 value)
{
    return value >= 0 ? QString::number(value) : QString();
}

// Holds an exclusive lock on a whole file while it lives.
class FileLock
{
public:
    explicit FileLock(int fd) : m_fd(fd)
    {
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) { }
    }
    ~FileLock() { ::flock(m_fd, LOCK_UN); }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

private:
    int m_fd;
};

}

Manifest::Manifest(const QString &path)
    : m_path(path)
    , m_jsonLines(path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive))
{
}

Manifest::~Manifest()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString Manifest::header()
{
    return Columns.join(QLatin1Char(','));
}

bool Manifest::open()
{
    const QString shown = QDir::toNativeSeparators(m_path);
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        m_error = tr("Cannot write the manifest %1: %2").arg(shown, systemReason(errno));
        return false;
    }
    struct stat info;
    if (::fstat(m_fd, &info) != 0) {
        m_error = tr("Cannot write the manifest %1: %2").arg(shown, systemReason(errno));
        return false;
    }
    // Terminals and pipes take the list as it is written, header first.
    m_appendsOnly = !S_ISREG(info.st_mode);
    return writeLocked(QByteArray(), true);
}

bool Manifest::append(const QString &imagePath, const QSize &size, const FrameDetails &details)
{
    const QString image = QDir::toNativeSeparators(QFileInfo(imagePath).absoluteFilePath());
    const QString video = QDir::toNativeSeparators(QFileInfo(details.videoPath).absoluteFilePath());
    QByteArray line;
    if (m_jsonLines) {
        const auto number = [](qint64 value) {
            return value >= 0 ? QByteArray::number(value) : QByteArrayLiteral("null");
        };
        line = "{\"image\":" + jsonString(image) + ",\"video\":" + jsonString(video)
            + ",\"position_ms\":" + number(details.positionMs) + ",\"frame_time_ms\":" + number(details.timeMs)
            + ",\"frame_number\":" + number(details.frameNumber) + ",\"width\":" + number(size.width())
            + ",\"height\":" + number(size.height()) + ",\"shot\":" + number(details.shot) + "}\n";
    } else {
        const QStringList fields = { csvField(image), csvField(video), known(details.positionMs),
                                     known(details.timeMs), known(details.frameNumber),
                                     QString::number(size.width()), QString::number(size.height()),
                                     known(details.shot) };
        line = (fields.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
    }
    return writeLocked(line, false);
}

// Appends line while the file is locked; first, when asked, writes the
// header to an empty file or checks that a file with something in it is a
// list of this kind.
bool Manifest::writeLocked(const QByteArray &line, bool headerIfEmpty)
{
    const QString shown = QDir::toNativeSeparators(m_path);
    if (m_fd < 0) {
        m_error = tr("Cannot write the manifest %1: it is not open").arg(shown);
        return false;
    }
    const FileLock lock(m_fd);
    QByteArray data = line;
    if (headerIfEmpty) {
        struct stat info;
        const bool empty = m_appendsOnly || (::fstat(m_fd, &info) == 0 && info.st_size == 0);
        if (empty) {
            if (!m_jsonLines)
                data.prepend((header() + QLatin1Char('\n')).toUtf8());
        } else {
            QByteArray start(header().size() + 1, '\0');
            const ssize_t got = ::pread(m_fd, start.data(), size_t(start.size()), 0);
            start.resize(int(qMax<ssize_t>(0, got)));
            const QString refused = refusal(start);
            if (!refused.isEmpty()) {
                m_error = tr("Will not write the manifest to %1: %2").arg(shown, refused);
                return false;
            }
        }
    }
    if (const int error = writeAll(m_fd, data)) {
        m_error = tr("Cannot write the manifest %1: %2").arg(shown, systemReason(error));
        return false;
    }
    return true;
}

// Why a file that starts with start is not a list to append to; nothing
// when it is one.
QString Manifest::refusal(const QByteArray &start) const
{
    if (m_jsonLines) {
        if (start.startsWith(JsonStart))
            return QString();
        return tr("it holds something other than an image list in JSON Lines");
    }
    const QByteArray expected = header().toUtf8();
    if (start.startsWith(expected) && (start.size() == expected.size()
                                       || start.at(expected.size()) == '\n' || start.at(expected.size()) == '\r'))
        return QString();
    return tr("its first line is not the header %1").arg(header());
}
