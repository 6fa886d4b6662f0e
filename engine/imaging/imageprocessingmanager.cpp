#include "imaging/imageprocessingmanager.h"
#include "imaginglog.h"

#include "imaging/kernelresize.h"
#include "imaging/watermarkmanager.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"
#include "profiles/watermarkprofile.h"

#include <QClipboard>
#include <QGuiApplication>

#include <cmath>

namespace {

// Truncates toward zero, but never below one pixel: a picture of extreme
// shape must not vanish.
int atLeastOne(double value)
{
    return qMax(1, int(std::trunc(value)));
}

}

ImageProcessingManager::ImageProcessingManager(QObject *parent)
    : QObject(parent)
{
}

ImageProcessingManager *ImageProcessingManager::instance()
{
    static ImageProcessingManager *manager = new ImageProcessingManager;
    return manager;
}

QImage ImageProcessingManager::processImage(const QImage &image, ImageProfile *profile,
                                            WatermarkProfile *watermark, const FrameDetails &details) const
{
    if (image.isNull())
        return QImage();
    QImage result = image;
    if (profile) {
        const int width = profile->sameSizeAsVideo() ? image.width() : profile->imageWidth();
        const int height = profile->sameSizeAsVideo() ? image.height() : profile->imageHeight();
        result = resizeToProfile(image, width, height, profile->maintainAspectRatio());
        if (!watermark) {
            // An empty id, or one no profile has any more, means no watermark.
            watermark = qobject_cast<WatermarkProfile *>(
                WatermarkProfile::profileManager()->profileById(profile->watermarkProfileId()));
        }
    }
    if (!watermark || result.isNull())
        return result;
    return WatermarkManager::instance()->applyWatermark(result, watermark, details);
}

/*
 * Fitting to the profile, in double precision with truncation:
 * with the source W x H and the target w x h, g = W / H and f = w / h.
 * Cutting (aspect ratio not kept): a wider source loses equal strips left
 * and right down to trunc(H * f) columns, a taller one top and bottom down to
 * trunc(W / f) rows; the target side is worked out again from f (trunc(w / f)
 * or trunc(h * f)), which gives the profile's own value for the usual sizes
 * and one less for a few odd ones. Fitting (aspect ratio kept): the target
 * side that would overflow becomes trunc(w / g) or trunc(h * g).
 */
QImage ImageProcessingManager::resizeToProfile(const QImage &image, int width, int height,
                                               bool maintainAspectRatio) const
{
    if (image.isNull() || width < 1 || height < 1)
        return QImage();
    const int sourceWidth = image.width();
    const int sourceHeight = image.height();
    if (sourceWidth == width && sourceHeight == height)
        return image;

    const double sourceShape = double(sourceWidth) / sourceHeight;
    const double targetShape = double(width) / height;
    QImage source = image;
    if (!maintainAspectRatio) {
        int cropWidth = sourceWidth;
        int cropHeight = sourceHeight;
        if (sourceShape > targetShape) {
            cropWidth = atLeastOne(sourceHeight * targetShape);
            height = atLeastOne(width / targetShape);
        } else if (sourceShape < targetShape) {
            cropHeight = atLeastOne(sourceWidth / targetShape);
            width = atLeastOne(height * targetShape);
        }
        const int x = int(std::trunc((sourceWidth - cropWidth) * 0.5));
        const int y = int(std::trunc((sourceHeight - cropHeight) * 0.5));
        if (cropWidth != sourceWidth || cropHeight != sourceHeight)
            source = image.copy(x, y, cropWidth, cropHeight);
    } else if (sourceShape > targetShape) {
        height = atLeastOne(width / sourceShape);
    } else if (sourceShape < targetShape) {
        width = atLeastOne(height * sourceShape);
    }
    return resizeImage(source, QSize(width, height), Kernel, true);
}

void ImageProcessingManager::copyToClipboard(const QImage &image) const
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        qCWarning(lcImaging) << "No clipboard without a QGuiApplication";
        return;
    }
    QGuiApplication::clipboard()->setImage(image, QClipboard::Clipboard);
}
