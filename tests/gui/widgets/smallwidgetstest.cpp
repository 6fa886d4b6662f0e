#include "widgets/elidedlabel.h"
#include "widgets/imageview.h"
#include "capture/keyframepreviewer.h"
#include "widgets/sliderpreview.h"
#include "widgets/smartfiledialog.h"
#include "widgets/volumepopup.h"

#include <QGroupBox>
#include <QHelpEvent>
#include "frameid.h"
#include "testclips.h"

#include <QLabel>
#include <QSettings>
#include <QToolTip>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QtTest>

class SmallWidgetsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void fileDialogRemembersAcceptedFolder_data();
    void fileDialogRemembersAcceptedFolder();
    void volumeFromSettings_data();
    void volumeFromSettings();
    void imageViewFitsAndCentres_data();
    void imageViewFitsAndCentres();
    void elidedLabel_data();
    void elidedLabel();
    void styleSheetParses();
    void resourcesLoad_data();
    void resourcesLoad();
    void sliderPreviewShowsNearestKeyFrame_data();
    void sliderPreviewShowsNearestKeyFrame();
};

void SmallWidgetsTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    // The resources live in the static library tindra_gui: a program linking
    // it gets them only by asking, as every test that needs them does.
    Q_INIT_RESOURCE(tindra);
}

void SmallWidgetsTest::init()
{
    QSettings().clear();
}

void SmallWidgetsTest::fileDialogRemembersAcceptedFolder_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("remembered");
    QTest::newRow("accepted") << int(QDialog::Accepted) << true;
    QTest::newRow("cancelled") << int(QDialog::Rejected) << false;
}

void SmallWidgetsTest::fileDialogRemembersAcceptedFolder()
{
    QFETCH(int, result);
    QFETCH(bool, remembered);
    QTemporaryDir first;
    QTemporaryDir second;
    QWidget owner;
    QTest::ignoreMessage(QtDebugMsg, "Restore state failed");
    for (const auto &[folder, finish] : {std::pair(first.path(), int(QDialog::Accepted)), std::pair(second.path(), result)}) {
        SmartFileDialog dialog(&owner, QStringLiteral("openDialog"));
        dialog.setDirectory(folder);
        static_cast<QDialog &>(dialog).done(finish);
    }
    // Another window's dialog of the same name opens where the last accepted one was.
    QWidget otherOwner;
    SmartFileDialog again(&otherOwner, QStringLiteral("openDialog"));
    QCOMPARE(again.directory().absolutePath(), QDir(remembered ? second.path() : first.path()).absolutePath());
}

void SmallWidgetsTest::volumeFromSettings_data()
{
    QTest::addColumn<QVariant>("volume");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("afterMuteClick");
    QTest::newRow("nothing stored") << QVariant() << false << 50 << 0;
    QTest::newRow("muted at 70") << QVariant(70) << true << 0 << 70;
    QTest::newRow("not a number") << QVariant(QStringLiteral("loud")) << false << 50 << 0;
    QTest::newRow("above range") << QVariant(400) << false << 100 << 0;
}

void SmallWidgetsTest::volumeFromSettings()
{
    QFETCH(QVariant, volume);
    QFETCH(bool, muted);
    QFETCH(int, current);
    QFETCH(int, afterMuteClick);
    QSettings settings;
    if (volume.isValid())
        settings.setValue(QStringLiteral("volume"), volume);
    settings.setValue(QStringLiteral("muted"), muted);

    VolumePopup popup;
    QCOMPARE(popup.currentVolume(), current);
    QSignalSpy changes(&popup, &VolumePopup::volumeChanged);
    popup.findChild<QCheckBox *>(QStringLiteral("muteCheckBox"))->click();
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.first().first().toInt(), afterMuteClick);
    QCOMPARE(settings.value(QStringLiteral("muted")).toBool(), !muted);

    popup.findChild<QSlider *>(QStringLiteral("volumeSlider"))->setValue(30);
    QCOMPARE(settings.value(QStringLiteral("volume")).toInt(), 30);
}

void SmallWidgetsTest::imageViewFitsAndCentres_data()
{
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QRect>("painted");
    QTest::newRow("square in wide") << QSize(200, 100) << QSize(400, 400) << QRect(50, 0, 100, 100);
    QTest::newRow("enlarged") << QSize(300, 300) << QSize(20, 10) << QRect(0, 75, 300, 150);
    QTest::newRow("odd remainder truncates") << QSize(101, 50) << QSize(10, 10) << QRect(25, 0, 50, 50);
}

void SmallWidgetsTest::imageViewFitsAndCentres()
{
    QFETCH(QSize, widget);
    QFETCH(QSize, image);
    QFETCH(QRect, painted);
    QImage red(image, QImage::Format_RGB32);
    red.fill(Qt::red);
    ImageView view;
    view.resize(widget);
    view.setStyleSheet(QStringLiteral("background: white"));
    view.setImage(red);
    QCOMPARE(view.imageRect(), painted);

    const QImage shown = view.grab().toImage();
    QCOMPARE(QColor(shown.pixel(painted.center())), QColor(Qt::red));
    QCOMPARE(QColor(shown.pixel(0, 0)), QColor(Qt::white));
}

void SmallWidgetsTest::elidedLabel_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("cut");
    QTest::newRow("room for all") << 2000 << false;
    QTest::newRow("too narrow") << 120 << true;
}

// A long name shows its ends around an ellipsis and whole as a tool tip, and
// never widens the window.
void SmallWidgetsTest::elidedLabel()
{
    QFETCH(int, width);
    QFETCH(bool, cut);
    const QString name = QStringLiteral("a-rather-long-video-name-from-a-camera-00001.jpeg");
    ElidedLabel label;
    label.setText(name);
    label.resize(width, label.sizeHint().height());
    QVERIFY(label.minimumSizeHint().width() < 50);
    QCOMPARE(label.text(), name);
    const QString shown = label.shownText();
    QCOMPARE(shown != name, cut);
    QVERIFY(label.fontMetrics().horizontalAdvance(shown) <= width);
    if (cut) {
        QVERIFY2(shown.startsWith(QLatin1String("a-")) && shown.contains(QChar(0x2026)) && shown.endsWith(QLatin1String(".jpeg")), qPrintable(shown));
    }
    label.show();
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&label, &help);
    QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), cut ? name : QString());
    QToolTip::hideText();
}

// The style sheet's colours all parse: each bad one warns at every start and
// takes its rule's look away.
void SmallWidgetsTest::styleSheetParses()
{
    QFile style(QStringLiteral(":/Styles.qss"));
    QVERIFY(style.open(QIODevice::ReadOnly | QIODevice::Text));
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg)
            warnings.append(text);
    });
    QGroupBox box(QStringLiteral("Title"));
    box.setStyleSheet(QString::fromUtf8(style.readAll()));
    box.resize(200, 100);
    box.grab();
    qInstallMessageHandler(previous);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void SmallWidgetsTest::resourcesLoad_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("alpha");
    for (const char *icon : {"Play", "Pause", "Volume", "MediaSkipBackward", "MediaSkipForward", "MediaStepBackward",
                             "MediaStepForward"})
        QTest::newRow(icon) << QStringLiteral(":/Images/%1.svg").arg(QLatin1String(icon)) << QSize(26, 26) << true;
    QTest::newRow("logo") << ":/Images/tindralogo.png" << QSize(252, 108) << true;
    QTest::newRow("watermark backdrop") << ":/Images/watermarkBackground.jpg" << QSize(608, 420) << false;
}

void SmallWidgetsTest::resourcesLoad()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(bool, alpha);
    const QImage image(path);
    QCOMPARE(image.size(), size);
    QCOMPARE(image.hasAlphaChannel(), alpha);
}

void SmallWidgetsTest::sliderPreviewShowsNearestKeyFrame_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("frame");
    // Steps of 30 ms over a 12 s video with key frames at 0, 4 and 8 s.
    QTest::newRow("near the start: the first key frame") << 50 << 0;
    QTest::newRow("just before 4 s") << 120 << 100;
    QTest::newRow("nearer 8 s than 4 s") << 210 << 200;
}

// Hovering over the slider shows, above the pointer, the key frame nearest to
// the time there and the time; moving away hides it.
void SmallWidgetsTest::sliderPreviewShowsNearestKeyFrame()
{
    QFETCH(int, value);
    QFETCH(int, frame);
    QWidget window;
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setRange(0, 400);
    auto *layout = new QVBoxLayout(&window);
    layout->addStretch();
    layout->addWidget(slider);
    window.resize(500, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *preview = new SliderPreview(slider, &window);
    preview->setMillisecondsPerStep(30);
    preview->setSource(TestClips::path(QStringLiteral("h264-bframes.mp4")));

    // Passing over another place first: only the place the pointer stops at is shown.
    QSignalSpy shown(preview->findChild<KeyFramePreviewer *>(), &KeyFramePreviewer::previewReady);
    const int handle = slider->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, slider);
    for (int step : { 400 - value, value }) {
        const QPoint at(QStyle::sliderPositionFromValue(0, 400, step, slider->width() - handle) + handle / 2,
                        slider->height() / 2);
        QMouseEvent move(QEvent::MouseMove, at, slider->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(slider, &move);
    }
    QCOMPARE(preview->position(), qint64(value) * 30);
    QTRY_VERIFY_WITH_TIMEOUT(preview->isVisible(), 10000);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(shown.at(0).at(0).toLongLong(), qint64(value) * 30);
    const QPixmap picture = preview->findChild<QLabel *>(QStringLiteral("sliderPreviewPicture"))->pixmap(Qt::ReturnByValue);
    QCOMPARE(picture.height(), 90);
    QCOMPARE(FrameId::read(picture.toImage()), frame);
    QCOMPARE(preview->findChild<QLabel *>(QStringLiteral("sliderPreviewTime"))->text(),
             QTime(0, 0).addMSecs(value * 30).toString(QStringLiteral("hh:mm:ss.zzz")));
    QVERIFY(preview->geometry().bottom() < slider->mapTo(&window, QPoint(0, 0)).y());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(slider, &leave);
    QVERIFY(!preview->isVisible());
}

QTEST_MAIN(SmallWidgetsTest)
#include "smallwidgetstest.moc"
