#pragma once

#include <QImage>

#include <array>
#include <vector>

namespace media {
class VideoFrame;
}

// A frame reduced to what the analysis looks at: the mean luma and colour of
// each cell of a fixed grid, whatever the frame's size and shape, and how
// strong its fine detail is. Luma runs from 0 (black) to 255 (white) and the
// two colour differences from -127.5 to 127.5 (0 is grey), whatever range and
// bit depth the video uses, so that pictures of any source compare.
//
// The picture is taken as stored: rotation and pixel aspect do not change
// what the scores say about a frame. A plain value; the functions that score
// pictures are in PictureScores.
class SmallPicture
{
public:
    static constexpr int GridWidth = 64;
    static constexpr int GridHeight = 36;
    static constexpr int Cells = GridWidth * GridHeight;
    // Fine detail is measured on the luma reduced to at most this width.
    static constexpr int DetailWidth = 480;

    // A black picture.
    SmallPicture();

    // From a decoded frame: its planes directly when the frame is planar
    // Y'CbCr or grey (8 to 16 bits), else through its image.
    static SmallPicture fromFrame(const media::VideoFrame &frame);
    // From an image, its colours read as full-range BT.601 Y'CbCr.
    static SmallPicture fromImage(const QImage &image);

    float luma(int x, int y) const { return m_luma[index(x, y)]; }
    float cb(int x, int y) const { return m_cb[index(x, y)]; }
    float cr(int x, int y) const { return m_cr[index(x, y)]; }
    const std::array<float, Cells> &luma() const { return m_luma; }
    const std::array<float, Cells> &cb() const { return m_cb; }
    const std::array<float, Cells> &cr() const { return m_cr; }

    // Mean absolute Laplacian of the luma at DetailWidth pixels across or
    // less (the frame's own size when smaller): high for crisp edges and fine
    // texture, low for motion blur, soft focus and flat pictures.
    float detail() const { return m_detail; }

private:
    // A plane reduced by block means, in the picture's units.
    struct Reduced {
        int width = 0;
        int height = 0;
        std::vector<float> values;
    };

    static int index(int x, int y) { return y * GridWidth + x; }
    template<typename Sample>
    static Reduced reduce(const uchar *data, int stride, int width, int height, int factor, float offset,
                          float scale);
    static void toGrid(const Reduced &plane, std::array<float, Cells> *grid);
    static float laplacian(const Reduced &luma);

    std::array<float, Cells> m_luma;
    std::array<float, Cells> m_cb;
    std::array<float, Cells> m_cr;
    float m_detail = 0.0f;
};
