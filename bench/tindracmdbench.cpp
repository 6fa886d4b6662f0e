// Time per image of a whole tindracmd job against the ffmpeg tool making the
// same images: 20 positions spread over a long-GOP 1080p clip, accurate seek,
// centre crop to 4:3, scaled to 640 x 480, written as JPEG.
//
//   tindracmdbench [images]
//
// The worker pauses 100 ms after every image; the figures are given with and
// without that pause.

#include "benchclip.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    const int images = args.size() > 1 ? args.at(1).toInt() : 20;
    const QString clip = benchClip();
    QTemporaryDir ours;
    QTemporaryDir theirs;
    if (images < 2 || clip.isEmpty() || !ours.isValid() || !theirs.isValid()) {
        out << "usage: tindracmdbench [images >= 2]\n";
        return 1;
    }

    const double oursMs = timeCommand(QStringLiteral(TINDRACMD),
                                      { QStringLiteral("--count"), QString::number(images), clip, ours.path() });
    if (oursMs < 0 || QDir(ours.path()).entryList(QDir::Files).size() != images) {
        out << "tindracmd failed\n";
        return 1;
    }

    // The same positions: 2000 ms skipped at both ends of the 60 s bench clip, then
    // (trimmed length / images - 1) ms apart.
    const qint64 duration = 60000;
    const qint64 step = (duration - 4000) / images - 1;
    double theirsMs = 0;
    for (int i = 0; i < images; ++i) {
        const qint64 pos = 2000 + i * step;
        const double ms = timeCommand(QStringLiteral("ffmpeg"),
            { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"), QStringLiteral("-ss"),
              QString::number(pos / 1000.0, 'f', 3), QStringLiteral("-i"), clip, QStringLiteral("-frames:v"),
              QStringLiteral("1"), QStringLiteral("-vf"), QStringLiteral("crop=ih*4/3:ih,scale=640:480"),
              QStringLiteral("-q:v"), QStringLiteral("5"), QStringLiteral("-y"),
              QDir(theirs.path()).filePath(QStringLiteral("%1.jpg").arg(i)) });
        if (ms < 0) {
            out << "the ffmpeg tool failed at " << pos << " ms\n";
            return 1;
        }
        theirsMs += ms;
    }

    const double perImage = oursMs / images;
    const double perImageWithoutPause = (oursMs - 100.0 * images) / images;
    const double toolPerImage = theirsMs / images;
    out << "clip: " << clip << ", " << images << " images\n";
    out << QString::asprintf("tindracmd:                  %8.1f ms per image\n", perImage);
    out << QString::asprintf("tindracmd without pauses:   %8.1f ms per image\n", perImageWithoutPause);
    out << QString::asprintf("ffmpeg -ss -i crop scale:   %8.1f ms per image\n", toolPerImage);
    out << QString::asprintf("ratio without pauses: %.2f (goal: at most 1.00)\n", perImageWithoutPause / toolPerImage);
    out << QString::asprintf("ratio with pauses:    %.2f\n", perImage / toolPerImage);
    return 0;
}
