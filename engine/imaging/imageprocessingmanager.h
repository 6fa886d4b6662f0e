#pragma once

#include "capture/framedetails.h"

#include <QImage>
#include <QObject>
#include <QString>

class ImageProfile;
class WatermarkProfile;

// Turns a captured frame into the image that is saved or copied: resized as
// an image profile says (cut to the target's shape and filled, or fitted
// whole inside it) and stamped with a watermark. Also copying an image to
// the clipboard (files are written by ImageWriter).
//
// Stateless; profiles are borrowed, never kept or changed. All calls come
// from the thread that processes images: the user-interface thread (batch
// frames included), or tindracmd's main thread.
class ImageProcessingManager : public QObject
{
    Q_OBJECT

public:
    // The single instance, made on first use and kept until the process ends.
    static ImageProcessingManager *instance();

    // Resizes image to the profile's target size (or keeps its own size when
    // the profile says "same size as video") and stamps watermark on it; with
    // no watermark given, the profile's own watermark profile, looked up by
    // id, if there is one; details fill in the placeholders of its text. A
    // null image gives a null image; no profile means no resize.
    QImage processImage(const QImage &image, ImageProfile *profile, WatermarkProfile *watermark = nullptr,
                        const FrameDetails &details = FrameDetails()) const;

    // Brings image to width x height. With maintainAspectRatio the whole
    // image fits inside and one side comes out smaller when the shapes
    // differ; without it the image is first cut centrally to the target's
    // shape. Reductions use the kernel resize, enlargements Qt's smooth
    // scaling. A null image or a side below 1 gives a null image.
    QImage resizeToProfile(const QImage &image, int width, int height, bool maintainAspectRatio) const;

    // Puts image on the application clipboard. Needs a QGuiApplication; does
    // nothing (with a warning) without one.
    void copyToClipboard(const QImage &image) const;

private:
    explicit ImageProcessingManager(QObject *parent = nullptr);
};
