#include "videowidget.h"

#include "videorenderer.h"

#include <QPainter>

VideoWidget::VideoWidget(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setMinimumSize(16, 16);
}

VideoWidget::~VideoWidget()
{
    if (m_renderer)
        m_renderer->setWidget(nullptr);
}

void VideoWidget::setRenderer(VideoRenderer *renderer)
{
    m_renderer = renderer;
    update();
}

void VideoWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_renderer || !m_renderer->isShowing()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Rendered at the size in device pixels, so nothing is scaled afterwards.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_surface.size() != pixels)
        m_surface = QImage(pixels, QImage::Format_RGB32);
    m_renderer->render(m_surface);
    m_surface.setDevicePixelRatio(ratio);
    painter.drawImage(QPointF(0, 0), m_surface);
}
