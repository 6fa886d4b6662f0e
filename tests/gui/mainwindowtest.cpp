#include "dialogs/batchmodedialog.h"
#include "dialogs/batchprocessingdialog.h"
#include "dialogs/filenameprofiledialog.h"
#include "dialogs/imageprofiledialog.h"
#include "dialogs/watermarkprofiledialog.h"
#include "mainwindow.h"
#include "analysis/shotindex.h"
#include "player/framecapture.h"
#include "player/player.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "widgets/aboutdialog.h"
#include "widgets/imageview.h"
#include "widgets/smartfiledialog.h"

#include "frameid.h"
#include "modaldialogs.h"
#include "testclips.h"

#include <QAction>
#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

// The main window driven through its widgets and actions on the generated
// clips, whose pictures carry their frame numbers; sound is off.
class MainWindowTest : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { m_openedUrl = url; }

private slots:
    void initTestCase() { Q_INIT_RESOURCE(tindra); }
    void init();
    void cleanup();
    void title_data();
    void title();
    void unplayable_data();
    void unplayable();
    void slider_data();
    void slider();
    void stepsOneFrame_data();
    void stepsOneFrame();
    void skipPausesAndSpaceResumes();
    void previousAndNextShot();
    void snapshotAndCopies();
    void nextNameSkipsExistingFiles();
    void automaticSaveFolder_data();
    void automaticSaveFolder();
    void saveDialog_data();
    void saveDialog();
    void editorChoiceIsKept_data();
    void editorChoiceIsKept();
    void batchModeLeavesNoVideo();
    void menusOpenWithAlt();
    void windowsFitScreen_data();
    void windowsFitScreen();
    void helpOpensLocalPage_data();
    void helpOpensLocalPage();
    void closingEndsEventLoop();

private:
    template<typename T> T *child(const char *name) { return m_window->findChild<T *>(QLatin1String(name)); }
    void open(const QString &path);
    void seekTo(qint64 ms);
    void takeSnapshot();
    void setOutputFolder(const QString &folder);
    // Answers the next message box with button and keeps its title and text.
    void answerMessageBox(QMessageBox::StandardButton button);

    std::unique_ptr<MainWindow> m_window;
    Player *m_player = nullptr;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_boxSaid;
    QUrl m_openedUrl;
};

void MainWindowTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_boxSaid.clear();
    m_window = std::make_unique<MainWindow>();
    m_player = m_window->findChild<Player *>();
    QVERIFY(m_player && m_player->isValid());
    m_player->setAudioOutput(QStringLiteral("null"));
    m_window->resize(800, 600);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void MainWindowTest::cleanup()
{
    m_window.reset();
    QApplication::clipboard()->clear();
}

void MainWindowTest::open(const QString &path)
{
    QSignalSpy started(m_player, &Player::started);
    m_window->openVideo(path);
    QVERIFY(started.wait(10000));
    seekTo(0);
}

void MainWindowTest::seekTo(qint64 ms)
{
    QSignalSpy landed(m_player, &Player::seekFinished);
    m_player->pause(true);
    m_player->seek(ms);
    QVERIFY(landed.wait(10000));
}

void MainWindowTest::takeSnapshot()
{
    QSignalSpy captured(m_player->videoCapture(), &FrameCapture::imageCaptured);
    child<QPushButton>("snapshotButton")->click();
    QVERIFY(captured.wait(10000));
}

void MainWindowTest::setOutputFolder(const QString &folder)
{
    auto *edit = child<QLineEdit>("outputFolderLineEdit");
    edit->clear();
    QTest::keyClicks(edit, folder);
    QTest::keyClick(edit, Qt::Key_Return);
}

void MainWindowTest::answerMessageBox(QMessageBox::StandardButton button)
{
    ModalDialogs::answer([this, button](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        m_boxSaid = box->windowTitle() + QLatin1Char('|') + box->text();
        box->button(button)->click();
    });
}

void MainWindowTest::title_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("title");
    QTest::newRow("opened") << "h264-10s.mp4" << "open" << "Tindra - h264-10s.mp4";
    QTest::newRow("dropped on the window") << "h264-10s.mp4" << "drop" << "Tindra - h264-10s.mp4";
    QTest::newRow("chosen in the open dialog") << "h264-10s.mp4" << "dialog" << "Tindra - h264-10s.mp4";
    QTest::newRow("typed into the open dialog") << "h264-10s.mp4" << "typed" << "Tindra - h264-10s.mp4";
    QTest::newRow("non-ASCII path") << "dossier à part/vidéo d'été ü.webm" << "open"
                                    << "Tindra - vidéo d'été ü.webm";
}

void MainWindowTest::title()
{
    QFETCH(QString, clip);
    QFETCH(QString, how);
    QFETCH(QString, title);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Tindra"));
    QSignalSpy started(m_player, &Player::started);
    if (how == QLatin1String("drop")) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(TestClips::path(clip))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_window.get(), &drop);
    } else if (how == QLatin1String("dialog")) {
        ModalDialogs::answer([&](QWidget *modal) {
            modal->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(TestClips::path(clip));
            static_cast<QDialog *>(modal)->accept();
        });
        child<QAction>("actionOpen")->trigger();
    } else if (how == QLatin1String("typed")) {
        // As a user types: the completion list comes up, and Return opens the file.
        ModalDialogs::answer([&](QWidget *modal) {
            static_cast<QFileDialog *>(modal)->setDirectory(QFileInfo(TestClips::path(clip)).absolutePath());
            auto *name = modal->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QTest::keyClicks(name, clip);
            QTRY_VERIFY(name->completer()->popup()->isVisible());
            QTest::keyClick(name->completer()->popup(), Qt::Key_Return);
        });
        child<QAction>("actionOpen")->trigger();
    } else {
        m_window->openVideo(TestClips::path(clip));
    }
    QVERIFY(started.wait(10000));
    QCOMPARE(m_window->windowTitle(), title);
    QVERIFY(child<QAction>("actionTake_Snapshot")->isEnabled());
    // No window of a dialog outlives it, to swallow the next key.
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows)
        QVERIFY2(!window->isVisible() || window == m_window.get(), window->metaObject()->className());
}

void MainWindowTest::unplayable_data()
{
    QTest::addColumn<QString>("clip");
    QTest::newRow("random bytes") << "random.mp4";
    QTest::newRow("empty") << "empty.mp4";
    QTest::newRow("sound only") << "audio-only.m4a";
    QTest::newRow("missing") << "no such clip.mp4";
}

void MainWindowTest::unplayable()
{
    QFETCH(QString, clip);
    QSignalSpy failed(m_player, &Player::error);
    answerMessageBox(QMessageBox::Ok);
    m_window->openVideo(TestClips::path(clip));
    QVERIFY(failed.wait(10000));
    QTRY_VERIFY(!m_boxSaid.isEmpty());
    QVERIFY2(m_boxSaid.contains(QFileInfo(clip).fileName()), qPrintable(m_boxSaid));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Tindra"));
    QVERIFY(!child<QAction>("actionTake_Snapshot")->isEnabled());
    QVERIFY(!child<QSlider>("videoSlider")->isEnabled());
}

void MainWindowTest::slider_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<qint64>("position");
    QTest::newRow("dragged") << "drag" << qint64(45000);
    QTest::newRow("dragged back") << "drag" << qint64(30000);
    QTest::newRow("groove clicked") << "groove" << qint64(40000);
    QTest::newRow("page down") << "PgDown" << qint64(20040);
    QTest::newRow("arrow") << "Right" << qint64(30040);
    QTest::newRow("end") << "End" << TestClips::frameTime(1499);
    QTest::newRow("home") << "Home" << qint64(0);
}

// Every way of moving the slider seeks, and the handle ends on the frame shown.
void MainWindowTest::slider()
{
    QFETCH(QString, how);
    QFETCH(qint64, position);
    auto *slider = child<QSlider>("videoSlider");
    open(TestClips::path(QStringLiteral("h264-60s.mp4")));
    seekTo(30000);
    QTRY_COMPARE(slider->maximum(), 60000 / 30);
    QCOMPARE(slider->value(), 1000);
    QSignalSpy landed(m_player, &Player::seekFinished);
    if (how == QLatin1String("drag")) {
        // Across key frames (every 10 s), which it follows, and let go of
        // between two: the exact frame there.
        slider->setSliderDown(true);
        for (int step : { 400, 700, int(position / 30) })
            slider->setSliderPosition(step);
        slider->setSliderDown(false);
    } else if (how == QLatin1String("groove")) {
        QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() * 9 / 10, slider->height() / 2));
    } else {
        QTest::keyClick(slider, Qt::Key(QKeySequence::fromString(how)[0]));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!landed.isEmpty() && landed.constLast().at(0).toLongLong() == position, 10000);
    QCOMPARE(m_player->displayPosition(), position);
    QCOMPARE(slider->value(), int(position / 30));
}

void MainWindowTest::stepsOneFrame_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("step");
    QTest::newRow("step forward button") << "stepForwardButton" << 1;
    QTest::newRow("step backward button") << "stepBackwardButton" << -1;
    QTest::newRow("Ctrl+Right") << "Ctrl+Right" << 1;
    QTest::newRow("Ctrl+Left") << "Ctrl+Left" << -1;
}

void MainWindowTest::stepsOneFrame()
{
    QFETCH(QString, control);
    QFETCH(int, step);
    open(TestClips::path(QStringLiteral("h264-bframes.mp4")));
    seekTo(TestClips::frameTime(100));
    QSignalSpy landed(m_player, &Player::seekFinished);
    if (auto *button = child<QToolButton>(qPrintable(control))) {
        button->click();
    } else {
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keySequence(m_window.get(), QKeySequence::fromString(control));
    }
    QVERIFY(landed.wait(10000));
    QCOMPARE(m_player->displayPosition(), TestClips::frameTime(100 + step));
    QVERIFY(m_player->isPaused());
}

void MainWindowTest::skipPausesAndSpaceResumes()
{
    open(TestClips::path(QStringLiteral("h264-60s.mp4")));
    seekTo(20000);
    m_player->pause(false);
    QSignalSpy landed(m_player, &Player::seekFinished);
    child<QToolButton>("skipForwardButton")->click();
    QVERIFY(landed.wait(10000));
    QCOMPARE(m_player->displayPosition(), qint64(21000));
    QVERIFY(m_player->isPaused());

    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_Space);
    QTRY_COMPARE(m_player->state(), Player::PlayingState);
}

// The shots are found in the background; until then the actions only say so.
void MainWindowTest::previousAndNextShot()
{
    // Cuts at frames 31, 70, 113 and 150.
    open(TestClips::path(QStringLiteral("shots-cuts.mp4")));
    auto *shots = m_window->findChild<ShotIndex *>();
    QSignalSpy ready(shots, &ShotIndex::ready);
    auto *next = child<QAction>("actionNextShot");
    auto *previous = child<QAction>("actionPreviousShot");
    if (!shots->isReady()) {
        next->trigger();
        QVERIFY(m_window->statusBar()->currentMessage().startsWith(QStringLiteral("Still looking for the shots")));
        QVERIFY(ready.wait(60000));
    }
    const auto go = [this](QAction *action, qint64 expected) {
        QSignalSpy landed(m_player, &Player::seekFinished);
        action->trigger();
        QVERIFY(landed.wait(10000));
        QCOMPARE(m_player->displayPosition(), expected);
        QVERIFY(m_player->isPaused());
    };
    go(next, TestClips::frameTime(31));
    go(next, TestClips::frameTime(70));
    seekTo(TestClips::frameTime(90));
    go(previous, TestClips::frameTime(70));
    go(previous, TestClips::frameTime(31));
    go(previous, 0);
    previous->trigger();
    QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("No shot before this one"));
    QCOMPARE(next->shortcut(), QKeySequence(QStringLiteral("Ctrl+PgDown")));
    QCOMPARE(previous->shortcut(), QKeySequence(QStringLiteral("Ctrl+PgUp")));
}

void MainWindowTest::snapshotAndCopies()
{
    open(TestClips::path(QStringLiteral("h264-bframes.mp4")));
    seekTo(TestClips::frameTime(100));
    takeSnapshot();
    QCOMPARE(m_player->displayPosition(), TestClips::frameTime(100));

    // The default image profile cuts to fill 640 x 480.
    const QImage preview = child<ImageView>("snapshotImageView")->image();
    QCOMPARE(preview.size(), QSize(640, 480));
    QCOMPARE(FrameId::read(preview), 100);

    child<QAction>("actionCopy_Full_Frame")->trigger();
    QCOMPARE(QApplication::clipboard()->image().size(), QSize(320, 240));
    QCOMPARE(FrameId::read(QApplication::clipboard()->image()), 100);
    child<QAction>("actionCopy_Snapshot")->trigger();
    QCOMPARE(QApplication::clipboard()->image(), preview.convertToFormat(QApplication::clipboard()->image().format()));

    // Picking another image profile remakes the snapshot from the full frame.
    ProfileManager *images = ImageProfile::profileManager();
    BaseProfile *standard = images->currentProfile();
    auto *small = qobject_cast<ImageProfile *>(images->createProfile());
    small->setImageWidth(160);
    small->setImageHeight(120);
    images->addProfile(small);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "loadImageProfileComboBox"));
    auto *box = child<QComboBox>("imageProfileComboBox");
    box->setCurrentIndex(box->findData(small->id()));
    emit box->activated(box->currentIndex());
    QCOMPARE(child<ImageView>("snapshotImageView")->image().size(), QSize(160, 120));
    images->setCurrentProfile(standard);

    // Another video: its snapshot is still to be taken, so nothing is copied.
    open(TestClips::path(QStringLiteral("h264-10s.mp4")));
    QApplication::clipboard()->clear();
    child<QAction>("actionCopy_Snapshot")->trigger();
    QVERIFY(QApplication::clipboard()->image().isNull());
}

void MainWindowTest::nextNameSkipsExistingFiles()
{
    for (const char *name : {"h264-10s-00001.jpeg", "h264-10s-00002.jpeg"}) {
        QFile file(m_dir->filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    open(TestClips::path(QStringLiteral("h264-10s.mp4")));
    takeSnapshot();
    setOutputFolder(m_dir->path());
    auto *next = child<QLabel>("nextFileNameLabel");
    QCOMPARE(next->text(), QStringLiteral("h264-10s-00003.jpeg"));

    child<QPushButton>("saveButton")->click();
    const QString saved = m_dir->filePath(QStringLiteral("h264-10s-00003.jpeg"));
    QCOMPARE(QImage(saved).size(), QSize(640, 480));
    QVERIFY(m_window->statusBar()->currentMessage().contains(QStringLiteral("h264-10s-00003.jpeg")));
    QCOMPARE(next->text(), QStringLiteral("h264-10s-00004.jpeg"));
}

void MainWindowTest::automaticSaveFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("boxSays");
    QTest::addColumn<bool>("saved");
    QTest::newRow("empty") << "" << int(QMessageBox::Ok)
                           << "Unknown Folder|Please enter a valid output folder in the Automatic FileName section."
                           << false;
    QTest::newRow("relative") << "somewhere" << int(QMessageBox::Ok) << "Unknown Folder|" << false;
    QTest::newRow("missing, not made") << "@/new/sub" << int(QMessageBox::No)
                                       << "Folder does not exist|Create folder?\r\n" << false;
    QTest::newRow("missing, made") << "@/new/sub" << int(QMessageBox::Yes)
                                   << "Folder does not exist|Create folder?\r\n" << true;
}

void MainWindowTest::automaticSaveFolder()
{
    QFETCH(QString, folder);
    QFETCH(int, answer);
    QFETCH(QString, boxSays);
    QFETCH(bool, saved);
    folder.replace(QLatin1Char('@'), m_dir->path());
    open(TestClips::path(QStringLiteral("h264-10s.mp4")));
    takeSnapshot();
    setOutputFolder(folder);

    answerMessageBox(QMessageBox::StandardButton(answer));
    child<QPushButton>("saveButton")->click();
    QVERIFY2(m_boxSaid.startsWith(boxSays), qPrintable(m_boxSaid));
    const QString file = QDir(folder).filePath(QStringLiteral("h264-10s-00001.jpeg"));
    QCOMPARE(QFileInfo::exists(file), saved);
    QCOMPARE(QFileInfo::exists(folder), saved);
    QCOMPARE(child<QLabel>("nextFileNameLabel")->text(),
             saved ? QStringLiteral("h264-10s-00002.jpeg") : QStringLiteral("h264-10s-00001.jpeg"));
}

void MainWindowTest::saveDialog_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("boxSays");
    QTest::newRow("png") << "shot.png" << "";
    QTest::newRow("tiff") << "shot.tif" << "";
    QTest::newRow("no suffix") << "shot" << "Snapshot Not Saved|Could not save";
    QTest::newRow("unknown type") << "shot.xyz" << "Snapshot Not Saved|Could not save";
    QTest::newRow("missing folder") << "gone/shot.png" << "Snapshot Not Saved|Could not save";
    QTest::newRow("existing file, not replaced") << "kept.png" << "";
}

void MainWindowTest::saveDialog()
{
    QFETCH(QString, name);
    QFETCH(QString, boxSays);
    const QString path = m_dir->filePath(name);
    const bool exists = name == QLatin1String("kept.png");
    if (exists) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("kept") == 4);
    }
    open(TestClips::path(QStringLiteral("h264-10s.mp4")));
    takeSnapshot();
    auto *automatic = child<QGroupBox>("automaticFileNameGroupBox");
    const QPoint checkBoxAt = automatic->mapTo(m_window.get(), QPoint());
    automatic->setChecked(false);
    QVERIFY(!child<QLabel>("nextFileNameLabel")->isVisible());
    // Each layout asks its parent's on the next round.
    for (int round = 0; round < 10; ++round)
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(automatic->mapTo(m_window.get(), QPoint()), checkBoxAt);

    QString offered;
    QString replaceAsked;
    ModalDialogs::answer([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        offered = dialog->directory().absolutePath();
        if (!boxSays.isEmpty())
            answerMessageBox(QMessageBox::Ok);
        // Asked before an existing file is replaced; No leaves the dialog open on it.
        if (exists) {
            ModalDialogs::answer([&](QWidget *box) {
                replaceAsked = static_cast<QMessageBox *>(box)->text();
                static_cast<QMessageBox *>(box)->button(QMessageBox::No)->click();
            }, dialog);
        }
        dialog->setDirectory(m_dir->path());
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
        static_cast<QDialog *>(dialog)->accept();
        if (exists)
            dialog->reject();
    });
    child<QPushButton>("saveButton")->click();
    QCOMPARE(offered, QFileInfo(TestClips::path(QStringLiteral("h264-10s.mp4"))).absolutePath());
    QVERIFY2(boxSays.isEmpty() ? m_boxSaid.isEmpty() : m_boxSaid.startsWith(boxSays), qPrintable(m_boxSaid));
    if (exists) {
        QVERIFY2(replaceAsked.contains(name), qPrintable(replaceAsked));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("kept"));
    } else if (boxSays.isEmpty()) {
        QCOMPARE(QImage(path).size(), QSize(640, 480));
    } else {
        QVERIFY(m_boxSaid.contains(QDir::toNativeSeparators(path)));
        // An earlier "Saved ..." must not stand for this one.
        QVERIFY(m_window->statusBar()->currentMessage().startsWith(QLatin1String("Not saved")));
    }
}

void MainWindowTest::editorChoiceIsKept_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::newRow("image profile") << "editImageProfileButton" << "imageProfileComboBox";
    QTest::newRow("file-name profile") << "editFileNameProfileButton" << "filenameProfileComboBox";
}

// A profile saved in its editor is the one the next start begins with, as
// one picked from the list is.
void MainWindowTest::editorChoiceIsKept()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    open(TestClips::path(QStringLiteral("h264-10s.mp4")));
    takeSnapshot();
    const QString name = QStringLiteral("Chosen in the editor ") + QTest::currentDataTag();
    ModalDialogs::answer([&](QWidget *modal) {
        modal->findChild<QComboBox *>(QStringLiteral("profileComboBox"))->setEditText(name);
        modal->findChild<QPushButton *>(QStringLiteral("saveButton"))->click();
    });
    child<QPushButton>(qPrintable(button))->click();
    QCOMPARE(child<QComboBox>(qPrintable(box))->currentText(), name);
    ProfileManager *store = box == QLatin1String("imageProfileComboBox") ? ImageProfile::profileManager()
                                                                          : FileNameProfile::profileManager();
    QCOMPARE(store->currentProfile()->name(), name);
    QSettings file(ProfileManager::configFilePath(store->fileName()), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("lastUsedPofileId")).toString(), store->currentProfile()->id());
}

void MainWindowTest::batchModeLeavesNoVideo()
{
    open(TestClips::path(QStringLiteral("h264-10s.mp4")));
    takeSnapshot();
    QString dialogClass;
    ModalDialogs::answer([&](QWidget *modal) {
        dialogClass = QString::fromLatin1(modal->metaObject()->className());
        qobject_cast<QDialog *>(modal)->reject();
    });
    child<QAction>("actionBatch_Mode")->trigger();
    QCOMPARE(dialogClass, QStringLiteral("BatchModeDialog"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Tindra"));
    QTRY_VERIFY(!m_player->isPlaying());
    QVERIFY(!child<QAction>("actionTake_Snapshot")->isEnabled());
    QVERIFY(!child<QAction>("actionCopy_Snapshot")->isEnabled());
    QVERIFY(child<ImageView>("snapshotImageView")->image().isNull());
}

void MainWindowTest::menusOpenWithAlt()
{
    const auto entries = m_window->menuBar()->actions();
    QCOMPARE(entries.size(), 5);
    for (const QAction *entry : entries) {
        QMenu *menu = entry->menu();
        const QKeySequence alt = QKeySequence::mnemonic(menu->title());
        QVERIFY2(!alt.isEmpty(), qPrintable(menu->title()));
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key(alt[0] & ~Qt::KeyboardModifierMask), Qt::AltModifier);
        QTRY_VERIFY2(QApplication::activePopupWidget() == menu, qPrintable(menu->title()));
        // Out of the menu, then out of the menu bar.
        QTest::keyClick(menu, Qt::Key_Escape);
        QTest::keyClick(m_window->menuBar(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }
}

void MainWindowTest::windowsFitScreen_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("button");
    QTest::newRow("main window") << "" << "";
    QTest::newRow("batch mode") << "BatchModeDialog" << "startButton";
    QTest::newRow("batch progress") << "BatchProcessingDialog" << "doneButton";
    QTest::newRow("file-name profile") << "FileNameProfileDialog" << "saveButton";
    QTest::newRow("image profile") << "ImageProfileDialog" << "saveButton";
    QTest::newRow("watermark profile") << "WatermarkProfileDialog" << "saveButton";
    QTest::newRow("about") << "AboutDialog" << "";
    QTest::newRow("open a video") << "SmartFileDialog" << "";
}

// Run once more at twice the scale (a separate ctest entry), where the screen has room for 400 x 300.
void MainWindowTest::windowsFitScreen()
{
    QFETCH(QString, window);
    QFETCH(QString, button);
    const QHash<QString, std::function<QWidget *()>> makers{
        { "BatchModeDialog", [this] { return new BatchModeDialog(m_window.get()); } },
        { "BatchProcessingDialog", [this] { return new BatchProcessingDialog(m_window.get()); } },
        { "FileNameProfileDialog", [this] { return new FileNameProfileDialog(m_window.get()); } },
        { "ImageProfileDialog", [this] { return new ImageProfileDialog(m_window.get()); } },
        { "WatermarkProfileDialog", [this] { return new WatermarkProfileDialog(m_window.get()); } },
        { "AboutDialog", [this] { return new AboutDialog(m_window.get()); } },
        { "SmartFileDialog", [this] { return new SmartFileDialog(m_window.get(), QStringLiteral("openDialog")); } },
    };
    std::unique_ptr<QWidget> dialog(window.isEmpty() ? nullptr : makers.value(window)());
    QWidget *shown = dialog ? dialog.get() : m_window.get();
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    const QRect frame = shown->frameGeometry();
    QVERIFY2(shown->screen()->availableGeometry().contains(frame),
             qPrintable(QStringLiteral("%1 x %2 at %3, %4").arg(frame.width()).arg(frame.height()).arg(frame.x()).arg(frame.y())));
    // The buttons are in the window, not scrolled out of it.
    if (auto *reachable = button.isEmpty() ? nullptr : shown->findChild<QPushButton *>(button))
        QVERIFY(shown->rect().contains(QRect(reachable->mapTo(shown, QPoint()), reachable->size())));
}

void MainWindowTest::helpOpensLocalPage_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("documentation") << "actionDocumentation" << "";
    QTest::newRow("command line") << "actionCommandLineOptions" << "command";
}

void MainWindowTest::helpOpensLocalPage()
{
    QFETCH(QString, action);
    QFETCH(QString, fragment);
    qputenv("XDG_DATA_DIRS", QFile::encodeName(TestClips::builtFile(QStringLiteral("share"))));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    m_window->findChild<QAction *>(action)->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY(m_openedUrl.isLocalFile());
    QCOMPARE(m_openedUrl.fragment(), fragment);
    QFile page(m_openedUrl.toLocalFile());
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains("id=\"command\""));
}

void MainWindowTest::closingEndsEventLoop()
{
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    giveUp.start(10000);
    QTimer::singleShot(0, m_window.get(), &QWidget::close);
    QCOMPARE(QCoreApplication::exec(), 0);
}

QTEST_MAIN(MainWindowTest)
#include "mainwindowtest.moc"
