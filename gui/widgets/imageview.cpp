#include "widgets/imageview.h"

// Qt
#include <QPainter>

ImageView::ImageView(QWidget *parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
}

void ImageView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

QRect ImageView::imageRect() const
{
    const QSize frame = size();
    const QSize target = m_image.size().scaled(frame, Qt::KeepAspectRatio);
    return QRect(QPoint((frame.width() - target.width()) / 2, (frame.height() - target.height()) / 2), target);
}

void ImageView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), m_image);
}
