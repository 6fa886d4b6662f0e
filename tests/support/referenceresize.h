#pragma once

#include <QImage>
#include <QSize>

// The kernel resize written plainly, one output pixel and one sample at a
// time, with its own kernel tables: the yardstick the engine's parallel,
// vectorised kernelResize must match bit for bit, and the baseline of the
// resize benchmark.
namespace ReferenceResize {

QImage kernelResize(const QImage &image, const QSize &size, bool ignoreAspectRatio);

}
