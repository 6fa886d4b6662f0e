#pragma once

#include "capture/framedetails.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>

class WatermarkProfile;

// Stamps a watermark profile onto an image: a text with its drop shadow, or
// a picture, at one of nine positions inside the profile's margins, with
// the profile's opacity. The source image is never changed; every call
// returns a new image.
//
// Stateless. Called on the thread that processes images (the user-interface
// thread, or tindracmd's main thread), because WatermarkProfile::image()
// keeps an unlocked cache.
class WatermarkManager : public QObject
{
    Q_OBJECT

public:
    // The single instance, made on first use and kept until the process ends.
    static WatermarkManager *instance();

    // drawTextWatermark for a text watermark (type 0), else drawImageWatermark.
    // A null profile gives a copy of the image. details fill in the text's
    // placeholders.
    QImage applyWatermark(const QImage &image, WatermarkProfile *profile,
                          const FrameDetails &details = FrameDetails()) const;

    // The profile's text for the image of details, shadow first, in the
    // profile's font, colours and opacity. An empty text leaves the copy
    // unchanged to the eye.
    static QImage drawTextWatermark(const QImage &image, WatermarkProfile *profile,
                                    const FrameDetails &details = FrameDetails());

    // The profile's picture at its own size; a missing picture draws nothing.
    static QImage drawImageWatermark(const QImage &image, WatermarkProfile *profile);

    // Where the text of a text watermark goes on an image: the bounding box
    // of the text in the profile's font (at the image's resolution), aligned
    // inside the image less the margins. The shadow goes to the same box
    // moved by the profile's shadow offset.
    static QRect textRect(const QImage &image, WatermarkProfile *profile,
                          const FrameDetails &details = FrameDetails());

    // Top-left corner of a picture of pictureSize placed on an image of
    // imageSize with the profile's alignment and margins (margins do not
    // apply on a centred axis). Negative when the picture is the larger.
    static QPoint imagePosition(const QSize &imageSize, const QSize &pictureSize, WatermarkProfile *profile);

private:
    explicit WatermarkManager(QObject *parent = nullptr);
};
