#include "dialogs/imageprofiledialog.h"
#include "dialogs/watermarkprofiledialog.h"
#include "imaging/imageprocessingmanager.h"
#include "modaldialogs.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"
#include "widgets/fontlabel.h"
#include "widgets/imageview.h"
#include "widgets/profileselector.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

namespace {
template<typename T>
T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(found, "child", name);
    return found;
}

// Picks path in the file dialog that is about to open; then, when title is
// given, expects a message box with that title and closes it.
void choosePicture(const QString &path, QString *boxTitle = nullptr)
{
    ModalDialogs::answer([path, boxTitle](QWidget *modal) {
        auto *fileDialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(fileDialog);
        if (boxTitle) {
            ModalDialogs::answer([boxTitle](QWidget *box) {
                *boxTitle = box->windowTitle();
                box->close();
            }, fileDialog);
        }
        if (path.isEmpty()) {
            fileDialog->reject();
            return;
        }
        // Typed rather than selectFile(): a selection in the list view can be
        // undone by the folder model finishing its load, leaving the dialog open.
        const QFileInfo file(path);
        fileDialog->setDirectory(file.absolutePath());
        fileDialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file.fileName());
        static_cast<QDialog *>(fileDialog)->accept();
    });
}

// Which third of the picture, across and down (0 to 2 each, as 3 * row + column),
// holds the centre of the pixels that differ from the plain background.
int markedCell(const QImage &preview, QRgb background)
{
    QRect marked;
    for (int y = 0; y < preview.height(); ++y)
        for (int x = 0; x < preview.width(); ++x)
            if (preview.pixel(x, y) != background)
                marked |= QRect(x, y, 1, 1);
    if (marked.isEmpty())
        return -1;
    return 3 * (marked.center().y() * 3 / preview.height()) + marked.center().x() * 3 / preview.width();
}
}

class WatermarkProfileDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void noProfileOnEmptyStoreSavesNew();
    void typeShowsItsGroups_data();
    void typeShowsItsGroups();
    void pictureChoice_data();
    void pictureChoice();
    void previewFollowsAlignment_data();
    void previewFollowsAlignment();
    void imageDialogSelectsSavedWatermark();
    void timestampInTextAndPreview();

private:
    QTemporaryDir m_home;
    QTemporaryDir m_pictures;
};

void WatermarkProfileDialogTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    QStandardPaths::setTestModeEnabled(true);
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QImage logo(40, 20, QImage::Format_ARGB32);
    logo.fill(Qt::blue);
    QVERIFY(logo.save(m_pictures.filePath(QStringLiteral("logo.final.png"))));
    QFile text(m_pictures.filePath(QStringLiteral("notes.png")));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
}

void WatermarkProfileDialogTest::noProfileOnEmptyStoreSavesNew()
{
    QVERIFY(WatermarkProfile::profileManager()->profiles().isEmpty());
    WatermarkProfileDialog dialog;
    dialog.setProfile(nullptr);
    QCOMPARE(child<QSpinBox>(&dialog, "xMarginSpinBox")->value(), 15);
    QCOMPARE(child<QComboBox>(&dialog, "alignmentComboBox")->currentText(), QStringLiteral("Bottom Right"));
    QVERIFY(!child<QPushButton>(&dialog, "saveButton")->isEnabled());

    child<QComboBox>(&dialog, "profileComboBox")->setEditText(QStringLiteral("First Mark"));
    child<QPushButton>(&dialog, "saveButton")->click();
    QCOMPARE(WatermarkProfile::profileManager()->profiles().size(), 1);
    QCOMPARE(dialog.profile(), WatermarkProfile::profileManager()->profiles().first());
    QCOMPARE(dialog.profile()->name(), QStringLiteral("First Mark"));
}

void WatermarkProfileDialogTest::typeShowsItsGroups_data()
{
    QTest::addColumn<bool>("picture");
    QTest::newRow("text") << false;
    QTest::newRow("picture without file: browse, cancelled") << true;
}

void WatermarkProfileDialogTest::typeShowsItsGroups()
{
    QFETCH(bool, picture);
    WatermarkProfileDialog dialog;
    dialog.show();
    if (picture)
        choosePicture(QString());
    child<QRadioButton>(&dialog, picture ? "watermarkTypeImageRadioButton" : "watermarkTypeTextRadioButton")->click();
    QCOMPARE(child<QGroupBox>(&dialog, "textFormatGroupBox")->isHidden(), picture);
    QCOMPARE(child<QGroupBox>(&dialog, "textShadowGroupBox")->isHidden(), picture);
    QCOMPARE(child<QRadioButton>(&dialog, "watermarkTypeImageRadioButton")->isChecked(), picture);
    QCOMPARE(child<QLineEdit>(&dialog, "imageFileNameLineEdit")->text(), QString());
    QCOMPARE(child<QSpinBox>(&dialog, "xOffsetSpinBox")->maximum(), 99);
    QCOMPARE(child<QSpinBox>(&dialog, "yMarginSpinBox")->maximum(), 10000);
}

void WatermarkProfileDialogTest::pictureChoice_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("folderBlocked");
    QTest::addColumn<QString>("warning");
    QTest::newRow("picture with dots in its name") << "logo.final.png" << false << QString();
    QTest::newRow("not a picture") << "notes.png" << false << "Invalid Image";
    QTest::newRow("copy fails") << "logo.final.png" << true << "Image Not Copied";
}

void WatermarkProfileDialogTest::pictureChoice()
{
    QFETCH(QString, file);
    QFETCH(bool, folderBlocked);
    QFETCH(QString, warning);
    const QString folder = QFileInfo(WatermarkProfile::watermarkImagePath(QStringLiteral("x"))).absolutePath();
    if (folderBlocked) {
        // A file standing where the folder should be: nothing can be copied into it.
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not make the watermark folder")));
    }
    WatermarkProfileDialog dialog;
    dialog.show();
    auto *imageFile = child<QLineEdit>(&dialog, "imageFileNameLineEdit");
    imageFile->setText(QStringLiteral("OLD.png"));
    child<QRadioButton>(&dialog, "watermarkTypeImageRadioButton")->click();

    QString shownWarning;
    choosePicture(m_pictures.filePath(file), warning.isEmpty() ? nullptr : &shownWarning);
    child<QPushButton>(&dialog, "imageBrowseButton")->click();
    QTRY_COMPARE(shownWarning, warning);
    if (folderBlocked)
        QVERIFY(QFile::remove(folder));
    if (!warning.isEmpty()) {
        QCOMPARE(imageFile->text(), QStringLiteral("OLD.png"));
        return;
    }
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.final\\.png$"))
                .match(imageFile->text()).hasMatch());
    QVERIFY(QFile::exists(WatermarkProfile::watermarkImagePath(imageFile->text())));
    QCOMPARE(child<ImageView>(&dialog, "profileImageView")->image().size(), QSize(40, 20));
}

void WatermarkProfileDialogTest::previewFollowsAlignment_data()
{
    QTest::addColumn<int>("alignment");
    QTest::newRow("top left") << 0;
    QTest::newRow("center") << 4;
    QTest::newRow("bottom right") << 8;
}

void WatermarkProfileDialogTest::previewFollowsAlignment()
{
    QFETCH(int, alignment);
    QImage background(300, 210, QImage::Format_ARGB32);
    background.fill(Qt::darkGray);
    ImageProfile sameSize;
    sameSize.setSameSizeAsVideo(true);
    WatermarkProfileDialog dialog;
    dialog.setPreview(background, &sameSize);
    child<QRadioButton>(&dialog, "watermarkTypeTextRadioButton")->click();
    child<FontLabel>(&dialog, "textFontLabel")->setSelectedFont(QFont(QStringLiteral("DejaVu Sans"), 20));
    child<QTextEdit>(&dialog, "textTextEdit")->setPlainText(QStringLiteral("MARK"));
    child<QComboBox>(&dialog, "alignmentComboBox")->setCurrentIndex(alignment);

    auto *preview = child<ImageView>(&dialog, "watermarkPositioner");
    QTRY_COMPARE(markedCell(preview->image(), background.pixel(0, 0)), alignment);
}

void WatermarkProfileDialogTest::imageDialogSelectsSavedWatermark()
{
    ImageProfileDialog dialog;
    auto *list = child<QComboBox>(&dialog, "watermarkProfileComboBox");
    list->setCurrentIndex(0);
    ModalDialogs::answer([](QWidget *modal) {
        QVERIFY(qobject_cast<WatermarkProfileDialog *>(modal));
        child<QComboBox>(modal, "profileComboBox")->setEditText(QStringLiteral("Made From Image Settings"));
        child<QPushButton>(modal, "saveButton")->click();
    });
    child<QPushButton>(&dialog, "watermarkProfileEditButton")->click();
    QCOMPARE(list->currentText(), QStringLiteral("Made From Image Settings"));
    QCOMPARE(list->currentData().toString(), WatermarkProfile::profileManager()->profiles().last()->id());
}

// "Add Timestamp" puts the time's placeholder at the cursor, and the preview
// shows it filled in for the frame on show.
void WatermarkProfileDialogTest::timestampInTextAndPreview()
{
    QImage background(300, 210, QImage::Format_ARGB32);
    background.fill(Qt::darkGray);
    ImageProfile sameSize;
    sameSize.setSameSizeAsVideo(true);
    FrameDetails frame;
    frame.videoPath = QStringLiteral("/videos/beach.mp4");
    frame.timeMs = 3723004;
    WatermarkProfileDialog dialog;
    dialog.setPreview(background, &sameSize);
    dialog.setPreviewDetails(frame);
    child<QRadioButton>(&dialog, "watermarkTypeTextRadioButton")->click();
    auto *text = child<QTextEdit>(&dialog, "textTextEdit");
    text->setPlainText(QStringLiteral("{video} "));
    text->moveCursor(QTextCursor::End);
    auto *button = child<QPushButton>(&dialog, "addTimestampButton");
    QVERIFY(button->isVisibleTo(&dialog));
    button->click();
    QCOMPARE(text->toPlainText(), QStringLiteral("{video} {time}"));

    WatermarkProfile filled;
    child<ProfileSelector>(&dialog, "profileSelector")->writeFields(&filled);
    filled.setText(QStringLiteral("beach.mp4 01:02:03.004"));
    const QImage expected = ImageProcessingManager::instance()->processImage(background, &sameSize, &filled);
    QTRY_VERIFY(child<ImageView>(&dialog, "watermarkPositioner")->image() == expected);
}

QTEST_MAIN(WatermarkProfileDialogTest)
#include "watermarkprofiledialogtest.moc"
