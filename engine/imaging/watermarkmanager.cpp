#include "imaging/watermarkmanager.h"
#include "imaginglog.h"

#include "profiles/watermarkprofile.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <QTextOption>

namespace {

// A copy of the image that a QPainter can draw on: the image's own format,
// except for palette formats, which become 32-bit.
QImage paintableCopy(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    default:
        return image.copy();
    }
}

qreal opacityOf(const WatermarkProfile *profile)
{
    return qreal(float(profile->alpha()) / 255.0f);
}

}

WatermarkManager::WatermarkManager(QObject *parent)
    : QObject(parent)
{
}

WatermarkManager *WatermarkManager::instance()
{
    static WatermarkManager *manager = new WatermarkManager;
    return manager;
}

QImage WatermarkManager::applyWatermark(const QImage &image, WatermarkProfile *profile,
                                        const FrameDetails &details) const
{
    if (!profile)
        return image.copy();
    if (profile->watermarkType() == WatermarkProfile::TextWatermark)
        return drawTextWatermark(image, profile, details);
    return drawImageWatermark(image, profile);
}

QPoint WatermarkManager::imagePosition(const QSize &imageSize, const QSize &pictureSize, WatermarkProfile *profile)
{
    const Qt::Alignment alignment = profile->alignment();
    int y;
    if (alignment & Qt::AlignTop)
        y = profile->yMargin();
    else if (alignment & Qt::AlignVCenter)
        y = (imageSize.height() - pictureSize.height()) / 2;
    else
        y = imageSize.height() - profile->yMargin() - pictureSize.height();
    int x;
    if (alignment & Qt::AlignLeft)
        x = profile->xMargin();
    else if (alignment & Qt::AlignHCenter)
        x = (imageSize.width() - pictureSize.width()) / 2;
    else
        x = imageSize.width() - profile->xMargin() - pictureSize.width();
    return QPoint(x, y);
}

QImage WatermarkManager::drawImageWatermark(const QImage &image, WatermarkProfile *profile)
{
    QImage result = paintableCopy(image);
    if (!profile || result.isNull())
        return result;
    const QImage picture = profile->image();
    if (picture.isNull())
        return result;
    QPainter painter(&result);
    painter.setOpacity(opacityOf(profile));
    painter.drawImage(imagePosition(result.size(), picture.size(), profile), picture);
    return result;
}

QRect WatermarkManager::textRect(const QImage &image, WatermarkProfile *profile, const FrameDetails &details)
{
    const QFontMetrics metrics(profile->textFont(), &image);
    const QRect area = image.rect().marginsRemoved(
        QMargins(profile->xMargin(), profile->yMargin(), profile->xMargin(), profile->yMargin()));
    return metrics.boundingRect(area, int(profile->alignment()), profile->textFor(details));
}

QImage WatermarkManager::drawTextWatermark(const QImage &image, WatermarkProfile *profile,
                                           const FrameDetails &details)
{
    QImage result = paintableCopy(image);
    if (!profile || result.isNull())
        return result;
    // Fonts come from the platform integration of a QGuiApplication; without
    // one Qt's font database cannot be reached.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        qCWarning(lcImaging) << "No text watermark without a QGuiApplication";
        return result;
    }
    const QString text = profile->textFor(details);
    const QRect box = textRect(result, profile, details);
    const QTextOption option(profile->alignment());

    QPainter painter(&result);
    painter.setOpacity(opacityOf(profile));
    painter.setFont(profile->textFont());
    // The shadow is drawn even without an offset: it then lies under the
    // text and shows through a translucent text colour.
    painter.setPen(QPen(profile->textShadowColor()));
    painter.drawText(QRectF(box.translated(profile->textShadowOffset())), text, option);
    painter.setPen(QPen(profile->textColor()));
    painter.drawText(QRectF(box), text, option);
    return result;
}
