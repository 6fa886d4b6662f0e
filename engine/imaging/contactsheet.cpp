#include "contactsheet.h"

#include "capture/videoinfo.h"
#include "imaging/imageprocessingmanager.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QSet>

#include <cmath>
#include <numeric>

namespace {

// The most a sheet may hold: 64 megapixels (256 MB), and a height every
// image type takes.
constexpr qint64 MaxPixels = qint64(64) << 20;
constexpr int MaxHeight = 16383;

// Sizes of the text at a sheet width of 1600 pixels; they follow the width.
constexpr double TitlePixels = 22.0;
constexpr double DetailPixels = 16.0;
constexpr double LabelPixels = 15.0;
constexpr double LineSpacing = 1.5;

struct Geometry {
    int cellWidth = 0;
    int pictureHeight = 0;
    int labelHeight = 0;
    int headerHeight = 0;
    int height = 0;
    int titlePixels = 0;
    int detailPixels = 0;
    int labelPixels = 0;
};

// The aspect of the pictures: the video's as shown, 16:9 when not known.
double aspectOf(const QSize &displaySize)
{
    return displaySize.width() > 0 && displaySize.height() > 0 ? double(displaySize.width()) / displaySize.height()
                                                               : 16.0 / 9.0;
}

Geometry geometryOf(const ContactSheet::Layout &layout, const QSize &displaySize)
{
    Geometry g;
    const double scale = layout.width / 1600.0;
    g.cellWidth = (layout.width - (layout.columns + 1) * layout.spacing) / qMax(1, layout.columns);
    g.pictureHeight = qMax(1, int(std::lround(g.cellWidth / aspectOf(displaySize))));
    // "00:00:00.000" takes about seven and a half times the text's size.
    g.labelPixels = qBound(8, int(std::lround(qMin(LabelPixels * scale, g.cellWidth / 7.5))), 64);
    g.labelHeight = int(std::lround(g.labelPixels * 1.7));
    g.titlePixels = qMax(11, int(std::lround(TitlePixels * scale)));
    g.detailPixels = qMax(10, int(std::lround(DetailPixels * scale)));
    g.headerHeight = layout.spacing + int(std::lround((g.titlePixels + 2 * g.detailPixels) * LineSpacing))
        + layout.spacing;
    g.height = g.headerHeight + layout.rows * (g.pictureHeight + g.labelHeight + layout.spacing);
    return g;
}

QString clockText(qint64 ms, bool withMilliseconds)
{
    const QString text = QStringLiteral("%1:%2:%3")
                             .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
                             .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
                             .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
    return withMilliseconds ? text + QStringLiteral(".%1").arg(ms % 1000, 3, 10, QLatin1Char('0')) : text;
}

// "16:9" for the usual shapes, "2.39:1" for the others.
QString aspectText(const QSize &size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return QString();
    const int divisor = std::gcd(size.width(), size.height());
    const int across = size.width() / divisor;
    const int down = size.height() / divisor;
    if (across <= 32 && down <= 32)
        return QStringLiteral("%1:%2").arg(across).arg(down);
    return QStringLiteral("%1:1").arg(double(size.width()) / size.height(), 0, 'f', 2);
}

}

QString ContactSheet::layoutError(const Layout &layout, const QSize &displaySize)
{
    if (layout.columns < 1 || layout.columns > MaxColumns || layout.rows < 1 || layout.rows > MaxRows)
        return tr("A contact sheet has 1 to %1 columns and 1 to %2 rows.").arg(MaxColumns).arg(MaxRows);
    if (layout.width < MinWidth || layout.width > MaxWidth)
        return tr("A contact sheet is %1 to %2 pixels wide.").arg(MinWidth).arg(MaxWidth);
    if (layout.spacing < 0 || layout.spacing > MaxSpacing)
        return tr("The spacing of a contact sheet is 0 to %1 pixels.").arg(MaxSpacing);
    const Geometry g = geometryOf(layout, displaySize);
    if (g.cellWidth < 16)
        return tr("%1 columns do not fit in %2 pixels.").arg(layout.columns).arg(layout.width);
    if (g.height > MaxHeight || qint64(g.height) * layout.width > MaxPixels)
        return tr("A contact sheet of %1 rows would be %2 pixels high, more than the %3 that fit at this width.")
            .arg(layout.rows)
            .arg(g.height)
            .arg(qMin<qint64>(MaxHeight, MaxPixels / layout.width));
    return QString();
}

ContactSheet::ContactSheet(const Layout &layout, const VideoInfo &video)
    : m_layout(layout)
    , m_times(layout.columns * layout.rows, -1)
{
    const Geometry g = geometryOf(layout, video.displaySize());
    m_cellWidth = g.cellWidth;
    m_pictureHeight = g.pictureHeight;
    m_labelHeight = g.labelHeight;
    m_labelPixels = g.labelPixels;
    m_headerHeight = g.headerHeight;

    const QLocale locale = QLocale::c();
    QString rate = tr("variable frame rate");
    if (video.frameRate() > 0)
        rate = tr("%1 fps").arg(std::round(video.frameRate() * 1000.0) / 1000.0, 0, 'g', 8);
    QString picture = tr("%1 × %2").arg(video.width()).arg(video.height());
    if (video.displaySize().isValid())
        picture += tr(" (display %1)").arg(aspectText(video.displaySize()));
    QString bitRate = tr("bit rate not known");
    if (video.bitRate() >= 10000000)
        bitRate = tr("%1 Mb/s").arg(video.bitRate() / 1e6, 0, 'f', 1);
    else if (video.bitRate() > 0)
        bitRate = tr("%1 kb/s").arg(video.bitRate() / 1000);
    m_headerLines = QStringList {
        QFileInfo(video.path()).fileName(),
        tr("Size: %1 · Duration: %2 · %3 · %4")
            .arg(locale.formattedDataSize(video.fileSize(), 1, QLocale::DataSizeSIFormat),
                 clockText(video.duration(), false), picture, rate),
        tr("Video: %1 · Audio: %2 · %3")
            .arg(video.videoCodec().isEmpty() ? tr("not known") : video.videoCodec(),
                 video.audioCodec().isEmpty() ? tr("none") : video.audioCodec(), bitRate),
    };

    m_sheet = QImage(layout.width, g.height, QImage::Format_RGB32);
    m_sheet.fill(layout.background);
    QPainter painter(&m_sheet);
    painter.setPen(textColor());
    int y = layout.spacing;
    for (int line = 0; line < m_headerLines.size(); ++line) {
        const int pixels = line == 0 ? g.titlePixels : g.detailPixels;
        const QFont lineFont = font(pixels, line == 0);
        const int height = int(std::lround(pixels * LineSpacing));
        const QRect box(layout.spacing, y, layout.width - 2 * layout.spacing, height);
        painter.setFont(lineFont);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(lineFont, &m_sheet).elidedText(m_headerLines.at(line), Qt::ElideMiddle, box.width()));
        y += height;
    }
}

QRect ContactSheet::pictureRect(int index) const
{
    const int column = index % m_layout.columns;
    const int row = index / m_layout.columns;
    return QRect(m_layout.spacing + column * (m_cellWidth + m_layout.spacing),
                 m_headerHeight + row * (m_pictureHeight + m_labelHeight + m_layout.spacing), m_cellWidth,
                 m_pictureHeight);
}

void ContactSheet::addFrame(int index, const QImage &frame, qint64 timeMs)
{
    if (index < 0 || index >= cellCount() || frame.isNull())
        return;
    const QRect cell = pictureRect(index);
    const QImage picture = ImageProcessingManager::instance()->resizeToProfile(frame, cell.width(), cell.height(), true);
    QPainter painter(&m_sheet);
    painter.drawImage(cell.x() + (cell.width() - picture.width()) / 2, cell.y() + (cell.height() - picture.height()) / 2,
                      picture);
    m_times[index] = qMax<qint64>(0, timeMs);
}

QImage ContactSheet::image() const
{
    QSet<qint64> seconds;
    bool sameSecond = false;
    for (const qint64 time : m_times) {
        if (time < 0)
            continue;
        if (seconds.contains(time / 1000))
            sameSecond = true;
        seconds.insert(time / 1000);
    }
    QImage sheet = m_sheet.copy();
    QPainter painter(&sheet);
    painter.setPen(textColor());
    painter.setFont(font(m_labelPixels));
    for (int index = 0; index < m_times.size(); ++index) {
        if (m_times.at(index) < 0)
            continue;
        const QRect picture = pictureRect(index);
        painter.drawText(QRect(picture.left(), picture.bottom() + 1, picture.width(), m_labelHeight), Qt::AlignCenter,
                         clockText(m_times.at(index), sameSecond));
    }
    return sheet;
}

// Black on a light background, white on a dark one.
QColor ContactSheet::textColor() const
{
    return qGray(m_layout.background.rgb()) > 140 ? QColor(Qt::black) : QColor(Qt::white);
}

QFont ContactSheet::font(double pixels, bool bold) const
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(pixels));
    font.setBold(bold);
    return font;
}
