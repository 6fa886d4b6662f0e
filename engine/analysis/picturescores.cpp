#include "picturescores.h"

#include "analysis/smallpicture.h"

#include <QtGlobal>

#include <cmath>
#include <limits>

namespace PictureScores {

namespace {

constexpr double Percent = 100.0 / 255.0;

// Largest spread of luma or colour (levels, standard deviation over the
// cells) and of fine detail (mean absolute Laplacian) of a blank picture:
// above compression noise and the flicker of black, below the dimmest
// picture a viewer still makes out.
constexpr double BlankSpread = 3.0;
constexpr double BlankDetail = 1.5;

// Matching: tiles of TileWidth x TileHeight cells, each moved by up to
// MaxShift cells (a twentieth of the width) either way, around no shift and
// around the shift of the whole picture, found on blocks of Block x Block
// cells moved by up to MaxBlockShift blocks (almost a third of the width).
constexpr int TileWidth = 8;
constexpr int TileHeight = 6;
constexpr int MaxShift = 3;
constexpr int Block = 4;
constexpr int MaxBlockShift = 5;
constexpr int BlocksAcross = SmallPicture::GridWidth / Block;
constexpr int BlocksDown = SmallPicture::GridHeight / Block;

double spread(const std::array<float, SmallPicture::Cells> &values)
{
    double sum = 0.0;
    double squares = 0.0;
    for (float v : values) {
        sum += v;
        squares += double(v) * v;
    }
    const double mean = sum / SmallPicture::Cells;
    return std::sqrt(qMax(0.0, squares / SmallPicture::Cells - mean * mean));
}

// Luma and half the colour difference of two cells.
inline float cellDifference(const SmallPicture &a, int ax, int ay, const SmallPicture &b, int bx, int by)
{
    return std::fabs(a.luma(ax, ay) - b.luma(bx, by))
        + 0.5f * (std::fabs(a.cb(ax, ay) - b.cb(bx, by)) + std::fabs(a.cr(ax, ay) - b.cr(bx, by)));
}

using Blocks = std::array<float, BlocksAcross * BlocksDown>;

Blocks lumaBlocks(const SmallPicture &picture)
{
    Blocks blocks {};
    for (int y = 0; y < BlocksDown * Block; ++y) {
        for (int x = 0; x < BlocksAcross * Block; ++x)
            blocks[size_t((y / Block) * BlocksAcross + x / Block)] += picture.luma(x, y);
    }
    return blocks;
}

// The shift of b against a, in cells, under which their luma blocks differ least.
void wholeShift(const SmallPicture &a, const SmallPicture &b, int *shiftX, int *shiftY)
{
    const Blocks from = lumaBlocks(a);
    const Blocks to = lumaBlocks(b);
    float best = std::numeric_limits<float>::max();
    *shiftX = 0;
    *shiftY = 0;
    for (int dy = -MaxBlockShift; dy <= MaxBlockShift; ++dy) {
        for (int dx = -MaxBlockShift; dx <= MaxBlockShift; ++dx) {
            float sum = 0.0f;
            int count = 0;
            for (int y = qMax(0, -dy); y < BlocksDown && y + dy < BlocksDown; ++y) {
                for (int x = qMax(0, -dx); x < BlocksAcross && x + dx < BlocksAcross; ++x) {
                    sum += std::fabs(from[size_t((y + dy) * BlocksAcross + x + dx)] - to[size_t(y * BlocksAcross + x)]);
                    ++count;
                }
            }
            // A shift must keep at least half the blocks in view; no shift wins ties.
            if (2 * count < BlocksAcross * BlocksDown)
                continue;
            const float mean = sum / float(count);
            if (mean < best || (mean == best && dx == 0 && dy == 0)) {
                best = mean;
                *shiftX = dx * Block;
                *shiftY = dy * Block;
            }
        }
    }
}

// The least difference of b's tile at (tx, ty) from a, shifted by up to
// MaxShift cells around (centreX, centreY).
float tileDifference(const SmallPicture &a, const SmallPicture &b, int tx, int ty, int centreX, int centreY)
{
    float best = std::numeric_limits<float>::max();
    for (int dy = centreY - MaxShift; dy <= centreY + MaxShift; ++dy) {
        for (int dx = centreX - MaxShift; dx <= centreX + MaxShift; ++dx) {
            float sum = 0.0f;
            int count = 0;
            for (int y = ty * TileHeight; y < (ty + 1) * TileHeight; ++y) {
                const int ay = y + dy;
                if (ay < 0 || ay >= SmallPicture::GridHeight)
                    continue;
                for (int x = tx * TileWidth; x < (tx + 1) * TileWidth; ++x) {
                    const int ax = x + dx;
                    if (ax < 0 || ax >= SmallPicture::GridWidth)
                        continue;
                    sum += cellDifference(a, ax, ay, b, x, y);
                    ++count;
                }
            }
            if (2 * count >= TileWidth * TileHeight)
                best = qMin(best, sum / float(count));
        }
    }
    return best;
}

}

bool isBlank(const SmallPicture &picture)
{
    return picture.detail() <= BlankDetail && spread(picture.luma()) <= BlankSpread
        && spread(picture.cb()) <= BlankSpread && spread(picture.cr()) <= BlankSpread;
}

/*
 * Block matching on the grid: first the shift of the whole picture (a pan),
 * on blocks of cells; then for each tile of b the shift of at most MaxShift
 * cells, around no shift and around the whole picture's, under which the
 * tile differs least from a (only the cells that stay inside a count, and at
 * least half of them must). The result is the mean of the tiles' least
 * differences.
 */
double difference(const SmallPicture &a, const SmallPicture &b)
{
    constexpr int TilesAcross = SmallPicture::GridWidth / TileWidth;
    constexpr int TilesDown = SmallPicture::GridHeight / TileHeight;
    int shiftX = 0;
    int shiftY = 0;
    wholeShift(a, b, &shiftX, &shiftY);
    const bool shifted = qAbs(shiftX) > MaxShift || qAbs(shiftY) > MaxShift;
    double total = 0.0;
    for (int ty = 0; ty < TilesDown; ++ty) {
        for (int tx = 0; tx < TilesAcross; ++tx) {
            float best = tileDifference(a, b, tx, ty, 0, 0);
            if (shifted)
                best = qMin(best, tileDifference(a, b, tx, ty, shiftX, shiftY));
            total += best;
        }
    }
    return total / (TilesAcross * TilesDown) * Percent;
}

double plainDifference(const SmallPicture &a, const SmallPicture &b)
{
    double total = 0.0;
    for (int y = 0; y < SmallPicture::GridHeight; ++y) {
        for (int x = 0; x < SmallPicture::GridWidth; ++x)
            total += cellDifference(a, x, y, b, x, y);
    }
    return total / SmallPicture::Cells * Percent;
}

double blendResidual(const SmallPicture &a, const SmallPicture &middle, const SmallPicture &b)
{
    double total = 0.0;
    for (int i = 0; i < SmallPicture::Cells; ++i) {
        total += std::fabs(middle.luma()[i] - 0.5f * (a.luma()[i] + b.luma()[i]))
            + 0.5f * (std::fabs(middle.cb()[i] - 0.5f * (a.cb()[i] + b.cb()[i]))
                      + std::fabs(middle.cr()[i] - 0.5f * (a.cr()[i] + b.cr()[i])));
    }
    return total / SmallPicture::Cells * Percent;
}

}
