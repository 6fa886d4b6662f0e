#include "imaging/watermarkmanager.h"
#include "profiles/watermarkprofile.h"

#include <QFile>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QRgb Black = 0xff000000;
const QRgb Red = 0xffff0000;

QImage blank(const QSize &size, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    image.fill(QColor::fromRgba(Black));
    return image;
}

// The smallest rectangle holding every pixel that differs from the
// background colour.
QRect inkRect(const QImage &image, QRgb background = Black)
{
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

// Writes a solid picture into the watermark folder and returns its file name.
QString writePicture(const QString &name, const QSize &size, QRgb color)
{
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(QColor::fromRgba(color));
    const bool saved = picture.save(WatermarkProfile::watermarkImagePath(name));
    return saved ? name : QString();
}

}

class WatermarkManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void picturePosition_data();
    void picturePosition();
    void pictureLargerThanImage();
    void pictureOpacity_data();
    void pictureOpacity();
    void missingPicture();
    void keepsFormat_data();
    void keepsFormat();
    void placeholders_data();
    void placeholders();
    void textBox_data();
    void textBox();
    void textLandsInItsBox_data();
    void textLandsInItsBox();
    void shadowOffset();
    void textFollowsImageResolution();
    void multiLineText();
    void invisibleText_data();
    void invisibleText();
    void noProfile();

private:
    QString m_picture;
};

void WatermarkManagerTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tindra"));
    QCoreApplication::setApplicationName(QStringLiteral("Tindra"));
    m_picture = writePicture(QStringLiteral("red-100x50.png"), QSize(100, 50), Red);
    QVERIFY(!m_picture.isEmpty());
}

void WatermarkManagerTest::picturePosition_data()
{
    QTest::addColumn<int>("alignmentIndex");
    QTest::addColumn<int>("xMargin");
    QTest::addColumn<int>("yMargin");
    QTest::addColumn<QPoint>("expected");
    // A 100 x 50 picture on a 641 x 480 image.
    QTest::newRow("top left") << 0 << 10 << 20 << QPoint(10, 20);
    QTest::newRow("top") << 1 << 10 << 20 << QPoint(270, 20);
    QTest::newRow("top right") << 2 << 10 << 20 << QPoint(531, 20);
    QTest::newRow("left") << 3 << 10 << 20 << QPoint(10, 215);
    QTest::newRow("centre ignores the margins") << 4 << 10 << 20 << QPoint(270, 215);
    QTest::newRow("centre without margins") << 4 << 0 << 0 << QPoint(270, 215);
    QTest::newRow("right") << 5 << 10 << 20 << QPoint(531, 215);
    QTest::newRow("bottom left") << 6 << 10 << 20 << QPoint(10, 410);
    QTest::newRow("bottom") << 7 << 10 << 20 << QPoint(270, 410);
    QTest::newRow("bottom right") << 8 << 10 << 20 << QPoint(531, 410);
    QTest::newRow("index -1 is bottom right") << -1 << 10 << 20 << QPoint(531, 410);
    QTest::newRow("index 12 is bottom right") << 12 << 10 << 20 << QPoint(531, 410);
    QTest::newRow("margins beyond the edge") << 0 << -30 << -10 << QPoint(-30, -10);
}

void WatermarkManagerTest::picturePosition()
{
    QFETCH(int, alignmentIndex);
    QFETCH(int, xMargin);
    QFETCH(int, yMargin);
    QFETCH(QPoint, expected);
    WatermarkProfile profile;
    profile.setWatermarkType(WatermarkProfile::PictureWatermark);
    profile.setImageFile(m_picture);
    profile.setAlignmentIndex(alignmentIndex);
    profile.setXMargin(xMargin);
    profile.setYMargin(yMargin);

    const QSize imageSize(641, 480);
    QCOMPARE(WatermarkManager::imagePosition(imageSize, QSize(100, 50), &profile), expected);

    const QImage image = blank(imageSize);
    const QImage result = WatermarkManager::instance()->applyWatermark(image, &profile);
    QCOMPARE(result.size(), imageSize);
    QCOMPARE(inkRect(result), QRect(expected, QSize(100, 50)) & image.rect());
    QCOMPARE(result.pixel(expected.x() + 50, expected.y() + 25), Red);
    QCOMPARE(image.pixel(expected.x() + 50, expected.y() + 25), Black);
}

// The picture keeps its size; the painter clips what lies outside.
void WatermarkManagerTest::pictureLargerThanImage()
{
    WatermarkProfile profile;
    profile.setWatermarkType(WatermarkProfile::PictureWatermark);
    profile.setImageFile(m_picture);
    profile.setAlignmentIndex(4);
    const QImage result = WatermarkManager::drawImageWatermark(blank(QSize(60, 30)), &profile);
    QCOMPARE(WatermarkManager::imagePosition(QSize(60, 30), QSize(100, 50), &profile), QPoint(-20, -10));
    QCOMPARE(inkRect(result), QRect(0, 0, 60, 30));
}

void WatermarkManagerTest::pictureOpacity_data()
{
    QTest::addColumn<int>("alpha");
    QTest::addColumn<int>("expectedRed");
    QTest::newRow("opaque") << 255 << 255;
    QTest::newRow("half") << 128 << 128;
    QTest::newRow("invisible") << 0 << 0;
}

void WatermarkManagerTest::pictureOpacity()
{
    QFETCH(int, alpha);
    QFETCH(int, expectedRed);
    WatermarkProfile profile;
    profile.setWatermarkType(7); // any type but 0 is a picture
    profile.setImageFile(m_picture);
    profile.setAlpha(alpha);
    const QImage result = WatermarkManager::instance()->applyWatermark(blank(QSize(300, 200)), &profile);
    const QRgb pixel = result.pixel(300 - 15 - 50, 200 - 15 - 25);
    QVERIFY2(qAbs(qRed(pixel) - expectedRed) <= 2, qPrintable(QString::number(pixel, 16)));
    QCOMPARE(qGreen(pixel), 0);
    if (alpha == 0)
        QCOMPARE(result, blank(QSize(300, 200)));
}

void WatermarkManagerTest::missingPicture()
{
    WatermarkProfile profile;
    profile.setWatermarkType(WatermarkProfile::PictureWatermark);
    profile.setImageFile(QStringLiteral("no-such-picture.png"));
    const QImage image = blank(QSize(120, 80), QImage::Format_ARGB32);
    const QImage result = WatermarkManager::instance()->applyWatermark(image, &profile);
    QCOMPARE(result, image);
    QCOMPARE(result.format(), QImage::Format_ARGB32);

    profile.setImageFile(QString());
    QCOMPARE(WatermarkManager::instance()->applyWatermark(image, &profile), image);
}

// The result has the source's format, except that palette images, which a
// painter cannot draw on, come back in 32 bits.
void WatermarkManagerTest::keepsFormat_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QImage::Format>("expected");
    QTest::newRow("RGB32") << QImage::Format_RGB32 << QImage::Format_RGB32;
    QTest::newRow("ARGB32") << QImage::Format_ARGB32 << QImage::Format_ARGB32;
    QTest::newRow("RGB888") << QImage::Format_RGB888 << QImage::Format_RGB888;
    QTest::newRow("palette") << QImage::Format_Indexed8 << QImage::Format_RGB32;
}

void WatermarkManagerTest::keepsFormat()
{
    QFETCH(QImage::Format, format);
    QFETCH(QImage::Format, expected);
    WatermarkProfile profile;
    profile.setWatermarkType(WatermarkProfile::PictureWatermark);
    profile.setImageFile(m_picture);
    profile.setAlignmentIndex(0);
    const QImage image = blank(QSize(200, 100)).convertToFormat(format);
    const QImage result = WatermarkManager::instance()->applyWatermark(image, &profile);
    QCOMPARE(result.format(), expected);
    QCOMPARE(result.pixel(20, 30), Red);
    QCOMPARE(result.pixel(150, 80), Black);
}

void WatermarkManagerTest::placeholders_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("timeMs");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QDateTime>("recorded");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("expected");

    const QDateTime recorded(QDate(2024, 5, 17), QTime(23, 59, 30), Qt::UTC);
    QTest::newRow("time") << "{time}" << qint64(83456) << "" << QDateTime() << -1 << "00:01:23.456";
    QTest::newRow("time past ten hours") << "{time}" << qint64(36000000 + 5) << "" << QDateTime() << -1
                                         << "10:00:00.005";
    QTest::newRow("all four, twice") << "{video} {date} #{counter} {time} / {counter}" << qint64(0)
                                     << "/videos/holiday clip.mp4" << recorded << 12
                                     << "holiday clip.mp4 2024-05-17 #12 00:00:00.000 / 12";
    QTest::newRow("not known: empty") << "[{time}|{video}|{date}|{counter}]" << qint64(-1) << "" << QDateTime() << -1
                                      << "[|||]";
    QTest::newRow("no placeholders") << "© Tindra {not one}" << qint64(1000) << "a.mp4" << recorded << 1
                                     << "© Tindra {not one}";
    QTest::newRow("case matters") << "{TIME}" << qint64(1000) << "" << QDateTime() << -1 << "{TIME}";
}

// Each image's text has its placeholders filled in, and that is the text drawn.
void WatermarkManagerTest::placeholders()
{
    QFETCH(QString, text);
    QFETCH(qint64, timeMs);
    QFETCH(QString, video);
    QFETCH(QDateTime, recorded);
    QFETCH(int, counter);
    QFETCH(QString, expected);

    FrameDetails details;
    details.timeMs = timeMs;
    details.videoPath = video;
    details.recorded = recorded;
    details.counter = counter;
    WatermarkProfile profile;
    profile.setText(text);
    QCOMPARE(profile.textFor(details), expected);

    WatermarkProfile filled;
    filled.setText(expected);
    const QImage image = blank(QSize(400, 60));
    QCOMPARE(WatermarkManager::instance()->applyWatermark(image, &profile, details),
             WatermarkManager::instance()->applyWatermark(image, &filled));
}

void WatermarkManagerTest::textBox_data()
{
    QTest::addColumn<int>("alignmentIndex");
    QTest::newRow("top left") << 0;
    QTest::newRow("top") << 1;
    QTest::newRow("top right") << 2;
    QTest::newRow("left") << 3;
    QTest::newRow("centre") << 4;
    QTest::newRow("right") << 5;
    QTest::newRow("bottom left") << 6;
    QTest::newRow("bottom") << 7;
    QTest::newRow("bottom right") << 8;
    QTest::newRow("out of range") << 42;
}

// The text box sits inside the image less the margins, against the edges
// its alignment names; with xMargin 10 a right-aligned box ends at
// W - 1 - 10.
void WatermarkManagerTest::textBox()
{
    QFETCH(int, alignmentIndex);
    WatermarkProfile profile;
    profile.setText(QStringLiteral("Tindra 2024"));
    profile.setAlignmentIndex(alignmentIndex);
    profile.setXMargin(10);
    profile.setYMargin(20);
    const QImage image = blank(QSize(400, 300));
    const QRect area(10, 20, 380, 260);
    const QRect box = WatermarkManager::textRect(image, &profile);
    QVERIFY(box.width() > 40 && box.height() > 8);
    QVERIFY2(area.contains(box), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y())
                                                .arg(box.width()).arg(box.height())));
    const Qt::Alignment alignment = profile.alignment();
    if (alignment & Qt::AlignLeft)
        QCOMPARE(box.left(), 10);
    else if (alignment & Qt::AlignRight)
        QCOMPARE(box.right(), 400 - 1 - 10);
    else
        QVERIFY(qAbs(box.center().x() - area.center().x()) <= 1);
    if (alignment & Qt::AlignTop)
        QCOMPARE(box.top(), 20);
    else if (alignment & Qt::AlignBottom)
        QCOMPARE(box.bottom(), 300 - 1 - 20);
    else
        QVERIFY(qAbs(box.center().y() - area.center().y()) <= 1);
}

// White text without a visible shadow: what is painted lies in the text box.
void WatermarkManagerTest::textLandsInItsBox_data()
{
    textBox_data();
}

void WatermarkManagerTest::textLandsInItsBox()
{
    QFETCH(int, alignmentIndex);
    WatermarkProfile profile;
    profile.setText(QStringLiteral("Tindra"));
    profile.setTextFont(QFont(QStringLiteral("Times"), 24));
    profile.setTextColor(Qt::white);
    profile.setTextShadowColor(Qt::transparent);
    profile.setAlignmentIndex(alignmentIndex);
    const QImage image = blank(QSize(400, 300));
    const QImage result = WatermarkManager::instance()->applyWatermark(image, &profile);
    const QRect box = WatermarkManager::textRect(image, &profile);
    const QRect ink = inkRect(result);
    QVERIFY(!ink.isEmpty());
    QVERIFY2(box.adjusted(-1, -1, 1, 1).contains(ink),
             qPrintable(QStringLiteral("ink %1,%2 %3x%4 outside box %5,%6 %7x%8")
                            .arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())
                            .arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
    // The glyphs fill most of the box's width.
    QVERIFY(ink.width() > box.width() * 3 / 4);
}

// The shadow is the text's pattern moved by the offset.
void WatermarkManagerTest::shadowOffset()
{
    WatermarkProfile textOnly;
    textOnly.setText(QStringLiteral("Shadow"));
    textOnly.setTextColor(Qt::white);
    textOnly.setTextShadowColor(Qt::transparent);
    textOnly.setAlignmentIndex(4);

    WatermarkProfile shadowOnly;
    shadowOnly.setText(textOnly.text());
    shadowOnly.setTextColor(Qt::transparent);
    shadowOnly.setTextShadowColor(Qt::white);
    shadowOnly.setTextShadowXOffset(2);
    shadowOnly.setTextShadowYOffset(2);
    shadowOnly.setAlignmentIndex(4);

    const QImage image = blank(QSize(300, 100));
    const QImage text = WatermarkManager::drawTextWatermark(image, &textOnly);
    const QImage shadow = WatermarkManager::drawTextWatermark(image, &shadowOnly);
    const QRect ink = inkRect(text);
    QVERIFY(!ink.isEmpty());
    QCOMPARE(inkRect(shadow), ink.translated(2, 2));
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x)
            QCOMPARE(shadow.pixel(x + 2, y + 2), text.pixel(x, y));
    }

    // Both drawn: the union of the two patterns, the text on top.
    WatermarkProfile both;
    both.setText(textOnly.text());
    both.setTextColor(Qt::white);
    both.setTextShadowColor(Qt::red);
    both.setTextShadowXOffset(2);
    both.setTextShadowYOffset(2);
    both.setAlignmentIndex(4);
    const QImage stamped = WatermarkManager::drawTextWatermark(image, &both);
    QCOMPARE(inkRect(stamped), ink.united(ink.translated(2, 2)));
}

// Point sizes are converted at the image's own resolution.
void WatermarkManagerTest::textFollowsImageResolution()
{
    WatermarkProfile profile;
    profile.setText(QStringLiteral("Resolution"));
    QImage normal = blank(QSize(600, 300));
    QImage dense = normal.copy();
    dense.setDotsPerMeterX(normal.dotsPerMeterX() * 2);
    dense.setDotsPerMeterY(normal.dotsPerMeterY() * 2);
    const QRect small = WatermarkManager::textRect(normal, &profile);
    const QRect large = WatermarkManager::textRect(dense, &profile);
    QVERIFY2(large.height() >= 2 * small.height() - 3 && large.height() <= 2 * small.height() + 3,
             qPrintable(QStringLiteral("%1 and %2").arg(small.height()).arg(large.height())));
}

void WatermarkManagerTest::multiLineText()
{
    WatermarkProfile profile;
    profile.setText(QStringLiteral("first line"));
    const QImage image = blank(QSize(400, 300));
    const QRect one = WatermarkManager::textRect(image, &profile);
    profile.setText(QStringLiteral("first line\nsecond line"));
    const QRect two = WatermarkManager::textRect(image, &profile);
    QVERIFY(two.height() > one.height() * 3 / 2);
    QCOMPARE(two.bottom(), one.bottom());
}

void WatermarkManagerTest::invisibleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("alpha");
    QTest::newRow("empty text") << QString() << 255;
    QTest::newRow("alpha 0") << QStringLiteral("Hidden") << 0;
}

void WatermarkManagerTest::invisibleText()
{
    QFETCH(QString, text);
    QFETCH(int, alpha);
    WatermarkProfile profile;
    profile.setText(text);
    profile.setAlpha(alpha);
    profile.setTextShadowXOffset(3);
    const QImage image = blank(QSize(200, 100));
    QCOMPARE(WatermarkManager::instance()->applyWatermark(image, &profile), image);
}

void WatermarkManagerTest::noProfile()
{
    const QImage image = blank(QSize(20, 10));
    QCOMPARE(WatermarkManager::instance()->applyWatermark(image, nullptr), image);
    QCOMPARE(WatermarkManager::drawTextWatermark(image, nullptr), image);
    QCOMPARE(WatermarkManager::drawImageWatermark(image, nullptr), image);
    QVERIFY(WatermarkManager::instance()->applyWatermark(QImage(), nullptr).isNull());
    WatermarkProfile profile;
    profile.setText(QStringLiteral("x"));
    QVERIFY(WatermarkManager::drawTextWatermark(QImage(), &profile).isNull());
}

QTEST_MAIN(WatermarkManagerTest)
#include "watermarkmanagertest.moc"
