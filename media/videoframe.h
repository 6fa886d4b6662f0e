#pragma once

#include <QImage>
#include <QMetaType>
#include <QString>

#include <memory>

struct AVFrame;

namespace media {

// One decoded picture. A cheap value that may cross threads: copies share the
// reference-counted frame data, which is never changed after decoding.
class VideoFrame
{
public:
    // Display details the decoder copies from its stream.
    struct Display {
        int aspectNum = 0;  // pixel aspect ratio; 0 when unknown (square)
        int aspectDen = 1;
        int rotation = 0;   // clockwise quarter turns in degrees
    };

    VideoFrame() = default;
    // Takes a new reference to the frame's data.
    VideoFrame(const AVFrame *frame, double timestamp, qint64 timeMs, const Display &display);

    bool isValid() const;
    // Presentation time in seconds on the container's clock.
    double timestamp() const { return m_timestamp; }
    // The same in whole ms, truncated toward zero from the integer timestamp.
    qint64 timeMs() const { return m_timeMs; }
    // Name of the pixel format, such as "yuv420p"; empty for an invalid frame.
    QString format() const;
    // Stored size of the picture, before rotation and aspect correction.
    int width() const;
    int height() const;

    // The samples of a planar Y'CbCr (or grey) picture as decoded, for
    // readers that reduce them directly instead of converting the picture.
    struct Planes {
        const uchar *data[3] = { nullptr, nullptr, nullptr };  // Y', Cb, Cr; no Cb, Cr for grey
        int stride[3] = { 0, 0, 0 };                          // bytes per row
        int width = 0;          // of the Y' plane
        int height = 0;
        int chromaShiftX = 0;   // Cb and Cr planes are width >> shift wide (rounded up)
        int chromaShiftY = 0;
        int bitDepth = 8;       // more than 8: two bytes per sample, in the machine's order
        bool fullRange = false; // else Y' from 16 to 235 (scaled to the depth)
    };
    // False for other layouts (packed, RGB, hardware frames) and invalid frames.
    bool planes(Planes *planes) const;

    // The picture as a player shows it: turned upright, non-square pixels
    // stretched to the display aspect ratio, converted with the stream's colour
    // matrix and range; HDR (PQ, HLG) and wide-gamut pictures mapped to BT.709
    // SDR by ColourMapper. A null image for an invalid frame.
    QImage toImage(QImage::Format format = QImage::Format_ARGB32) const;
    // The same picture made height pixels high (its shape kept) in the same
    // pass as the colour conversion: for small pictures, much cheaper than
    // converting the whole frame and scaling it down.
    QImage toImage(QImage::Format format, int height) const;

private:
    // The picture at size (before it is turned upright); the display size when empty.
    QImage converted(QImage::Format format, QSize size) const;
    // Turns a converted ARGB32 picture upright and into the format asked for.
    QImage finished(QImage image, QImage::Format format) const;

    std::shared_ptr<const AVFrame> m_frame;
    double m_timestamp = 0.0;
    qint64 m_timeMs = 0;
    Display m_display;
};

}

Q_DECLARE_METATYPE(media::VideoFrame)
