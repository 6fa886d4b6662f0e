#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

class VideoRenderer;

// The picture of a Player: paints the frame on show at the widget's size in
// device pixels (sharp on high-DPI screens), letterboxed in black. Frames come
// from libmpv's software renderer, so no OpenGL is needed. Connect it with
// Player::setVideoWidget().
//
// Thread: GUI thread only. It does not own the renderer; either may be deleted
// first.
class VideoWidget : public QWidget
{
    Q_OBJECT

public:
    explicit VideoWidget(QWidget *parent = nullptr);
    ~VideoWidget() override;

    // Set by VideoRenderer::setWidget(), which keeps both ends in step.
    void setRenderer(VideoRenderer *renderer);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<VideoRenderer> m_renderer;
    QImage m_surface;
};
