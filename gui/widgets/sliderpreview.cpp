#include "sliderpreview.h"

#include "capture/keyframepreviewer.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QTime>
#include <QVBoxLayout>

namespace {

// Height of the pictures; their width follows the video's shape.
constexpr int PictureHeight = 90;
// Between the preview and the slider below it.
constexpr int Gap = 4;

}

SliderPreview::SliderPreview(QSlider *slider, QWidget *parent)
    : QFrame(parent)
    , m_slider(slider)
    , m_previewer(new KeyFramePreviewer(this))
    , m_picture(new QLabel(this))
    , m_time(new QLabel(this))
{
    setObjectName(QStringLiteral("sliderPreview"));
    m_picture->setObjectName(QStringLiteral("sliderPreviewPicture"));
    m_time->setObjectName(QStringLiteral("sliderPreviewTime"));
    m_time->setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_picture);
    layout->addWidget(m_time);
    hide();

    m_previewer->setPictureHeight(PictureHeight);
    connect(m_previewer, &KeyFramePreviewer::previewReady, this, &SliderPreview::showPicture);
    m_slider->setMouseTracking(true);
    m_slider->installEventFilter(this);
}

void SliderPreview::setSource(const QString &path)
{
    m_hasSource = !path.isEmpty();
    m_previewer->setSource(path);
    pointerGone();
}

void SliderPreview::setMillisecondsPerStep(qint64 ms)
{
    m_msPerStep = qMax<qint64>(1, ms);
}

bool SliderPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_slider) {
        switch (event->type()) {
        case QEvent::MouseMove:
            pointerAt(static_cast<QMouseEvent *>(event)->pos().x());
            break;
        case QEvent::Leave:
        case QEvent::Hide:
        case QEvent::EnabledChange:
            pointerGone();
            break;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

// The slider's value under x, as the style places the handle, in ms.
void SliderPreview::pointerAt(int x)
{
    if (!m_hasSource || !m_slider->isEnabled() || m_slider->maximum() <= m_slider->minimum())
        return;
    const int handle = m_slider->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, m_slider);
    const int value = QStyle::sliderValueFromPosition(m_slider->minimum(), m_slider->maximum(), x - handle / 2,
                                                      m_slider->width() - handle, m_slider->invertedAppearance());
    m_position = value * m_msPerStep;
    m_pointerX = x;
    m_time->setText(QTime(0, 0).addMSecs(int(m_position)).toString(QStringLiteral("hh:mm:ss.zzz")));
    m_previewer->request(m_position);
    if (isVisible())
        place();
}

void SliderPreview::pointerGone()
{
    m_position = -1;
    hide();
}

void SliderPreview::showPicture(qint64 position, qint64, const QImage &picture)
{
    if (position != m_position)
        return;
    m_picture->setPixmap(QPixmap::fromImage(picture));
    m_picture->setFixedSize(picture.size());
    place();
    show();
    raise();
}

// Above the pointer, kept within the parent.
void SliderPreview::place()
{
    adjustSize();
    const QPoint above = m_slider->mapTo(parentWidget(), QPoint(m_pointerX, 0));
    const int x = qBound(0, above.x() - width() / 2, qMax(0, parentWidget()->width() - width()));
    move(x, qMax(0, above.y() - height() - Gap));
}
