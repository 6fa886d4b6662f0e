#include "imaging/cbicubickernel.h"
#include "imaging/clanczoskernel.h"
#include "imaging/kernelresize.h"

#include "referenceresize.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Every pixel a different, reproducible colour; alpha 255 when opaque,
// anything from 0 to 255 otherwise (premultiplied where the format says so).
QImage noise(const QSize &size, QImage::Format format, bool opaque, quint32 seed = 1)
{
    QImage image(size, QImage::Format_ARGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb word = random.generate();
            line[x] = opaque ? (word | 0xff000000u) : word;
        }
    }
    return image.convertToFormat(format);
}

QImage filled(const QSize &size, QImage::Format format, QRgb color)
{
    QImage image(size, format);
    image.fill(QColor::fromRgba(color));
    return image;
}

// Where two images first differ, for failure messages.
QString firstDifference(const QImage &actual, const QImage &expected)
{
    if (actual.size() != expected.size() || actual.format() != expected.format()) {
        return QStringLiteral("%1x%2 format %3 instead of %4x%5 format %6")
            .arg(actual.width()).arg(actual.height()).arg(actual.format())
            .arg(expected.width()).arg(expected.height()).arg(expected.format());
    }
    for (int y = 0; y < actual.height(); ++y) {
        const int bytes = actual.width() * actual.depth() / 8;
        if (memcmp(actual.constScanLine(y), expected.constScanLine(y), size_t(bytes)) == 0)
            continue;
        for (int x = 0; x < actual.width(); ++x) {
            if (actual.pixel(x, y) != expected.pixel(x, y)) {
                return QStringLiteral("pixel (%1, %2): %3 instead of %4").arg(x).arg(y)
                    .arg(actual.pixel(x, y), 8, 16, QLatin1Char('0'))
                    .arg(expected.pixel(x, y), 8, 16, QLatin1Char('0'));
            }
        }
        return QStringLiteral("row %1 differs in its padding bits").arg(y);
    }
    return QString();
}

// Compares whole scan lines: the images must agree to the bit.
bool identical(const QImage &actual, const QImage &expected)
{
    return firstDifference(actual, expected).isEmpty();
}

}

class KernelResizeTest : public QObject
{
    Q_OBJECT

private slots:
    void sameSizeReturnsTheImage();
    void enlargementUsesQtSmoothScaling_data();
    void enlargementUsesQtSmoothScaling();
    void blockPicksOnePixel_data();
    void blockPicksOnePixel();
    void fittedSize_data();
    void fittedSize();
    void kernelChoice_data();
    void kernelChoice();
    void opaqueStaysOpaque_data();
    void opaqueStaysOpaque();
    void blocksPastTheBottomEdge();
    void matchesReference_data();
    void matchesReference();
    void keepsColoursOfOtherFormats_data();
    void keepsColoursOfOtherFormats();
    void badInput_data();
    void badInput();
    void extremeShapes_data();
    void extremeShapes();
    void resizeModes_data();
    void resizeModes();
};

void KernelResizeTest::sameSizeReturnsTheImage()
{
    const QImage image = noise(QSize(64, 48), QImage::Format_ARGB32, false);
    const QImage result = kernelResize(image, image.size(), true);
    QVERIFY(identical(result, image));
    QVERIFY(identical(resizeImage(image, image.size(), Kernel, false), image));
}

void KernelResizeTest::enlargementUsesQtSmoothScaling_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("ignoreAspectRatio");
    QTest::newRow("both larger") << QSize(80, 60) << QSize(160, 120) << true;
    QTest::newRow("wider only, ignoring the aspect") << QSize(80, 60) << QSize(100, 30) << true;
    QTest::newRow("wider only, keeping the aspect") << QSize(80, 60) << QSize(100, 30) << false;
    QTest::newRow("taller only") << QSize(80, 60) << QSize(40, 90) << true;
    QTest::newRow("equal width, smaller height") << QSize(80, 60) << QSize(80, 30) << true;
}

void KernelResizeTest::enlargementUsesQtSmoothScaling()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(bool, ignoreAspectRatio);
    const QImage image = noise(source, QImage::Format_RGB32, true);
    const QImage expected = image.scaled(target, ignoreAspectRatio ? Qt::IgnoreAspectRatio : Qt::KeepAspectRatio,
                                         Qt::SmoothTransformation);
    const QImage result = kernelResize(image, target, ignoreAspectRatio);
    QVERIFY2(identical(result, expected), qPrintable(firstDifference(result, expected)));
}

// Bicubic tables whose spacing is a whole number have one non-zero weight:
// halving takes the lower-right pixel of each 2 x 2 block, a factor of 4 the
// pixel at (2, 2) of each 4 x 4 block, in every channel including alpha.
void KernelResizeTest::blockPicksOnePixel_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<bool>("opaque");
    QTest::addColumn<int>("factor");
    QTest::addColumn<int>("offset");
    QTest::newRow("halving RGB32") << QImage::Format_RGB32 << true << 2 << 1;
    QTest::newRow("halving translucent ARGB32") << QImage::Format_ARGB32 << false << 2 << 1;
    QTest::newRow("halving premultiplied") << QImage::Format_ARGB32_Premultiplied << false << 2 << 1;
    QTest::newRow("halving RGBA8888") << QImage::Format_RGBA8888 << false << 2 << 1;
    QTest::newRow("halving RGB888 (24-bit)") << QImage::Format_RGB888 << true << 2 << 1;
    QTest::newRow("quarter ARGB32") << QImage::Format_ARGB32 << true << 4 << 2;
    QTest::newRow("quarter translucent ARGB32") << QImage::Format_ARGB32 << false << 4 << 2;
    QTest::newRow("quarter RGB16 (16-bit)") << QImage::Format_RGB16 << true << 4 << 2;
}

void KernelResizeTest::blockPicksOnePixel()
{
    QFETCH(QImage::Format, format);
    QFETCH(bool, opaque);
    QFETCH(int, factor);
    QFETCH(int, offset);
    const QImage image = noise(QSize(48 * factor, 27 * factor), format, opaque);
    const QImage result = kernelResize(image, QSize(48, 27), true);
    QCOMPARE(result.size(), QSize(48, 27));
    QCOMPARE(result.format(), format);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            const QRgb expected = image.pixel(x * factor + offset, y * factor + offset);
            if (result.pixel(x, y) != expected) {
                QFAIL(qPrintable(QStringLiteral("(%1, %2): %3 instead of %4").arg(x).arg(y)
                                     .arg(result.pixel(x, y), 8, 16).arg(expected, 8, 16)));
            }
        }
    }
}

void KernelResizeTest::fittedSize_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("ignoreAspectRatio");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("wide into a square keeps the aspect")
        << QSize(1920, 1080) << QSize(100, 100) << false << QSize(100, 56);
    QTest::newRow("tall into a square keeps the aspect")
        << QSize(1080, 1920) << QSize(100, 100) << false << QSize(56, 100);
    QTest::newRow("wide into a square, aspect ignored")
        << QSize(1920, 1080) << QSize(100, 100) << true << QSize(100, 100);
    QTest::newRow("same shape") << QSize(1920, 1080) << QSize(640, 360) << false << QSize(640, 360);
    QTest::newRow("4:3 frame of a 16:9 profile")
        << QSize(1440, 1080) << QSize(640, 480) << true << QSize(640, 480);
}

void KernelResizeTest::fittedSize()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(bool, ignoreAspectRatio);
    QFETCH(QSize, expected);
    const QImage image = filled(source, QImage::Format_RGB32, 0xff204080);
    const QImage result = kernelResize(image, target, ignoreAspectRatio);
    QCOMPARE(result.size(), expected);
    QCOMPARE(result.format(), QImage::Format_RGB32);
    // A flat picture stays flat wherever the blocks are whole.
    QCOMPARE(result.pixel(expected.width() / 2, expected.height() / 2), 0xff204080u);
}

// One white pixel in the centre of the first block of a black picture: the
// output's first pixel is that sample's weight times 255, which tells the
// tables apart. The sources are exact multiples of the target, so the block
// filter reads them without Qt's rescaling.
void KernelResizeTest::kernelChoice_data()
{
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<bool>("lanczos");
    QTest::newRow("29 takes the bicubic table") << 29 << false;
    QTest::newRow("30 takes the Lanczos table") << 30 << true;
    QTest::newRow("40 takes the Lanczos table") << 40 << true;
    QTest::newRow("12 takes the bicubic table") << 12 << false;
}

void KernelResizeTest::kernelChoice()
{
    QFETCH(int, blockSize);
    QFETCH(bool, lanczos);
    const int centre = blockSize / 2;
    QImage image = filled(QSize(10 * blockSize, 10 * blockSize), QImage::Format_ARGB32, 0xff000000);
    image.setPixel(centre, centre, 0xffffffff);

    const QImage result = kernelResize(image, QSize(10, 10), true);
    QCOMPARE(result.size(), QSize(10, 10));

    const float bicubicWeight = CBicubicKernel(blockSize, 0.5f).weight(centre, centre);
    const float lanczosWeight = CLanczosKernel(blockSize, 3).weight(centre, centre);
    const int bicubicRed = int(255 * bicubicWeight + 0.5f);
    const int lanczosRed = int(255 * lanczosWeight + 0.5f);
    QVERIFY(bicubicRed != lanczosRed);
    QCOMPARE(qRed(result.pixel(0, 0)), lanczos ? lanczosRed : bicubicRed);
    QCOMPARE(qRed(result.pixel(1, 0)), 0);
    QCOMPARE(qAlpha(result.pixel(0, 0)), 255);
}

// Blocks that lie wholly inside the intermediate image keep an opaque
// source opaque, whatever the table.
void KernelResizeTest::opaqueStaysOpaque_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::newRow("bicubic 3, rescaled first") << QSize(1440, 1080) << QSize(640, 480);
    QTest::newRow("bicubic 5") << QSize(500, 300) << QSize(100, 60);
    QTest::newRow("bicubic 7, odd sizes") << QSize(700, 329) << QSize(100, 47);
    QTest::newRow("Lanczos 32") << QSize(640, 384) << QSize(20, 12);
    QTest::newRow("Lanczos 32, rescaled first") << QSize(1900, 1000) << QSize(60, 32);
}

void KernelResizeTest::opaqueStaysOpaque()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    const QImage image = noise(source, QImage::Format_ARGB32, true);
    const QImage result = kernelResize(image, target, false);
    QCOMPARE(result.size(), target);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x)
            QCOMPARE(qAlpha(result.pixel(x, y)), 255);
    }
}

// 300 x 100 into 80 x 40 with the aspect ignored: the intermediate image is
// 480 x 160 and the blocks 6 x 6, so block row 26 reads four rows inside the
// image and two past its bottom, and rows from 27 on read nothing at all.
void KernelResizeTest::blocksPastTheBottomEdge()
{
    const QImage rgb = filled(QSize(300, 100), QImage::Format_RGB32, 0xff808080);
    const QImage result = kernelResize(rgb, QSize(80, 40), true);
    QCOMPARE(result.size(), QSize(80, 40));
    const auto word = [&result](int x, int y) {
        return reinterpret_cast<const QRgb *>(result.constScanLine(y))[x];
    };
    QCOMPARE(word(40, 10), 0xff808080u);
    // Lost weights are not made up for: darker and more transparent.
    QVERIFY(qAlpha(word(40, 26)) > 0 && qAlpha(word(40, 26)) < 255);
    QVERIFY(qRed(word(40, 26)) > 0 && qRed(word(40, 26)) < 0x80);
    for (int y = 27; y < 40; ++y) {
        for (int x = 0; x < 80; ++x)
            QCOMPARE(word(x, y), 0u);
    }

    // A straight-alpha source filters premultiplied words and gets them back
    // unpremultiplied: the edge only fades, its colour stays.
    const QImage argb = filled(QSize(300, 100), QImage::Format_ARGB32, 0xff808080);
    const QImage faded = kernelResize(argb, QSize(80, 40), true);
    QCOMPARE(faded.format(), QImage::Format_ARGB32);
    QCOMPARE(qAlpha(faded.pixel(40, 26)), qAlpha(word(40, 26)));
    QVERIFY(qAbs(qRed(faded.pixel(40, 26)) - 0x80) <= 2);
    QCOMPARE(faded.pixel(40, 30), 0u);
}

void KernelResizeTest::matchesReference_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<bool>("opaque");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("ignoreAspectRatio");
    QTest::newRow("1080p to 640x480, aspect kept (bicubic 3)")
        << QSize(1920, 1080) << QImage::Format_ARGB32 << true << QSize(640, 480) << false;
    QTest::newRow("4:3 crop to 640x480 (rescaled, bicubic 3)")
        << QSize(1440, 1080) << QImage::Format_ARGB32 << true << QSize(640, 480) << true;
    QTest::newRow("1080p to 160x90 (bicubic 12)")
        << QSize(1920, 1080) << QImage::Format_RGB32 << true << QSize(160, 90) << true;
    QTest::newRow("1080p to 48x27 (Lanczos 40)")
        << QSize(1920, 1080) << QImage::Format_ARGB32 << true << QSize(48, 27) << true;
    QTest::newRow("Lanczos 30 exactly")
        << QSize(900, 600) << QImage::Format_ARGB32 << true << QSize(30, 20) << true;
    QTest::newRow("odd sizes, translucent")
        << QSize(1001, 777) << QImage::Format_ARGB32 << false << QSize(333, 187) << false;
    QTest::newRow("translucent premultiplied, bicubic 7")
        << QSize(700, 350) << QImage::Format_ARGB32_Premultiplied << false << QSize(100, 50) << true;
    QTest::newRow("translucent RGBA8888, rescaled")
        << QSize(640, 480) << QImage::Format_RGBA8888 << false << QSize(150, 113) << false;
    QTest::newRow("tall picture")
        << QSize(360, 1280) << QImage::Format_RGB32 << true << QSize(90, 320) << true;
    QTest::newRow("shape ignored, blocks past the bottom")
        << QSize(300, 100) << QImage::Format_ARGB32 << false << QSize(80, 40) << true;
    QTest::newRow("one pixel wide")
        << QSize(30, 300) << QImage::Format_RGB32 << true << QSize(1, 10) << false;
    QTest::newRow("24-bit picture")
        << QSize(500, 300) << QImage::Format_RGB888 << true << QSize(130, 78) << true;
    QTest::newRow("16-bit picture, Lanczos")
        << QSize(620, 310) << QImage::Format_RGB16 << true << QSize(20, 10) << true;
    QTest::newRow("64-bit translucent picture")
        << QSize(300, 200) << QImage::Format_RGBA64 << false << QSize(90, 60) << true;
    QTest::newRow("30-bit picture")
        << QSize(300, 200) << QImage::Format_A2RGB30_Premultiplied << false << QSize(100, 66) << false;
    QTest::newRow("8-bit palette picture")
        << QSize(300, 200) << QImage::Format_Indexed8 << true << QSize(100, 66) << false;
}

void KernelResizeTest::matchesReference()
{
    QFETCH(QSize, source);
    QFETCH(QImage::Format, format);
    QFETCH(bool, opaque);
    QFETCH(QSize, target);
    QFETCH(bool, ignoreAspectRatio);
    const QImage image = noise(source, format, opaque, quint32(source.width() * 7919 + target.width()));
    const QImage expected = ReferenceResize::kernelResize(image, target, ignoreAspectRatio);
    QVERIFY(!expected.isNull());
    QCOMPARE(expected.format(), format);
    const QImage result = kernelResize(image, target, ignoreAspectRatio);
    QVERIFY2(identical(result, expected), qPrintable(firstDifference(result, expected)));
}

// Formats whose words are not Qt's 0xAARRGGBB come back in their own format
// with their own colours: no swapped channels, no darkened translucency, no
// empty palette.
void KernelResizeTest::keepsColoursOfOtherFormats_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRgb>("color");
    QTest::addColumn<QSize>("target");
    QTest::newRow("translucent ARGB32, rescaled") << QImage::Format_ARGB32 << QRgb(0x80c86432) << QSize(150, 113);
    QTest::newRow("translucent ARGB32, exact factor") << QImage::Format_ARGB32 << QRgb(0x80c86432) << QSize(160, 120);
    QTest::newRow("RGBA8888, rescaled") << QImage::Format_RGBA8888 << QRgb(0xffc86432) << QSize(150, 113);
    QTest::newRow("RGBX8888, rescaled") << QImage::Format_RGBX8888 << QRgb(0xffc86432) << QSize(150, 113);
    QTest::newRow("30-bit, exact factor") << QImage::Format_RGB30 << QRgb(0xffc86432) << QSize(160, 120);
    QTest::newRow("30-bit, rescaled") << QImage::Format_A2RGB30_Premultiplied << QRgb(0xffc86432) << QSize(150, 113);
    QTest::newRow("palette, exact factor") << QImage::Format_Indexed8 << QRgb(0xffc86432) << QSize(160, 120);
    QTest::newRow("grey, rescaled") << QImage::Format_Grayscale8 << QRgb(0xff808080) << QSize(150, 113);
    QTest::newRow("alpha only, rescaled") << QImage::Format_Alpha8 << QRgb(0x80000000) << QSize(150, 113);
}

void KernelResizeTest::keepsColoursOfOtherFormats()
{
    QFETCH(QImage::Format, format);
    QFETCH(QRgb, color);
    QFETCH(QSize, target);
    const QImage image = QImage(filled(QSize(640, 480), QImage::Format_ARGB32, color)).convertToFormat(format);
    const QRgb stored = image.pixel(10, 10);
    const QImage result = kernelResize(image, target, false);
    QCOMPARE(result.size(), target);
    QCOMPARE(result.format(), format);
    const QRgb pixel = result.pixel(target.width() / 2, target.height() / 2);
    const auto near = [](int a, int b) { return qAbs(a - b) <= 3; };
    QVERIFY2(near(qRed(pixel), qRed(stored)) && near(qGreen(pixel), qGreen(stored))
                 && near(qBlue(pixel), qBlue(stored)) && near(qAlpha(pixel), qAlpha(stored)),
             qPrintable(QStringLiteral("%1 instead of %2").arg(pixel, 8, 16).arg(stored, 8, 16)));
}

void KernelResizeTest::badInput_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("nullIgnoringAspect");
    const QImage picture = filled(QSize(100, 80), QImage::Format_ARGB32, 0xff336699);
    QTest::newRow("null image") << QImage() << QSize(10, 10) << true;
    QTest::newRow("empty size") << picture << QSize(0, 0) << true;
    QTest::newRow("zero height") << picture << QSize(50, 0) << true;
    QTest::newRow("zero width") << picture << QSize(0, 40) << true;
    QTest::newRow("negative size") << picture << QSize(-10, -8) << true;
    QTest::newRow("negative width") << picture << QSize(-10, 40) << true;
    QTest::newRow("too thin to keep the aspect")
        << filled(QSize(1000, 2), QImage::Format_RGB32, 0xff000000) << QSize(10, 1) << false;
}

// Shapes far from the target's would need an intermediate image of gigabytes;
// they are scaled by Qt in one step instead.
void KernelResizeTest::extremeShapes_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QSize>("target");
    QTest::newRow("wildly different shape") << filled(QSize(300, 200), QImage::Format_RGB32, 0xff000000)
                                            << QSize(1, 150);
    QTest::newRow("a few pixels high") << filled(QSize(16000, 2), QImage::Format_RGB32, 0xff000000)
                                       << QSize(100, 1);
}

void KernelResizeTest::extremeShapes()
{
    QFETCH(QImage, image);
    QFETCH(QSize, target);
    const QImage result = kernelResize(image, target, true);
    QVERIFY(identical(result, image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void KernelResizeTest::badInput()
{
    QFETCH(QImage, image);
    QFETCH(QSize, target);
    QFETCH(bool, nullIgnoringAspect);
    QVERIFY(kernelResize(image, target, false).isNull());
    const QImage ignoring = kernelResize(image, target, true);
    QCOMPARE(ignoring.isNull(), nullIgnoringAspect);
    if (!nullIgnoringAspect)
        QCOMPARE(ignoring.size(), target);
}

void KernelResizeTest::resizeModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("ignoreAspectRatio");
    QTest::newRow("fast, aspect kept") << int(Fast) << false;
    QTest::newRow("fast, aspect ignored") << int(Fast) << true;
    QTest::newRow("smooth, aspect kept") << int(Smooth) << false;
    QTest::newRow("smooth, aspect ignored") << int(Smooth) << true;
    QTest::newRow("kernel, aspect kept") << int(Kernel) << false;
    QTest::newRow("kernel, aspect ignored") << int(Kernel) << true;
    QTest::newRow("unknown mode") << 3 << false;
    QTest::newRow("negative mode") << -1 << true;
}

void KernelResizeTest::resizeModes()
{
    QFETCH(int, mode);
    QFETCH(bool, ignoreAspectRatio);
    const QImage image = noise(QSize(320, 240), QImage::Format_RGB32, true);
    const QSize target(100, 100);
    const Qt::AspectRatioMode aspect = ignoreAspectRatio ? Qt::IgnoreAspectRatio : Qt::KeepAspectRatio;
    QImage expected;
    if (mode == Fast)
        expected = image.scaled(target, aspect, Qt::FastTransformation);
    else if (mode == Smooth)
        expected = image.scaled(target, aspect, Qt::SmoothTransformation);
    else if (mode == Kernel)
        expected = kernelResize(image, target, ignoreAspectRatio);
    const QImage result = resizeImage(image, target, mode, ignoreAspectRatio);
    QCOMPARE(result.isNull(), expected.isNull());
    QVERIFY2(identical(result, expected), qPrintable(firstDifference(result, expected)));
    if (mode == Kernel)
        QCOMPARE(result.size(), ignoreAspectRatio ? QSize(100, 100) : QSize(100, 75));
}

QTEST_APPLESS_MAIN(KernelResizeTest)
#include "kernelresizetest.moc"
