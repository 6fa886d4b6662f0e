#pragma once

#include <QObject>
#include <QPointer>

class QImage;
class VideoWidget;
struct mpv_render_context;

// Turns the frames of libmpv's software render context into pictures: paints
// them into a VideoWidget's surface, or lets them pass unseen while nobody
// paints (libmpv's output stalls when its frames are not rendered).
//
// Thread: GUI thread. libmpv's update callback only queues a call here; every
// signal is emitted on the GUI thread. The render context belongs to the
// MpvHandle it was made from, which must outlive every call but the
// destructor; a null context renders nothing.
class VideoRenderer : public QObject
{
    Q_OBJECT

public:
    explicit VideoRenderer(mpv_render_context *context, QObject *parent = nullptr);
    ~VideoRenderer() override;

    // The widget the frames are painted into; not owned, and it may be
    // deleted first.
    void setWidget(VideoWidget *widget);
    VideoWidget *widget() const;

    // Whether a file is open: without one the widget shows black.
    void setShowing(bool showing);
    bool isShowing() const { return m_showing; }

    // Paints the frame on show into target (Format_RGB32), letterboxed in black.
    void render(QImage &target);
    // A frame is waiting in the render context.
    bool hasNewFrame() const;
    // Asks the widget to paint the new frame, or lets it pass when nobody shows it.
    void present();
    // Renders the frame at once: painted before the call returns.
    void renderNow();

signals:
    // libmpv has a new frame for the render context.
    void frameArrived();

private:
    void takeUpdate();
    void skipFrame();

    mpv_render_context *m_context;
    QPointer<VideoWidget> m_widget;
    bool m_showing = false;
};
