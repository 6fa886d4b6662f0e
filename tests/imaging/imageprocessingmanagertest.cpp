#include "imaging/imageprocessingmanager.h"
#include "imaging/kernelresize.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QRgb Red = 0xffff0000;

// Each column a different colour, so a cut shows in the pixels.
QImage stripes(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(x % 256, (x / 256) * 40, y % 256);
    }
    return image;
}

QImage solid(const QSize &size, QRgb color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor::fromRgba(color));
    return image;
}

}

class ImageProcessingManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void resizeToProfile_data();
    void resizeToProfile();
    void unchangedWhenSizesMatch_data();
    void unchangedWhenSizesMatch();
    void badSizes_data();
    void badSizes();
    void sameSizeAsVideo();
    void profileWatermark_data();
    void profileWatermark();
    void givenWatermarkWins();
    void noProfile();
    void nullImage();
    void copyToClipboard();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    WatermarkProfile *m_storedWatermark = nullptr;
};

void ImageProcessingManagerTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));

    // A picture watermark in the store, 40 x 20 red, 15 pixels from the
    // bottom right corner.
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(QColor::fromRgba(Red));
    QVERIFY(picture.save(WatermarkProfile::watermarkImagePath(QStringLiteral("stored.png"))));
    m_storedWatermark = new WatermarkProfile;
    m_storedWatermark->setWatermarkType(WatermarkProfile::PictureWatermark);
    m_storedWatermark->setImageFile(QStringLiteral("stored.png"));
    WatermarkProfile::profileManager()->addProfile(m_storedWatermark);
}

void ImageProcessingManagerTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// The cut rectangle and the final size; the result must equal the kernel
// resize of exactly that piece.
void ImageProcessingManagerTest::resizeToProfile_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("maintainAspectRatio");
    QTest::addColumn<QRect>("piece");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("wide frame cut to 4:3")
        << QSize(1920, 1080) << QSize(640, 480) << false << QRect(240, 0, 1440, 1080) << QSize(640, 480);
    QTest::newRow("wide frame fitted into 4:3")
        << QSize(1920, 1080) << QSize(640, 480) << true << QRect(0, 0, 1920, 1080) << QSize(640, 360);
    QTest::newRow("tall frame cut to 4:3")
        << QSize(1080, 1920) << QSize(640, 480) << false << QRect(0, 555, 1080, 810) << QSize(640, 480);
    QTest::newRow("tall frame fitted into 4:3")
        << QSize(1080, 1920) << QSize(640, 480) << true << QRect(0, 0, 1080, 1920) << QSize(270, 480);
    QTest::newRow("same shape")
        << QSize(1280, 720) << QSize(640, 360) << false << QRect(0, 0, 1280, 720) << QSize(640, 360);
    QTest::newRow("odd target loses a row when recomputed")
        << QSize(1920, 1080) << QSize(1, 99) << false << QRect(955, 0, 10, 1080) << QSize(1, 98);
    QTest::newRow("enlargement keeping the aspect")
        << QSize(640, 480) << QSize(1280, 720) << true << QRect(0, 0, 640, 480) << QSize(960, 720);
    QTest::newRow("extreme shape keeps one row")
        << QSize(1000, 2) << QSize(100, 100) << true << QRect(0, 0, 1000, 2) << QSize(100, 1);
}

void ImageProcessingManagerTest::resizeToProfile()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(bool, maintainAspectRatio);
    QFETCH(QRect, piece);
    QFETCH(QSize, expected);
    const QImage frame = stripes(source);
    const QImage result = ImageProcessingManager::instance()->resizeToProfile(
        frame, target.width(), target.height(), maintainAspectRatio);
    QCOMPARE(result.size(), expected);
    QCOMPARE(result, kernelResize(frame.copy(piece), expected, true));
}

void ImageProcessingManagerTest::unchangedWhenSizesMatch_data()
{
    QTest::addColumn<bool>("maintainAspectRatio");
    QTest::newRow("cut") << false;
    QTest::newRow("fit") << true;
}

void ImageProcessingManagerTest::unchangedWhenSizesMatch()
{
    QFETCH(bool, maintainAspectRatio);
    const QImage frame = stripes(QSize(640, 480));
    const QImage result = ImageProcessingManager::instance()->resizeToProfile(frame, 640, 480, maintainAspectRatio);
    QCOMPARE(result, frame);
    QCOMPARE(result.format(), frame.format());
}

void ImageProcessingManagerTest::badSizes_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    const QImage frame = solid(QSize(320, 240), Red);
    QTest::newRow("null image") << QImage() << 640 << 480;
    QTest::newRow("zero width") << frame << 0 << 480;
    QTest::newRow("zero height") << frame << 640 << 0;
    QTest::newRow("negative") << frame << -640 << -480;
}

// No division by zero, no crash: a null image.
void ImageProcessingManagerTest::badSizes()
{
    QFETCH(QImage, image);
    QFETCH(int, width);
    QFETCH(int, height);
    ImageProcessingManager *manager = ImageProcessingManager::instance();
    QVERIFY(manager->resizeToProfile(image, width, height, false).isNull());
    QVERIFY(manager->resizeToProfile(image, width, height, true).isNull());
}

void ImageProcessingManagerTest::sameSizeAsVideo()
{
    ImageProfile profile;
    profile.setSameSizeAsVideo(true);
    profile.setImageWidth(1);
    profile.setImageHeight(1);
    const QImage frame = stripes(QSize(320, 240));
    const QImage result = ImageProcessingManager::instance()->processImage(frame, &profile);
    QCOMPARE(result, frame);

    // The watermark still applies.
    profile.setWatermarkProfileId(m_storedWatermark->id());
    const QImage stamped = ImageProcessingManager::instance()->processImage(frame, &profile);
    QCOMPARE(stamped.size(), QSize(320, 240));
    QCOMPARE(stamped.pixel(320 - 15 - 20, 240 - 15 - 10), Red);
}

void ImageProcessingManagerTest::profileWatermark_data()
{
    QTest::addColumn<QString>("watermarkId");
    QTest::addColumn<bool>("stamped");
    QTest::newRow("stored profile") << QStringLiteral("stored") << true;
    QTest::newRow("id in lower case") << QStringLiteral("lower") << true;
    QTest::newRow("no watermark") << QString() << false;
    QTest::newRow("deleted profile") << QStringLiteral("00000000-0000-0000-0000-000000000000") << false;
}

void ImageProcessingManagerTest::profileWatermark()
{
    QFETCH(QString, watermarkId);
    QFETCH(bool, stamped);
    if (watermarkId == QLatin1String("stored"))
        watermarkId = m_storedWatermark->id();
    else if (watermarkId == QLatin1String("lower"))
        watermarkId = m_storedWatermark->id().toLower();

    ImageProfile profile;
    profile.setWatermarkProfileId(watermarkId);
    const QImage frame = solid(QSize(1280, 960), 0xff000080);
    const QImage result = ImageProcessingManager::instance()->processImage(frame, &profile);
    QCOMPARE(result.size(), QSize(640, 480));
    const QRgb corner = result.pixel(640 - 15 - 20, 480 - 15 - 10);
    QCOMPARE(corner, stamped ? Red : QRgb(0xff000080));
    QCOMPARE(result.pixel(320, 240), QRgb(0xff000080));
}

// A watermark handed in (the watermark editor's preview) replaces the
// profile's own.
void ImageProcessingManagerTest::givenWatermarkWins()
{
    ImageProfile profile;
    profile.setWatermarkProfileId(m_storedWatermark->id());
    WatermarkProfile preview;
    preview.setWatermarkType(WatermarkProfile::PictureWatermark);
    preview.setImageFile(m_storedWatermark->imageFile());
    preview.setAlignmentIndex(0);
    const QImage result = ImageProcessingManager::instance()->processImage(
        solid(QSize(640, 480), 0xff000080), &profile, &preview);
    QCOMPARE(result.pixel(15 + 20, 15 + 10), Red);
    QCOMPARE(result.pixel(640 - 15 - 20, 480 - 15 - 10), QRgb(0xff000080));
}

void ImageProcessingManagerTest::noProfile()
{
    const QImage frame = stripes(QSize(320, 240));
    QCOMPARE(ImageProcessingManager::instance()->processImage(frame, nullptr), frame);
}

void ImageProcessingManagerTest::nullImage()
{
    ImageProfile profile;
    profile.setWatermarkProfileId(m_storedWatermark->id());
    QVERIFY(ImageProcessingManager::instance()->processImage(QImage(), &profile).isNull());
}

void ImageProcessingManagerTest::copyToClipboard()
{
    const QImage image = solid(QSize(32, 24), 0xff123456);
    ImageProcessingManager::instance()->copyToClipboard(image);
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), image.size());
    QCOMPARE(copied.pixel(5, 5), image.pixel(5, 5));
}

QTEST_MAIN(ImageProcessingManagerTest)
#include "imageprocessingmanagertest.moc"
