#include "capture/videoinfo.h"
#include "dialogs/contactsheetdialog.h"
#include "imaging/contactsheet.h"
#include "widgets/imageview.h"
#include "frameid.h"
#include "testclips.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
template<typename T>
T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(found, "child", name);
    return found;
}
}

// The contact sheet of the open video: made again when the grid changes,
// shown, saved without replacing a file, copied.
class ContactSheetDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void gridSaveAndCopy();
};

void ContactSheetDialogTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void ContactSheetDialogTest::gridSaveAndCopy()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString clip = TestClips::path(QStringLiteral("h264-10s.mp4"));
    ContactSheetDialog dialog;
    dialog.setVideo(clip, nullptr, nullptr, QDir(dir.path()));
    dialog.show();
    child<QSpinBox>(&dialog, "skipFrontSpinBox")->setValue(0);
    child<QSpinBox>(&dialog, "skipBackSpinBox")->setValue(0);
    child<QSpinBox>(&dialog, "columnsSpinBox")->setValue(2);
    child<QSpinBox>(&dialog, "rowsSpinBox")->setValue(1);
    child<QSpinBox>(&dialog, "widthSpinBox")->setValue(800);
    // An event loop, not QTRY: qWait() deletes objects whose deleteLater()
    // came from another thread before the events queued for them before it.
    QEventLoop loop;
    connect(&dialog, &ContactSheetDialog::sheetFinished, &loop, [&] {
        if (dialog.sheet().width() == 800)
            loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();

    // Two images spread over 10 s: positions 0 and 4999, frames 0 and 125.
    const QImage sheet = dialog.sheet();
    QCOMPARE(sheet.width(), 800);
    QCOMPARE(child<ImageView>(&dialog, "previewImageView")->image(), sheet);
    ContactSheet::Layout layout;
    layout.columns = 2;
    layout.rows = 1;
    layout.width = 800;
    VideoInfo video;
    video.load(clip);
    const ContactSheet geometry(layout, video);
    QCOMPARE(FrameId::read(sheet.copy(geometry.pictureRect(0))), 0);
    QCOMPARE(FrameId::read(sheet.copy(geometry.pictureRect(1))), 125);

    auto *save = child<QPushButton>(&dialog, "saveButton");
    save->click();
    save->click();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
             QStringList({ "h264-10s-sheet-00001.jpeg", "h264-10s-sheet.jpeg" }));
    QCOMPARE(QImage(QDir(dir.path()).filePath(QStringLiteral("h264-10s-sheet.jpeg"))).size(), sheet.size());

    child<QPushButton>(&dialog, "copyButton")->click();
    QCOMPARE(QApplication::clipboard()->image().convertToFormat(sheet.format()), sheet);
}

QTEST_MAIN(ContactSheetDialogTest)
#include "contactsheetdialogtest.moc"
