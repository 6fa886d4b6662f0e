#pragma once

#include <QImage>
#include <QString>

class QWidget;

// The screenshot program shows the desktop program's windows with real
// profiles and writes them as PNG files for the documentation
// (scripts/screenshots.sh runs it). Each area of the program has one source
// file here that defines its shots and registers them with a static Area:
//
//     static const Screenshots::Area area("profile editors", &shootProfileEditors);
//
// so adding an area means adding its file to CMakeLists.txt and nothing else.
namespace Screenshots {

struct Area
{
    Area(const char *name, void (*shoot)());
};

// Shows widget, lets pending timers and layouts settle for settleMs and
// saves what is on screen as <name>.png in the output folder.
void save(QWidget *widget, const QString &name, int settleMs = 300);

// A generated test clip copied into ~/Videos (the screenshots' own home
// folder) under a name a user might give it; its path there.
QString video(const QString &clip, const QString &name);

// The frame at ms of a generated test clip (e.g. "long-gop-720p.mp4"), as a
// player would show it; a null image when it cannot be decoded.
QImage clipFrame(const QString &clip, qint64 ms);

}
