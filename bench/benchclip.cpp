#include "benchclip.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>

QString benchClip()
{
    const QString path = QDir(QStringLiteral(TINDRA_BENCH_CLIP_DIR)).filePath(QStringLiteral("long-gop-1080p.mp4"));
    if (QFileInfo::exists(path))
        return path;
    QTextStream(stderr) << "Making the benchmark clip " << path << " ...\n";
    QProcess make;
    make.setProcessChannelMode(QProcess::ForwardedChannels);
    make.start(QStringLiteral("bash"), { QStringLiteral(TINDRA_MAKE_CLIPS), QStringLiteral(TINDRA_BENCH_CLIP_DIR),
                                         QStringLiteral("bench") });
    if (!make.waitForFinished(-1) || make.exitStatus() != QProcess::NormalExit || make.exitCode() != 0)
        return QString();
    return QFileInfo::exists(path) ? path : QString();
}

double timeCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

QString generatedClip(const QString &name, const QString &size, int seconds, int keyInterval, const QString &folder)
{
    const QDir dir(QDir(QStringLiteral(TINDRA_BENCH_CLIP_DIR)).filePath(folder));
    const QString path = dir.filePath(name);
    if (QFileInfo::exists(path))
        return path;
    dir.mkpath(QStringLiteral("."));
    QTextStream(stderr) << "Making the benchmark clip " << path << " ...\n";
    const QString part = path + QStringLiteral(".part.mp4");
    const double ms = timeCommand(QStringLiteral("ffmpeg"),
        { "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
          QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(size).arg(seconds), "-c:v", "libx264",
          "-preset", "veryfast", "-g", QString::number(keyInterval), "-bf", "3", "-pix_fmt", "yuv420p", part });
    if (ms < 0 || !QFile::rename(part, path))
        return QString();
    return path;
}
