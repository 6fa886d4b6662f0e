#include "frameid.h"

#include <QColor>

namespace FrameId {

namespace {

// Mean grey level of a small square around (x, y), robust to compression noise.
int meanGrey(const QImage &image, int x, int y, int radius)
{
    int sum = 0;
    int count = 0;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = qBound(0, x + dx, image.width() - 1);
            const int py = qBound(0, y + dy, image.height() - 1);
            sum += qGray(image.pixel(px, py));
            ++count;
        }
    }
    return sum / count;
}

}

int read(const QImage &image)
{
    if (image.isNull() || image.width() < 32 || image.height() < 16)
        return -1;
    const int bits = 16;
    const double blockWidth = image.width() / double(bits);
    const int y = image.height() / 16;
    const int radius = qMax(1, qMin(int(blockWidth) / 6, image.height() / 60));
    int number = 0;
    for (int i = 0; i < bits; ++i) {
        const int grey = meanGrey(image, int((i + 0.5) * blockWidth), y, radius);
        if (grey > 170)
            number |= 1 << i;
        else if (grey > 85)
            return -1;
    }
    // The bar between the blocks is black; anything else is not a marked picture.
    if (meanGrey(image, 0, 0, 0) > 85)
        return -1;
    return number;
}

}
