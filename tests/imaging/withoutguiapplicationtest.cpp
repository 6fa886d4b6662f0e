#include "imaging/imageprocessingmanager.h"
#include "imaging/watermarkmanager.h"
#include "profiles/watermarkprofile.h"

#include <QtTest>

// Without a QGuiApplication there is no font database and no clipboard: the
// parts that need them do nothing rather than crash, and the rest of the
// pipeline still works.
class WithoutGuiApplicationTest : public QObject
{
    Q_OBJECT

private slots:
    void textWatermarkIsSkipped();
    void clipboardIsSkipped();
};

void WithoutGuiApplicationTest::textWatermarkIsSkipped()
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::black);
    WatermarkProfile profile;
    profile.setText(QStringLiteral("Tindra"));
    QTest::ignoreMessage(QtWarningMsg, "No text watermark without a QGuiApplication");
    QCOMPARE(WatermarkManager::instance()->applyWatermark(image, &profile), image);
}

void WithoutGuiApplicationTest::clipboardIsSkipped()
{
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    QTest::ignoreMessage(QtWarningMsg, "No clipboard without a QGuiApplication");
    ImageProcessingManager::instance()->copyToClipboard(image);
    QCOMPARE(ImageProcessingManager::instance()->resizeToProfile(image, 10, 5, false).size(), QSize(10, 5));
}

QTEST_APPLESS_MAIN(WithoutGuiApplicationTest)
#include "withoutguiapplicationtest.moc"
