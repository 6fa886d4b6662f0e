#pragma once

#include <QImage>
#include <QSize>

// How resizeImage brings an image to its new size.
enum ResizeMode {
    Fast = 0,   // Qt's scaling without filtering
    Smooth = 1, // Qt's smooth scaling
    Kernel = 2  // kernelResize: block kernels for reductions, Qt's smooth scaling otherwise
};

// Resizes image to size in the given ResizeMode, keeping the image's aspect
// ratio inside size unless ignoreAspectRatio is true. Returns a null image
// for an unknown mode. Reentrant: any thread may call it at any time.
QImage resizeImage(const QImage &image, const QSize &size, int mode, bool ignoreAspectRatio);

// Resizes image to size (its aspect ratio kept inside size unless
// ignoreAspectRatio is true). Reductions in both directions are filtered
// with bicubic or Lanczos block kernels; everything else goes to Qt's smooth
// scaling. The result has the source's format; a null or empty input, or an
// empty size, gives a null image. Reentrant; the filtering runs on the
// calling thread and Qt's global thread pool.
QImage kernelResize(const QImage &image, const QSize &size, bool ignoreAspectRatio);
