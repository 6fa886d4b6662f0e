#include "mainwindow.h"
#include "player/framecapture.h"
#include "player/player.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "widgets/imageview.h"

#include "frameid.h"
#include "modaldialogs.h"
#include "testclips.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

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
    void slider();
    void skipPausesAndSpaceResumes();
    void snapshotAndCopies();
    void nextNameSkipsExistingFiles();
    void automaticSaveFolder_data();
    void automaticSaveFolder();
    void saveDialog_data();
    void saveDialog();
    void batchModeLeavesNoVideo();
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
    } else {
        m_window->openVideo(TestClips::path(clip));
    }
    QVERIFY(started.wait(10000));
    QCOMPARE(m_window->windowTitle(), title);
    QVERIFY(child<QAction>("actionTake_Snapshot")->isEnabled());
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

void MainWindowTest::slider()
{
    auto *slider = child<QSlider>("videoSlider");
    open(TestClips::path(QStringLiteral("h264-60s.mp4")));
    QTRY_COMPARE(slider->maximum(), 60000 / 30);
    QSignalSpy landed(m_player, &Player::seekFinished);
    // Dragged across key frames (every 10 s), which it follows, and let go
    // of between two: the exact frame there.
    slider->setSliderDown(true);
    for (int step : { 400, 700, 1100 })
        slider->setSliderPosition(step);
    slider->setSliderDown(false);
    QTRY_VERIFY_WITH_TIMEOUT(!landed.isEmpty() && landed.constLast().at(0).toLongLong() == 33000, 10000);
    QCOMPARE(m_player->displayPosition(), qint64(33000));
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
}

void MainWindowTest::saveDialog()
{
    QFETCH(QString, name);
    QFETCH(QString, boxSays);
    open(TestClips::path(QStringLiteral("h264-10s.mp4")));
    takeSnapshot();
    child<QGroupBox>("automaticFileNameGroupBox")->setChecked(false);
    QVERIFY(!child<QLabel>("nextFileNameLabel")->isVisible());

    const QString path = m_dir->filePath(name);
    QString offered;
    ModalDialogs::answer([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        offered = dialog->directory().absolutePath();
        if (!boxSays.isEmpty())
            answerMessageBox(QMessageBox::Ok);
        dialog->setDirectory(m_dir->path());
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
        static_cast<QDialog *>(dialog)->accept();
    });
    child<QPushButton>("saveButton")->click();
    QCOMPARE(offered, QFileInfo(TestClips::path(QStringLiteral("h264-10s.mp4"))).absolutePath());
    QVERIFY2(boxSays.isEmpty() ? m_boxSaid.isEmpty() : m_boxSaid.startsWith(boxSays), qPrintable(m_boxSaid));
    if (boxSays.isEmpty())
        QCOMPARE(QImage(path).size(), QSize(640, 480));
    else
        QVERIFY(m_boxSaid.contains(QDir::toNativeSeparators(path)));
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
