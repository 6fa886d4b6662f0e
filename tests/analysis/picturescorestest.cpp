#include "analysis/picturescores.h"
#include "analysis/shotdetector.h"
#include "analysis/smallpicture.h"

#include <QtTest>

#include <QPainter>
#include <QRandomGenerator>

namespace {

// A made-up scene of flat shapes, soft shading and fine lines, the same for
// the same seed, as big as asked so that a frame can be cut from it.
QImage scene(quint32 seed, QSize size = QSize(320, 180))
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 160, 220));
    sky.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
    QPainter painter(&image);
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < size.width() * size.height() / 2000; ++i) {
        painter.setBrush(QColor::fromHsv(int(random.bounded(360)), int(random.bounded(256)), int(random.bounded(256))));
        painter.setPen(QPen(QColor::fromHsv(int(random.bounded(360)), 255, 255), 1));
        const QRect shape(int(random.bounded(size.width())), int(random.bounded(size.height())),
                          5 + int(random.bounded(60)), 5 + int(random.bounded(40)));
        if (i % 2)
            painter.drawEllipse(shape);
        else
            painter.drawRect(shape);
    }
    return image;
}

// The frame a camera sees of a wide scene at (x, y).
QImage view(const QImage &wide, int x, int y)
{
    return wide.copy(x, y, 320, 180);
}

// Each pixel multiplied by factor (a fade), or mixed with another picture.
QImage scaled(const QImage &image, double factor)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            line[x] = qRgb(qMin(255, int(qRed(line[x]) * factor)), qMin(255, int(qGreen(line[x]) * factor)),
                           qMin(255, int(qBlue(line[x]) * factor)));
        }
    }
    return out;
}

QImage mixed(const QImage &a, const QImage &b, double share)
{
    QImage out(a.size(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            out.setPixel(x, y, qRgb(int(qRed(p) * (1 - share) + qRed(q) * share),
                                    int(qGreen(p) * (1 - share) + qGreen(q) * share),
                                    int(qBlue(p) * (1 - share) + qBlue(q) * share)));
        }
    }
    return out;
}

QImage flat(QColor colour)
{
    QImage image(320, 180, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Smeared sideways over length pixels, as by a fast camera.
QImage motionBlurred(const QImage &image, int length)
{
    QImage out(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            int r = 0, g = 0, b = 0;
            for (int i = 0; i < length; ++i) {
                const QRgb p = image.pixel(qMin(image.width() - 1, x + i), y);
                r += qRed(p);
                g += qGreen(p);
                b += qBlue(p);
            }
            out.setPixel(x, y, qRgb(r / length, g / length, b / length));
        }
    }
    return out;
}

SmallPicture small(const QImage &image)
{
    return SmallPicture::fromImage(image);
}

}

class PictureScoresTest : public QObject
{
    Q_OBJECT

private slots:
    void blank_data();
    void blank();
    void difference_data();
    void difference();
    void blend_data();
    void blend();
    void detail();
    void anySizeAndLayout();
};

void PictureScoresTest::blank_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<bool>("blank");
    const QImage picture = scene(1);
    QTest::newRow("black") << flat(Qt::black) << true;
    QTest::newRow("white") << flat(Qt::white) << true;
    QTest::newRow("one colour") << flat(QColor(40, 90, 200)) << true;
    QTest::newRow("dark end of a fade") << scaled(picture, 0.03) << true;
    QTest::newRow("a third of the way in") << scaled(picture, 0.3) << false;
    QTest::newRow("picture") << picture << false;
    // Flat on average everywhere, but fine detail: not blank.
    QImage stripes = flat(Qt::black);
    for (int x = 0; x < stripes.width(); x += 2)
        QPainter(&stripes).fillRect(x, 0, 1, stripes.height(), Qt::white);
    QTest::newRow("fine stripes") << stripes << false;
    // One colour on the left, another on the right.
    QImage halves = flat(Qt::darkBlue);
    QPainter(&halves).fillRect(160, 0, 160, 180, Qt::darkRed);
    QTest::newRow("two colours") << halves << false;
}

void PictureScoresTest::blank()
{
    QFETCH(QImage, image);
    QFETCH(bool, blank);
    QCOMPARE(PictureScores::isBlank(small(image)), blank);
}

void PictureScoresTest::difference_data()
{
    QTest::addColumn<QImage>("a");
    QTest::addColumn<QImage>("b");
    QTest::addColumn<double>("least");
    QTest::addColumn<double>("most");
    QTest::addColumn<bool>("motion");

    const double threshold = ShotDetector::DefaultThreshold;
    const QImage wide = scene(2, QSize(640, 360));
    QTest::newRow("same picture") << view(wide, 100, 100) << view(wide, 100, 100) << 0.0 << 0.01 << false;
    // The camera moves: the new picture is mostly the old one, shifted, and
    // matching explains most of the change.
    QTest::newRow("pan by 8 pixels") << view(wide, 100, 100) << view(wide, 108, 100) << 0.0 << threshold / 4 << true;
    QTest::newRow("pan by 80 pixels") << view(wide, 100, 100) << view(wide, 180, 120) << 0.0 << threshold / 2 << true;
    QTest::newRow("another scene") << scene(3) << scene(4) << threshold << 100.0 << false;
    // Light changes everything: nothing to match.
    QTest::newRow("flash") << scene(3) << scaled(scene(3), 3.0) << threshold * 4 << 100.0 << false;
    QTest::newRow("black to white") << flat(Qt::black) << flat(Qt::white) << 99.9 << 100.0 << false;
}

void PictureScoresTest::difference()
{
    QFETCH(QImage, a);
    QFETCH(QImage, b);
    QFETCH(double, least);
    QFETCH(double, most);
    QFETCH(bool, motion);
    const double matched = PictureScores::difference(small(a), small(b));
    const double plain = PictureScores::plainDifference(small(a), small(b));
    QVERIFY2(matched >= least && matched <= most, qPrintable(QString::number(matched)));
    QVERIFY2(plain >= (motion ? 3 * matched : matched), qPrintable(QString::number(plain)));
}

void PictureScoresTest::blend_data()
{
    QTest::addColumn<QImage>("a");
    QTest::addColumn<QImage>("middle");
    QTest::addColumn<QImage>("b");
    QTest::addColumn<double>("least");
    QTest::addColumn<double>("most");
    const QImage a = scene(5);
    const QImage b = scene(6);
    const QImage black = flat(Qt::black);
    // As a share of the plain difference of a and b.
    QTest::newRow("half-way through a dissolve") << a << mixed(a, b, 0.5) << b << 0.0 << 0.02;
    QTest::newRow("half-way through a fade") << a << scaled(a, 0.5) << black << 0.0 << 0.02;
    QTest::newRow("still the first picture") << a << a << b << 0.49 << 0.51;
    QTest::newRow("a third picture") << a << scene(7) << b << 0.5 << 2.0;
}

void PictureScoresTest::blend()
{
    QFETCH(QImage, a);
    QFETCH(QImage, middle);
    QFETCH(QImage, b);
    QFETCH(double, least);
    QFETCH(double, most);
    const double share = PictureScores::blendResidual(small(a), small(middle), small(b))
        / PictureScores::plainDifference(small(a), small(b));
    QVERIFY2(share >= least && share <= most, qPrintable(QString::number(share)));
}

void PictureScoresTest::detail()
{
    const QImage picture = scene(8);
    const float sharp = small(picture).detail();
    QVERIFY(sharp > 1.5f * small(motionBlurred(picture, 6)).detail());
    QVERIFY(small(motionBlurred(picture, 6)).detail() > small(motionBlurred(picture, 20)).detail());
    QCOMPARE(small(flat(Qt::gray)).detail(), 0.0f);
}

void PictureScoresTest::anySizeAndLayout()
{
    // The same picture at another size or in another pixel format scores alike.
    const QImage picture = scene(9, QSize(1280, 720));
    const SmallPicture large = small(picture);
    QVERIFY(PictureScores::plainDifference(large, small(picture.scaled(320, 180, Qt::IgnoreAspectRatio,
                                                                         Qt::SmoothTransformation))) < 2.0);
    QVERIFY(PictureScores::plainDifference(large, small(picture.convertToFormat(QImage::Format_RGB888))) < 0.01);
    // Smaller than the grid: its pixels are repeated.
    QVERIFY(!PictureScores::isBlank(small(picture.scaled(40, 20))));
    QVERIFY(PictureScores::isBlank(small(QImage())));
}

QTEST_MAIN(PictureScoresTest)
#include "picturescorestest.moc"
