#pragma once

#include <QFrame>
#include <QImage>

class KeyFramePreviewer;
class QLabel;
class QSlider;

// The picture of the video under the pointer while it hovers over a position
// slider, with the time there, floating just above the pointer as players
// show it. The pictures are the key frames nearest to the times, made by a
// KeyFramePreviewer on a thread of its own: never by the player's decoder,
// and never keeping the interface waiting.
//
// Thread: the GUI thread.
class SliderPreview : public QFrame
{
    Q_OBJECT

public:
    // Watches slider, whose steps are msPerStep apart, and floats over
    // parent, which holds the slider.
    SliderPreview(QSlider *slider, QWidget *parent);

    // The video; an empty path shows no previews.
    void setSource(const QString &path);
    void setMillisecondsPerStep(qint64 ms);

    // The time under the pointer, -1 while the pointer is not over the slider.
    qint64 position() const { return m_position; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pointerAt(int x);
    void pointerGone();
    void showPicture(qint64 position, qint64 keyFrame, const QImage &picture);
    void place();

    QSlider *m_slider;
    KeyFramePreviewer *m_previewer;
    QLabel *m_picture;
    QLabel *m_time;
    bool m_hasSource = false;
    qint64 m_msPerStep = 1000;
    qint64 m_position = -1;
    int m_pointerX = 0;
};
