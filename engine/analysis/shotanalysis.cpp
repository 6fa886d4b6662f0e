#include "shotanalysis.h"
#include "analysislog.h"

#include "analysis/smallpicture.h"
#include "capture/framescanner.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// Share of the progress the first pass takes; the refinement takes the rest.
constexpr float FirstPassShare = 0.9f;
// Frames decoded ahead of the detector, each holding a decoded picture.
constexpr size_t FramesAhead = 4;

/*
 * The first pass's pictures are reduced and judged on a thread of their own
 * while the decoder goes on with the next frames (its own threads and this
 * one share the cores): the caller hands each frame over with add(), which
 * waits only while FramesAhead frames are waiting already.
 */
class DetectorThread
{
public:
    explicit DetectorThread(ShotDetector &detector)
        : m_detector(detector)
        , m_thread([this] { work(); })
    {
    }
    ~DetectorThread() { finish(); }

    void add(const media::VideoFrame &frame, qint64 ms)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_waiting.size() < FramesAhead; });
        m_waiting.emplace_back(frame, ms);
        m_changed.notify_all();
    }
    // Waits until every frame handed over has been judged.
    void finish()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_done = true;
            m_changed.notify_all();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void work()
    {
        for (;;) {
            std::pair<media::VideoFrame, qint64> next;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_changed.wait(lock, [this] { return m_done || !m_waiting.empty(); });
                if (m_waiting.empty())
                    return;
                next = std::move(m_waiting.front());
                m_waiting.pop_front();
                m_changed.notify_all();
            }
            m_detector.addFrame(next.second, SmallPicture::fromFrame(next.first));
        }
    }

    ShotDetector &m_detector;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::pair<media::VideoFrame, qint64>> m_waiting;
    bool m_done = false;
    std::thread m_thread;
};

}

ShotAnalysis::ShotAnalysis(const QString &source)
    : m_source(source)
{
}

void ShotAnalysis::report(float progress) const
{
    if (m_progress)
        m_progress(qBound(0.0f, progress, 1.0f));
}

bool ShotAnalysis::run(qint64 fromMs, qint64 toMs)
{
    m_shots.clear();
    m_allBlank = false;
    m_error.clear();
    FrameScanner scanner(m_source);
    if (!scanner.open()) {
        m_error = scanner.errorString();
        return false;
    }
    const double rate = scanner.frameRate();
    const qint64 frameLength = rate > 0.0 ? qMax<qint64>(1, qint64(1000.0 / rate)) : 40;

    ShotDetector detector(m_threshold);
    qint64 lastMs = -1;
    bool stop = false;
    const qint64 length = qMax<qint64>(1, toMs - fromMs);
    DetectorThread detecting(detector);
    const bool scanned = scanner.scan(fromMs, toMs, FrameScanner::ReferenceFrames,
                                      [&](const media::VideoFrame &frame, qint64 ms) {
        if (stopped()) {
            stop = true;
            return false;
        }
        detecting.add(frame, ms);
        lastMs = ms;
        report(FirstPassShare * float(ms - fromMs) / float(length));
        return true;
    });
    detecting.finish();
    if (stop)
        return false;
    if (!scanned || lastMs < 0) {
        m_error = scanned ? QStringLiteral("no frame from %1 to %2 ms").arg(fromMs).arg(toMs) : scanner.errorString();
        return false;
    }
    detector.finish();

    // Each hard cut found between two frames further apart than one frame
    // lies on one of the frames the first pass left out.
    const QVector<ShotDetector::Transition> transitions = detector.transitions();
    for (int i = 0; i < transitions.size(); ++i) {
        const ShotDetector::Transition &cut = transitions.at(i);
        report(FirstPassShare + (1.0f - FirstPassShare) * float(i) / float(transitions.size()));
        if (!cut.hard || cut.cutMs - cut.previousMs <= frameLength * 3 / 2)
            continue;
        std::vector<SmallPicture> pictures;
        std::vector<qint64> times;
        const bool refined = scanner.scan(cut.previousMs, cut.cutMs, FrameScanner::AllFrames,
                                          [&](const media::VideoFrame &frame, qint64 ms) {
            pictures.push_back(SmallPicture::fromFrame(frame));
            times.push_back(ms);
            return !stopped();
        });
        if (stopped())
            return false;
        if (!refined) {
            qCWarning(lcAnalysis) << "cut near" << cut.cutMs << "ms stays there:" << scanner.errorString();
            continue;
        }
        const int exact = ShotDetector::largestChange(pictures);
        if (exact > 0)
            detector.moveCut(i, times[size_t(exact)]);
    }

    m_allBlank = detector.allBlank();
    const qint64 endMs = lastMs + frameLength;
    std::vector<ShotDetector::Shot> shots = detector.shots(endMs, m_minShot);
    // The first pass may have left out the first frame of the stretch.
    scanner.scan(fromMs, shots.front().startMs, FrameScanner::AllFrames, [&](const media::VideoFrame &, qint64 ms) {
        shots.front().startMs = ms;
        return false;
    });
    for (const ShotDetector::Shot &shot : shots) {
        const qint64 next = scanner.frameNumber(shot.endMs);
        m_shots.append({ shot.startMs, shot.endMs, scanner.frameNumber(shot.startMs), next < 0 ? -1 : next - 1,
                         shot.imageMs, shot.blank });
    }
    qCDebug(lcAnalysis) << m_source << "from" << fromMs << "to" << toMs << ":" << transitions.size()
                        << "transitions," << m_shots.size() << "shots";
    report(1.0f);
    return true;
}
