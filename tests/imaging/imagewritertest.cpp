#include "imaging/imagewriter.h"

#include "filesizelimit.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <memory>

Q_DECLARE_METATYPE(ImageWriter::Mode)
Q_DECLARE_METATYPE(ImageWriter::Outcome)

namespace {

// Opaque colours, but in a format with an alpha channel, as frames come.
QImage noise(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x + y * 53) % 256));
    }
    return image;
}

}

class ImageWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void formats_data();
    void formats();
    void quality_data();
    void quality();
    void failures_data();
    void failures();
    void existingFile_data();
    void existingFile();
    void nameTakenMeanwhile();
    void noNameLeft();

private:
    QStringList entries() const
    {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void ImageWriterTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void ImageWriterTest::formats_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("lossless");
    QTest::newRow("PNG") << "frame.png" << QByteArray("png") << true;
    QTest::newRow("JPEG") << "frame.jpeg" << QByteArray("jpeg") << false;
    QTest::newRow("JPG") << "frame.jpg" << QByteArray("jpeg") << false;
    QTest::newRow("BMP") << "frame.bmp" << QByteArray("bmp") << true;
    QTest::newRow("TIFF") << "frame.tiff" << QByteArray("tiff") << true;
    QTest::newRow("TIF") << "frame.tif" << QByteArray("tiff") << true;
    QTest::newRow("upper-case suffix") << "FRAME.PNG" << QByteArray("png") << true;
    QTest::newRow("WebP") << "frame.webp" << QByteArray("webp") << false;
}

// The type follows the suffix, the pixels arrive, no alpha channel is added,
// and nothing but the image is left in the folder.
void ImageWriterTest::formats()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, format);
    QFETCH(bool, lossless);
    const QImage image = noise(QSize(64, 48));
    const QString path = m_dir->filePath(fileName);
    const ImageWriter::Result result = ImageWriter::write(image, path, ImageWriter::Mode::CreateNew);
    QVERIFY2(result.written(), qPrintable(result.reason));
    QImageReader reader(path);
    QCOMPARE(reader.format(), format);
    const QImage loaded = reader.read();
    QCOMPARE(loaded.size(), image.size());
    QVERIFY(!loaded.hasAlphaChannel());
    if (lossless)
        QCOMPARE(loaded.pixel(10, 10), image.pixel(10, 10));
    QCOMPARE(entries(), QStringList { fileName });
}

void ImageWriterTest::quality_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("sizeAgainstDefault");  // -1 smaller, 0 the very same file, 1 larger

    QTest::newRow("JPEG without a quality: Qt's default") << "frame.jpeg" << -1 << 0;
    QTest::newRow("JPEG 10") << "frame.jpeg" << 10 << -1;
    QTest::newRow("JPEG 95") << "frame.jpg" << 95 << 1;
    QTest::newRow("JPEG 0 is no quality") << "frame.jpeg" << 0 << 0;
    QTest::newRow("JPEG 101 is no quality") << "frame.jpeg" << 101 << 0;
    QTest::newRow("WebP without a quality: Qt's default") << "frame.webp" << -1 << 0;
    QTest::newRow("WebP 10") << "frame.webp" << 10 << -1;
    QTest::newRow("WebP 95") << "frame.webp" << 95 << 1;
    QTest::newRow("PNG takes none") << "frame.png" << 10 << 0;
    QTest::newRow("TIFF takes none") << "frame.tif" << 10 << 0;
}

// A quality changes JPEG and WebP files only; without one the file is what
// Qt writes by default, byte for byte.
void ImageWriterTest::quality()
{
    QFETCH(QString, fileName);
    QFETCH(int, quality);
    QFETCH(int, sizeAgainstDefault);
    const QImage image = noise(QSize(160, 120)).convertToFormat(QImage::Format_RGB32);
    const QString path = m_dir->filePath(fileName);
    const ImageWriter::Result result = ImageWriter::write(image, path, ImageWriter::Mode::CreateNew, quality);
    QVERIFY2(result.written(), qPrintable(result.reason));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QByteArray byDefault;
    QBuffer buffer(&byDefault);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(image.save(&buffer, QFileInfo(path).suffix().toLatin1().constData()));
    if (sizeAgainstDefault == 0)
        QVERIFY(written == byDefault);
    else if (sizeAgainstDefault < 0)
        QVERIFY2(written.size() < byDefault.size(), qPrintable(QString::number(written.size())));
    else
        QVERIFY2(written.size() > byDefault.size(), qPrintable(QString::number(written.size())));
}

void ImageWriterTest::failures_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("nullImage");
    QTest::addColumn<int>("fileSizeLimit");
    QTest::addColumn<ImageWriter::Outcome>("outcome");
    const auto failed = ImageWriter::Outcome::Failed;
    QTest::newRow("missing folder") << "no/such/folder/frame.png" << false << 0 << failed;
    QTest::newRow("no suffix") << "frame" << false << 0 << failed;
    QTest::newRow("unknown suffix") << "frame.xyz" << false << 0 << failed;
    QTest::newRow("null image") << "frame.png" << true << 0 << failed;
    QTest::newRow("no room") << "frame.bmp" << false << 1000 << ImageWriter::Outcome::NoRoom;
}

// A failed write says why and leaves no file behind, not even a part.
void ImageWriterTest::failures()
{
    QFETCH(QString, fileName);
    QFETCH(bool, nullImage);
    QFETCH(int, fileSizeLimit);
    QFETCH(ImageWriter::Outcome, outcome);
    const QImage image = nullImage ? QImage() : noise(QSize(64, 48));
    ImageWriter::Result result;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (fileSizeLimit > 0)
            limit = std::make_unique<FileSizeLimit>(fileSizeLimit);
        result = ImageWriter::write(image, m_dir->filePath(fileName), ImageWriter::Mode::CreateNew);
    }
    QCOMPARE(result.outcome, outcome);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(entries(), QStringList());
}

void ImageWriterTest::existingFile_data()
{
    QTest::addColumn<ImageWriter::Mode>("mode");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("create new") << ImageWriter::Mode::CreateNew << false;
    QTest::newRow("replace") << ImageWriter::Mode::Replace << true;
}

void ImageWriterTest::existingFile()
{
    QFETCH(ImageWriter::Mode, mode);
    QFETCH(bool, replaced);
    const QString path = m_dir->filePath(QStringLiteral("frame.png"));
    QFile other(path);
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("another program's file");
    other.close();

    const ImageWriter::Result result = ImageWriter::write(noise(QSize(8, 8)), path, mode);
    QCOMPARE(result.written(), replaced);
    QCOMPARE(QImageReader(path).canRead(), replaced);
    QCOMPARE(entries(), QStringList { QStringLiteral("frame.png") });
}

// Another program takes the free name between the check and the write: its
// file stays as it was and the image goes under the next name.
void ImageWriterTest::nameTakenMeanwhile()
{
    const QDir folder(m_dir->path());
    bool taken = false;
    const auto nameFor = [&](int counter) {
        const QString name = QStringLiteral("frame-%1.png").arg(counter);
        if (!taken) {
            taken = true;
            QFile other(folder.filePath(name));
            other.open(QIODevice::WriteOnly);
            other.write("another program's file");
        }
        return name;
    };
    qint64 counter = 1;
    const ImageWriter::Result result = ImageWriter::writeUnderFreeName(noise(QSize(8, 8)), folder, nameFor, &counter);
    QVERIFY2(result.written(), qPrintable(result.reason));
    QCOMPARE(result.path, folder.filePath(QStringLiteral("frame-2.png")));
    QCOMPARE(counter, qint64(3));
    QFile other(folder.filePath(QStringLiteral("frame-1.png")));
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("another program's file"));
}

void ImageWriterTest::noNameLeft()
{
    const QDir folder(m_dir->path());
    QFile last(folder.filePath(QStringLiteral("frame-%1.png").arg(INT_MAX)));
    QVERIFY(last.open(QIODevice::WriteOnly));
    last.close();
    qint64 counter = INT_MAX;
    const ImageWriter::Result result = ImageWriter::writeUnderFreeName(
        noise(QSize(8, 8)), folder, [](int counter) { return QStringLiteral("frame-%1.png").arg(counter); }, &counter);
    QCOMPARE(result.outcome, ImageWriter::Outcome::NoNameLeft);
    QCOMPARE(entries().size(), 1);
}

QTEST_MAIN(ImageWriterTest)
#include "imagewritertest.moc"
