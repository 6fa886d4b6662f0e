#include "framefetcher.h"
#include "capturelog.h"

#include "capture/framegrabber.h"
#include "media/codeccontext.h"
#include "media/demuxer.h"

#include <QThread>

#include <algorithm>
#include <chrono>

namespace {

// How often a waiting caller asks its stop check.
constexpr std::chrono::milliseconds PollInterval(10);

}

FrameFetcher::FrameFetcher(QObject *parent)
    : QObject(parent)
{
}

FrameFetcher::~FrameFetcher()
{
    stop();
}

void FrameFetcher::setDecoderCount(int count)
{
    m_decoderCount = count;
}

int FrameFetcher::decoderCount() const
{
    if (m_decoderCount > 0)
        return m_decoderCount;
    if (m_decodersChosen > 0)
        return m_decodersChosen;
    return qMax(1, QThread::idealThreadCount());
}

void FrameFetcher::setMemoryBudget(qint64 bytes)
{
    m_memoryBudget = bytes;
}

// Measured with 4K H.264: about 160 MB more for each decoder.
qint64 FrameFetcher::decoderMemory(int width, int height)
{
    return qint64(width) * height * 20 + (qint64(16) << 20);
}

void FrameFetcher::setKeyFramesOnly(bool on)
{
    m_keyFramesOnly = on;
}

void FrameFetcher::setStopCheck(std::function<bool()> check)
{
    m_stopCheck = std::move(check);
}

/*
 * A run is a stretch of consecutive positions, going forward, whose key frame
 * before them is the same: one decoder takes them all and decodes on from one
 * to the next, where two decoders would each decode that group of pictures
 * from its key frame. Without an index (MPEG-TS) nothing tells where the
 * groups of pictures lie, and every position is a run of its own, as it is
 * for the grabber, which then seeks for each.
 */
std::vector<FrameFetcher::Run> FrameFetcher::planRuns(const media::Demuxer &demuxer, const QVector<Position> &positions)
{
    std::vector<Run> runs;
    const qint64 start = demuxer.startTime();
    qint64 previousKey = -1;
    for (int i = 0; i < positions.size(); ++i) {
        const qint64 key = demuxer.keyFrameTime(positions.at(i).ms + start);
        if (i > 0 && key >= 0 && key == previousKey && positions.at(i).ms >= positions.at(i - 1).ms)
            runs.back().end = i + 1;
        else
            runs.push_back({ i, i + 1 });
        previousKey = key;
    }
    return runs;
}

void FrameFetcher::setChooserFactory(std::function<std::unique_ptr<Chooser>()> make)
{
    m_makeChooser = std::move(make);
}

void FrameFetcher::start(const QString &source, const QVector<Position> &positions, int precision,
                         FrameGrabber *opened)
{
    stop();
    m_source = source;
    m_positions = positions;
    m_precision = precision;
    // A single position is a run for one decoder: opening the file to plan
    // would cost as much as decoding a picture.
    media::Demuxer demuxer;
    if (positions.size() > 1) {
        demuxer.setMedia(source);
        demuxer.load();
    }
    m_runs = planRuns(demuxer, positions);
    // Unless set, one decoder per core, as many as the budget holds for
    // this picture size.
    m_decodersChosen = positions.size() == 1 ? 1 : 0;
    const media::CodecContext *codec = demuxer.videoCodecContext();
    if (m_decoderCount <= 0 && codec) {
        // A chooser decodes with a decoder of its own beside each one.
        const int perDecoder = m_makeChooser ? 2 : 1;
        const qint64 fit = m_memoryBudget / (perDecoder * decoderMemory(codec->width(), codec->height()));
        m_decodersChosen = int(qBound<qint64>(1, fit, qMax(1, QThread::idealThreadCount())));
    }
    m_nextRun = 0;
    m_next = 0;
    m_handedOut = 0;
    m_reserved = 0;
    m_results.clear();
    m_aborted = false;
    m_activeDecoders = int(qMin<size_t>(size_t(decoderCount()), m_runs.size()));
    qCDebug(lcCapture) << "fetching" << positions.size() << "positions in" << m_runs.size() << "runs on"
                       << m_activeDecoders << "decoders";
    for (int i = 0; i < m_activeDecoders; ++i) {
        FrameGrabber *grabber = i == 0 ? opened : nullptr;
        m_threads.emplace_back(QThread::create([this, grabber] { decodeRuns(grabber); }));
        m_threads.back()->start();
    }
}

bool FrameFetcher::extractNext()
{
    Result result;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_next >= m_positions.size())
            return false;
        auto ready = m_results.end();
        while (!m_aborted) {
            if (m_stopCheck && m_stopCheck()) {
                m_aborted = true;
                abortDecoders();
                break;
            }
            ready = m_results.find(m_next);
            if (ready != m_results.end())
                break;
            m_changed.wait_for(lock, PollInterval);
        }
        if (m_aborted)
            return false;
        result = ready->second;
        if (++m_handedOut >= m_positions.at(m_next).images) {
            m_results.erase(ready);
            ++m_next;
            m_handedOut = 0;
            --m_reserved;
        }
    }
    m_changed.notify_all();

    if (!result.note.isEmpty())
        emit note(result.note);
    if (result.valid)
        emit frameExtracted(result.frame);
    else
        emit error(result.errorMessage);
    return true;
}

void FrameFetcher::abort()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_aborted = true;
    abortDecoders();
}

// With the lock held.
void FrameFetcher::abortDecoders()
{
    for (FrameGrabber *grabber : m_grabbers)
        grabber->abort();
    for (Chooser *chooser : m_choosers)
        chooser->abort();
    m_changed.notify_all();
}

void FrameFetcher::stop()
{
    // A grabber keeps an abort that comes between two extractions for the
    // next one, and a decoder checks for it before starting one: each stops
    // at its next check.
    abort();
    for (const std::unique_ptr<QThread> &thread : m_threads)
        thread->wait();
    m_threads.clear();
    m_results.clear();
}

// The body of a decoder thread: takes runs until none is left, one position
// at a time, as long as the bound on waiting frames allows. Its grabber is
// the opened one given, or one of its own.
void FrameFetcher::decodeRuns(FrameGrabber *opened)
{
    std::unique_ptr<FrameGrabber> own;
    if (!opened) {
        own = std::make_unique<FrameGrabber>();
        own->setSource(m_source);
    }
    FrameGrabber &grabber = opened ? *opened : *own;
    // An abort of an earlier fetching that came after its last extraction.
    grabber.forgetAbort();
    grabber.setPrecision(m_precision);
    grabber.setKeyFramesOnly(m_keyFramesOnly);
    Result result;
    // The connections end with this thread's work.
    QObject receiver;
    connect(&grabber, &FrameGrabber::frameExtracted, &receiver, [&result](const media::VideoFrame &frame) {
        result.valid = true;
        result.frame = frame;
    }, Qt::DirectConnection);
    connect(&grabber, &FrameGrabber::error, &receiver, [&result](const QString &message) {
        result.errorMessage = message;
    }, Qt::DirectConnection);

    const std::unique_ptr<Chooser> chooser = m_makeChooser ? m_makeChooser() : nullptr;

    std::unique_lock<std::mutex> lock(m_lock);
    m_grabbers.push_back(&grabber);
    if (chooser)
        m_choosers.push_back(chooser.get());
    while (!m_aborted && m_nextRun < m_runs.size()) {
        const Run run = m_runs.at(m_nextRun++);
        for (int i = run.begin; i < run.end; ++i) {
            m_changed.wait(lock, [&] { return m_aborted || i == m_next || m_reserved <= m_activeDecoders; });
            if (m_aborted)
                break;
            ++m_reserved;
            lock.unlock();
            result = Result();
            const qint64 ms = m_positions.at(i).ms;
            if (!chooser || chooser->wantsFrameAt())
                grabber.extractAt(ms);
            if (chooser && (result.valid || !chooser->wantsFrameAt())) {
                media::VideoFrame chosen;
                result.valid = chooser->choose(ms, result.frame, &chosen, &result.note, &result.errorMessage);
                result.frame = chosen;
            }
            lock.lock();
            m_results.emplace(i, std::move(result));
            m_changed.notify_all();
        }
    }
    m_grabbers.erase(std::find(m_grabbers.begin(), m_grabbers.end(), &grabber));
    if (chooser)
        m_choosers.erase(std::find(m_choosers.begin(), m_choosers.end(), chooser.get()));
}
