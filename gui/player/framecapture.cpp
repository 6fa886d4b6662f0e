#include "framecapture.h"

#include "player.h"

#include "capture/framegrabber.h"

#include <mpv/client.h>

#include <QThread>
#include <QTimer>

FrameCapture::FrameCapture(Player *player)
    : QObject(player), m_player(player)
{
}

FrameCapture::~FrameCapture()
{
    if (m_decoding)
        m_decoding->wait();
}

void FrameCapture::capture()
{
    if (!m_player->isPlaying()) {
        QTimer::singleShot(0, this, [this] { emit failed(tr("No video is open.")); });
        return;
    }
    if (m_player->needsEngineColours())
        decode(m_player->file(), m_player->displayPosition());
    else
        m_player->captureFrame();
}

void FrameCapture::decode(const QString &file, qint64 ms)
{
    if (m_decoding) {
        QTimer::singleShot(0, this, [this] { emit failed(tr("The previous snapshot is still being taken.")); });
        return;
    }
    m_decoding = QThread::create([this, file, ms] {
        FrameGrabber grabber;
        QImage image;
        QString reason;
        connect(&grabber, &FrameGrabber::frameExtracted, [&image](const media::VideoFrame &frame) {
            image = frame.toImage(QImage::Format_ARGB32);
        });
        connect(&grabber, &FrameGrabber::error, [&reason](const QString &message) { reason = message; });
        grabber.setSource(file);
        // Positions are whole milliseconds; frame times need not be.
        grabber.setPrecision(1);
        grabber.setPosition(ms);
        grabber.extract();
        QMetaObject::invokeMethod(
            this,
            [this, image, reason] {
                if (!image.isNull())
                    emit imageCaptured(image);
                else
                    emit failed(tr("The frame could not be captured: %1").arg(reason));
            },
            Qt::QueuedConnection);
    });
    connect(m_decoding, &QThread::finished, m_decoding, &QObject::deleteLater);
    m_decoding->start();
}

// The answer of "screenshot-raw": a map of w, h, stride, format ("bgr0") and data.
void FrameCapture::takeReply(int error, const mpv_node *result)
{
    if (error < 0) {
        emit failed(tr("The frame could not be captured: %1.").arg(QString::fromUtf8(mpv_error_string(error))));
        return;
    }
    qint64 width = 0;
    qint64 height = 0;
    qint64 stride = 0;
    QByteArray format;
    const mpv_byte_array *data = nullptr;
    if (result && result->format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list *map = result->u.list;
        for (int i = 0; i < map->num; ++i) {
            const QByteArray key(map->keys[i]);
            const mpv_node &value = map->values[i];
            if (value.format == MPV_FORMAT_INT64 && key == "w")
                width = value.u.int64;
            else if (value.format == MPV_FORMAT_INT64 && key == "h")
                height = value.u.int64;
            else if (value.format == MPV_FORMAT_INT64 && key == "stride")
                stride = value.u.int64;
            else if (value.format == MPV_FORMAT_STRING && key == "format")
                format = value.u.string;
            else if (value.format == MPV_FORMAT_BYTE_ARRAY && key == "data")
                data = value.u.ba;
        }
    }
    if (format != "bgr0" || width <= 0 || height <= 0 || stride < width * 4 || !data
        || qint64(data->size) < stride * height) {
        emit failed(tr("The frame could not be captured: the video output gave no picture."));
        return;
    }
    // bgr0 is Format_RGB32 byte for byte but for the unused byte, which is made opaque.
    QImage image(int(width), int(height), QImage::Format_ARGB32);
    const auto *source = static_cast<const uchar *>(data->data);
    for (int y = 0; y < image.height(); ++y) {
        const auto *in = reinterpret_cast<const quint32 *>(source + y * stride);
        auto *out = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            out[x] = in[x] | 0xff000000u;
    }
    emit imageCaptured(image);
}
