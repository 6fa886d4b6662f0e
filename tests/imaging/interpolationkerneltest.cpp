#include "imaging/cbicubickernel.h"
#include "imaging/clanczoskernel.h"

#include <QtTest>

#include <cmath>
#include <memory>

using Axis = QVector<double>;
Q_DECLARE_METATYPE(Axis)

class InterpolationKernelTest : public QObject
{
    Q_OBJECT

private slots:
    void bicubicTable_data();
    void bicubicTable();
    void bicubicWeights_data();
    void bicubicWeights();
    void lanczosWeights_data();
    void lanczosWeights();
    void tableSumsToOne_data();
    void tableSumsToOne();
    void degenerateSizes_data();
    void degenerateSizes();
};

// The per-axis bicubic weights (a = 0.5) before normalisation; the table is
// their outer product divided by its sum.
void InterpolationKernelTest::bicubicTable_data()
{
    QTest::addColumn<Axis>("axis");
    QTest::newRow("N = 2 picks the second sample") << Axis{0, 1};
    QTest::newRow("N = 3") << Axis{0, 0.1852, 0.1852};
    QTest::newRow("N = 4 picks the third sample") << Axis{0, 0, 1, 0};
    QTest::newRow("N = 5") << Axis{0, 0.064, 0.6, 0.6, 0.064};
    QTest::newRow("N = 8") << Axis{0, 0.0625, 0, 0.4375, 1, 0.4375, 0, 0.0625};
}

void InterpolationKernelTest::bicubicTable()
{
    QFETCH(Axis, axis);
    const int n = axis.size();
    const CBicubicKernel kernel(n, 0.5f);
    QCOMPARE(kernel.size(), n);

    double sum = 0;
    for (const double a : axis)
        sum += a;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const double expected = axis[i] * axis[j] / (sum * sum);
            const float weight = kernel.weight(i, j);
            if (expected == 0) {
                // The kernel vanishes at whole numbers: exactly, not nearly.
                QCOMPARE(weight, 0.0f);
            } else {
                QVERIFY2(std::fabs(weight - expected) <= 1e-3 * expected,
                         qPrintable(QStringLiteral("(%1, %2): %3 instead of %4")
                                        .arg(i).arg(j).arg(weight).arg(expected)));
            }
            QCOMPARE(kernel.weight(i, j), kernel.weight(j, i));
        }
    }
}

void InterpolationKernelTest::bicubicWeights_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("expected");
    QTest::newRow("centre") << 0.0f << 1.0f;
    QTest::newRow("half") << 0.5f << 0.4375f;
    QTest::newRow("minus half") << -0.5f << 0.4375f;
    QTest::newRow("one") << 1.0f << 0.0f;
    QTest::newRow("outer lobe is positive") << 1.5f << 0.0625f;
    QTest::newRow("two") << 2.0f << 0.0f;
    QTest::newRow("beyond") << 7.0f << 0.0f;
}

void InterpolationKernelTest::bicubicWeights()
{
    QFETCH(float, x);
    QFETCH(float, expected);
    QCOMPARE(CBicubicKernel::weightAt(x, 0.5f), expected);
}

void InterpolationKernelTest::lanczosWeights_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("expected");
    QTest::newRow("centre") << 0.0f << 1.0f;
    QTest::newRow("below the centre threshold") << 0.00009f << 1.0f;
    QTest::newRow("half") << 0.5f << float(3 * 0.5 / (M_PI * M_PI * 0.25));
    QTest::newRow("one") << 1.0f << 0.0f;
    QTest::newRow("one and a half") << -1.5f << float(3 * -1.0 * std::sin(M_PI / 2) / (M_PI * M_PI * 2.25));
    QTest::newRow("order") << 3.0f << 0.0f;
    QTest::newRow("beyond") << 4.5f << 0.0f;
}

void InterpolationKernelTest::lanczosWeights()
{
    QFETCH(float, x);
    QFETCH(float, expected);
    const float weight = CLanczosKernel::weightAt(x, 3);
    QVERIFY2(std::fabs(weight - expected) < 1e-6f,
             qPrintable(QStringLiteral("%1 instead of %2").arg(weight).arg(expected)));
}

void InterpolationKernelTest::tableSumsToOne_data()
{
    QTest::addColumn<bool>("lanczos");
    QTest::addColumn<int>("size");
    for (const int n : {2, 3, 5, 7, 12, 29, 30, 31, 64}) {
        QTest::addRow("bicubic %d", n) << false << n;
        QTest::addRow("lanczos %d", n) << true << n;
    }
}

void InterpolationKernelTest::tableSumsToOne()
{
    QFETCH(bool, lanczos);
    QFETCH(int, size);
    std::unique_ptr<CImageInterpolationKernelBase<float>> kernel;
    if (lanczos)
        kernel = std::make_unique<CLanczosKernel>(size, 3);
    else
        kernel = std::make_unique<CBicubicKernel>(size, 0.5f);
    QCOMPARE(kernel->size(), size);
    double sum = 0;
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j)
            sum += kernel->weight(i, j);
    }
    QVERIFY2(std::fabs(sum - 1) < 1e-5, qPrintable(QString::number(sum, 'g', 10)));
    // Even sizes sample the centre at N / 2, where the weight is largest.
    if (size % 2 == 0) {
        for (int i = 0; i < size; ++i)
            QVERIFY(kernel->weight(i, size / 2) <= kernel->weight(size / 2, size / 2));
    }
}

// A table sampled only where the kernel vanishes cannot be normalised; it
// stays zero instead of turning into NaNs.
void InterpolationKernelTest::degenerateSizes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("expectedSize");
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("negative") << -4 << 0;
}

void InterpolationKernelTest::degenerateSizes()
{
    QFETCH(int, size);
    QFETCH(int, expectedSize);
    const CBicubicKernel bicubic(size, 0.5f);
    const CLanczosKernel lanczos(size, 3);
    QCOMPARE(bicubic.size(), expectedSize);
    QCOMPARE(lanczos.size(), expectedSize);
    if (expectedSize == 1) {
        QCOMPARE(bicubic.weight(0, 0), 0.0f);
        QCOMPARE(lanczos.weight(0, 0), 0.0f);
    }
}

QTEST_APPLESS_MAIN(InterpolationKernelTest)
#include "interpolationkerneltest.moc"
