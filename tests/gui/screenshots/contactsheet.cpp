#include "screenshots.h"

#include "dialogs/contactsheetdialog.h"
#include "testclips.h"

// Qt
#include <QEventLoop>
#include <QTimer>

namespace {
// The contact sheet dialog on a generated clip, once its sheet is made.
void shootContactSheet()
{
    ContactSheetDialog dialog;
    QEventLoop made;
    QObject::connect(&dialog, &ContactSheetDialog::sheetFinished, &made, &QEventLoop::quit);
    QTimer::singleShot(60000, &made, &QEventLoop::quit);
    dialog.setVideo(TestClips::path(QStringLiteral("long-gop-720p.mp4")), nullptr, nullptr, QDir::temp());
    made.exec();
    Screenshots::save(&dialog, QStringLiteral("contact-sheet-dialog"));
}

const Screenshots::Area area("contact sheet", &shootContactSheet);
}
