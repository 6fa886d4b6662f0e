#include "videorenderer.h"

#include "videowidget.h"

#include <mpv/render.h>

#include <QImage>

VideoRenderer::VideoRenderer(mpv_render_context *context, QObject *parent)
    : QObject(parent), m_context(context)
{
    if (!m_context)
        return;
    // Called from libmpv's threads: it only queues work here. Queued calls to
    // a deleted renderer are dropped by Qt.
    mpv_render_context_set_update_callback(
        m_context,
        [](void *renderer) {
            QMetaObject::invokeMethod(static_cast<VideoRenderer *>(renderer), &VideoRenderer::takeUpdate,
                                      Qt::QueuedConnection);
        },
        this);
}

VideoRenderer::~VideoRenderer()
{
    if (m_widget)
        m_widget->setRenderer(nullptr);
}

void VideoRenderer::setWidget(VideoWidget *widget)
{
    if (widget == m_widget)
        return;
    if (m_widget)
        m_widget->setRenderer(nullptr);
    m_widget = widget;
    if (m_widget)
        m_widget->setRenderer(this);
}

VideoWidget *VideoRenderer::widget() const
{
    return m_widget;
}

void VideoRenderer::setShowing(bool showing)
{
    if (showing == m_showing)
        return;
    m_showing = showing;
    if (!m_showing && m_widget)
        m_widget->update();
}

void VideoRenderer::render(QImage &target)
{
    if (!m_context || target.isNull())
        return;
    int size[2] = { target.width(), target.height() };
    size_t stride = size_t(target.bytesPerLine());
    int block = 0;
    mpv_render_param params[] = {
        { MPV_RENDER_PARAM_SW_SIZE, size },
        { MPV_RENDER_PARAM_SW_FORMAT, const_cast<char *>("bgr0") },
        { MPV_RENDER_PARAM_SW_STRIDE, &stride },
        { MPV_RENDER_PARAM_SW_POINTER, target.bits() },
        { MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block },
        { MPV_RENDER_PARAM_INVALID, nullptr },
    };
    mpv_render_context_render(m_context, params);
}

bool VideoRenderer::hasNewFrame() const
{
    mpv_render_frame_info info {};
    return m_context && mpv_render_context_get_info(m_context, { MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info }) >= 0
        && (info.flags & MPV_RENDER_FRAME_INFO_PRESENT);
}

void VideoRenderer::takeUpdate()
{
    if (m_context && (mpv_render_context_update(m_context) & MPV_RENDER_UPDATE_FRAME))
        emit frameArrived();
}

void VideoRenderer::present()
{
    if (m_widget && m_widget->isVisible())
        m_widget->update();
    else
        skipFrame();
}

void VideoRenderer::renderNow()
{
    if (m_widget && m_widget->isVisible())
        m_widget->repaint();
    else
        skipFrame();
}

// Nobody paints: let libmpv go on timing frames, or playback would stall.
void VideoRenderer::skipFrame()
{
    if (!m_context)
        return;
    int skip = 1;
    int block = 0;
    mpv_render_param params[] = {
        { MPV_RENDER_PARAM_SKIP_RENDERING, &skip },
        { MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block },
        { MPV_RENDER_PARAM_INVALID, nullptr },
    };
    mpv_render_context_render(m_context, params);
}
