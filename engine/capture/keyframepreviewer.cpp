#include "keyframepreviewer.h"

#include "capture/framegrabber.h"

#include <QThread>

#include <algorithm>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace {

// About 60 kB each at 160 x 90: a few MB for the pictures of a long video's
// key frames.
constexpr size_t PicturesKept = 64;
// Of the thread that makes them, against the program's other threads at 0.
constexpr int Niceness = 10;

}

KeyFramePreviewer::KeyFramePreviewer(QObject *parent)
    : QObject(parent)
    , m_thread(QThread::create([this] { work(); }))
{
    m_thread->start();
}

KeyFramePreviewer::~KeyFramePreviewer()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread->wait();
}

void KeyFramePreviewer::setSource(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (path == m_source)
        return;
    m_source = path;
    ++m_generation;
    m_kept.clear();
    m_waiting.reset();
    m_opening = true;
    m_changed.notify_all();
}

void KeyFramePreviewer::setPictureHeight(int pixels)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (qMax(1, pixels) == m_height)
        return;
    m_height = qMax(1, pixels);
    ++m_generation;
    m_kept.clear();
}

int KeyFramePreviewer::pictureHeight() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_height;
}

void KeyFramePreviewer::request(qint64 ms)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_waiting = ms;
        m_latest = ms;
    }
    m_changed.notify_all();
}

// The body of the thread: the latest request, one at a time. The key frame a
// position takes is found first, which reads a few packets and decodes
// nothing; only a key frame not kept yet is decoded.
void KeyFramePreviewer::work()
{
    // Below the player's threads: a preview may wait a little, a frame of
    // the video playing may not.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), Niceness);
    FrameGrabber grabber;
    grabber.setKeyFramesOnly(true);
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || m_waiting || m_opening; });
        if (m_quit)
            return;
        // A new video is opened at once, so that the first request finds it open.
        if (std::exchange(m_opening, false) && !m_waiting) {
            const QString source = m_source;
            lock.unlock();
            grabber.setSource(source);
            grabber.duration();
            lock.lock();
            continue;
        }
        const qint64 position = *m_waiting;
        m_waiting.reset();
        const quint64 generation = m_generation;
        const QString source = m_source;
        const int height = m_height;

        lock.unlock();
        grabber.setSource(source);
        const qint64 keyFrame = grabber.nearestKeyFrameTime(position);
        lock.lock();
        if (keyFrame < 0 || generation != m_generation)
            continue;
        auto kept = std::find_if(m_kept.begin(), m_kept.end(),
                                 [keyFrame](const Picture &picture) { return picture.keyFrame == keyFrame; });
        if (kept != m_kept.end()) {
            m_kept.splice(m_kept.begin(), m_kept, kept);
        } else {
            lock.unlock();
            const QImage image = picture(grabber, position, height);
            lock.lock();
            if (image.isNull() || generation != m_generation)
                continue;
            m_kept.push_front({ keyFrame, image });
            if (m_kept.size() > PicturesKept)
                m_kept.pop_back();
        }
        if (position == m_latest && !m_waiting)
            deliver(position, m_kept.front(), generation);
    }
}

QImage KeyFramePreviewer::picture(FrameGrabber &grabber, qint64 position, int height)
{
    media::VideoFrame frame;
    QObject receiver;
    connect(&grabber, &FrameGrabber::frameExtracted, &receiver,
            [&frame](const media::VideoFrame &extracted) { frame = extracted; }, Qt::DirectConnection);
    grabber.extractAt(position);
    return frame.toImage(QImage::Format_RGB32, height);
}

// With the lock held. The picture goes out on the owner's thread, unless a
// newer request came meanwhile.
void KeyFramePreviewer::deliver(qint64 position, const Picture &picture, quint64 generation)
{
    QMetaObject::invokeMethod(this, [this, position, picture, generation] {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (position != m_latest || generation != m_generation)
                return;
        }
        emit previewReady(position, picture.keyFrame, picture.image);
    }, Qt::QueuedConnection);
}
