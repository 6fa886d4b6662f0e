#include "framecapture.h"

#include "player.h"
#include "videofilters.h"

#include "capture/framegrabber.h"

#include <QThread>
#include <QTimer>

FrameCapture::FrameCapture(Player *player)
    : QObject(player), m_player(player)
{
    connect(m_player, &Player::frameGrabbed, this, &FrameCapture::takeFrame);
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
    if (VideoFilters::needsEngineColours(m_player->videoGamma(), m_player->videoPrimaries()))
        decode(m_player->file(), m_player->displayPosition());
    else
        m_player->grabFrame();
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

void FrameCapture::takeFrame(const QImage &image, const QString &error)
{
    if (!error.isEmpty())
        emit failed(tr("The frame could not be captured: %1.").arg(error));
    else if (image.isNull())
        emit failed(tr("The frame could not be captured: the video output gave no picture."));
    else
        emit imageCaptured(image);
}
