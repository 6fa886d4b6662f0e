#include "shotdetector.h"

#include "analysis/picturescores.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace {

// A cut stands out from the changes of the frames within LevelWindow before
// and after it by at least PeakRatio times their median.
constexpr qint64 LevelWindow = 500;
constexpr double PeakRatio = 2.5;
// A frame from before a cut that shows again within FlashWindow after it
// (differing by at most FlashLikeness of the cut's change) makes it a flash.
constexpr qint64 FlashWindow = 400;
constexpr double FlashLikeness = 0.35;
constexpr int FlashFramesBefore = 4;
// Half-lengths of the blends looked for, and how closely the middle frame
// must match the blend, as a share of the ends' difference.
constexpr std::array<qint64, 6> BlendHalves = { 120, 200, 320, 480, 720, 1000 };
constexpr double BlendFit = 0.35;
// A camera that moves over a smooth picture changes it almost as evenly as a
// blend: frame by frame, matching explains most of that change and little of
// a blend's.
constexpr double MotionLimit = 0.55;
// A frame is judged once frames this far after it are known, and pictures
// this far before the oldest frame not yet judged are kept.
constexpr qint64 Lookahead = 1000 + 500;
constexpr qint64 Lookback = 1000 + 500;
// Frames this close to a shot's ends are not its image, up to a tenth of it.
constexpr qint64 ImageGuard = 200;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

bool within(qint64 ms, const ShotDetector::Transition &transition)
{
    return ms >= transition.firstMs && ms <= transition.lastMs;
}

}

ShotDetector::ShotDetector(double threshold)
    : m_threshold(threshold)
{
}

void ShotDetector::addFrame(qint64 ms, const SmallPicture &picture)
{
    double change = 0.0;
    double plain = 0.0;
    double matched = -1.0;
    if (!m_recent.empty()) {
        // The matching difference is never above the plain one, and costs
        // more: worth it only when the plain one reaches the threshold.
        const SmallPicture &previous = m_recent.back().picture;
        plain = PictureScores::plainDifference(previous, picture);
        change = plain;
        if (plain >= m_threshold) {
            matched = PictureScores::difference(previous, picture);
            change = matched;
        }
    }
    m_recent.push_back({ ms, picture, change, plain, matched });
    m_frames.push_back({ ms, picture.detail(), PictureScores::isBlank(picture) });

    size_t next = 0;
    while (next < m_recent.size() && m_recent[next].evaluated)
        ++next;
    for (; next < m_recent.size() && m_recent[next].ms <= ms - Lookahead; ++next)
        evaluate(next);
    while (!m_recent.empty() && m_recent.front().evaluated && m_recent.front().ms < ms - Lookahead - Lookback)
        m_recent.pop_front();
}

void ShotDetector::finish()
{
    for (size_t i = 0; i < m_recent.size(); ++i) {
        if (!m_recent[i].evaluated)
            evaluate(i);
    }
    m_recent.clear();
}

void ShotDetector::evaluate(size_t i)
{
    m_recent[i].evaluated = true;
    // The first frame given has nothing before it to differ from.
    if (i == 0 || m_recent[i].ms == m_frames.front().ms)
        return;
    if (isHardCut(i)) {
        const Recent &frame = m_recent[i];
        addTransition({ frame.ms, frame.ms, frame.ms, m_recent[i - 1].ms, true, frame.change });
    }
    checkBlend(i);
}

bool ShotDetector::isHardCut(size_t i) const
{
    const Recent &frame = m_recent[i];
    if (i == 0 || frame.change < m_threshold)
        return false;
    std::vector<double> before;
    for (size_t j = i - 1; j > 0 && m_recent[j].ms >= frame.ms - LevelWindow; --j)
        before.push_back(m_recent[j].change);
    std::vector<double> after;
    for (size_t j = i + 1; j < m_recent.size() && m_recent[j].ms <= frame.ms + LevelWindow; ++j)
        after.push_back(m_recent[j].change);
    if (frame.change < PeakRatio * std::max(median(before), median(after)))
        return false;
    return !isFlash(i);
}

bool ShotDetector::isFlash(size_t i) const
{
    const Recent &frame = m_recent[i];
    const double likeness = FlashLikeness * frame.change;
    for (size_t a = i; a-- > 0 && i - a <= FlashFramesBefore && m_recent[a].ms >= frame.ms - FlashWindow;) {
        for (size_t b = i + 1; b < m_recent.size() && m_recent[b].ms <= frame.ms + FlashWindow; ++b) {
            const SmallPicture &early = m_recent[a].picture;
            const SmallPicture &late = m_recent[b].picture;
            if (PictureScores::plainDifference(early, late) <= likeness
                || PictureScores::difference(early, late) <= likeness)
                return true;
        }
    }
    return false;
}

/*
 * A dissolve or fade half-way through: the frame is the blend of the frames
 * a half-length before and after it (with a half-length of its own each, the
 * frame closest to those times standing in), those differ by at least the
 * threshold, also when matched for motion, and matching does not explain most
 * of the change between them frame by frame. Of the half-lengths that fit,
 * the one of the highest score (difference times closeness of fit) gives the
 * transition's stretch.
 */
void ShotDetector::checkBlend(size_t c)
{
    const Recent &middle = m_recent[c];
    Transition best { middle.ms, middle.ms, middle.ms, m_recent[c - 1].ms, false, 0.0 };
    for (const qint64 half : BlendHalves) {
        const size_t s = nearest(middle.ms - half);
        const size_t e = nearest(middle.ms + half);
        if (s >= c || e <= c || qAbs(m_recent[s].ms - (middle.ms - half)) > half / 2
            || qAbs(m_recent[e].ms - (middle.ms + half)) > half / 2)
            continue;
        const SmallPicture &start = m_recent[s].picture;
        const SmallPicture &end = m_recent[e].picture;
        const double plain = PictureScores::plainDifference(start, end);
        if (plain < m_threshold)
            continue;
        double fit = PictureScores::blendResidual(start, middle.picture, end) / plain;
        if (fit > BlendFit)
            continue;
        const double matched = PictureScores::difference(start, end);
        // The looser the fit, the larger the change must be.
        const double score = matched * (1.0 - 2.0 * fit);
        if (score < m_threshold || motionShare(s, e) > MotionLimit)
            continue;
        if (score > best.score) {
            best.firstMs = m_recent[s].ms;
            best.lastMs = m_recent[e].ms;
            best.score = score;
        }
    }
    if (best.score > 0.0)
        addTransition(best);
}

// How much of the change from frame start to frame end, frame by frame, the
// matching explains: near 1 for a camera that moves, near 0 for a blend.
double ShotDetector::motionShare(size_t start, size_t end)
{
    double plain = 0.0;
    double matched = 0.0;
    for (size_t i = start + 1; i <= end; ++i) {
        Recent &frame = m_recent[i];
        if (frame.matchedChange < 0.0)
            frame.matchedChange = PictureScores::difference(m_recent[i - 1].picture, frame.picture);
        plain += frame.plainChange;
        matched += frame.matchedChange;
    }
    return plain > 0.0 ? 1.0 - matched / plain : 0.0;
}

// The recent frame closest in time to ms.
size_t ShotDetector::nearest(qint64 ms) const
{
    const auto after = std::lower_bound(m_recent.begin(), m_recent.end(), ms,
                                        [](const Recent &frame, qint64 t) { return frame.ms < t; });
    if (after == m_recent.begin())
        return 0;
    if (after == m_recent.end())
        return m_recent.size() - 1;
    const auto before = std::prev(after);
    return size_t((ms - before->ms <= after->ms - ms ? before : after) - m_recent.begin());
}

// Transitions come in time order; one that overlaps the last is the same
// transition, placed where the stronger of the two puts it.
void ShotDetector::addTransition(const Transition &transition)
{
    if (m_transitions.isEmpty() || transition.firstMs > m_transitions.constLast().lastMs) {
        m_transitions.append(transition);
        return;
    }
    Transition &last = m_transitions.last();
    const qint64 first = qMin(last.firstMs, transition.firstMs);
    const qint64 end = qMax(last.lastMs, transition.lastMs);
    // A hard cut is where it is; of two blends the one that fits best.
    if (transition.hard != last.hard ? transition.hard : transition.score > last.score)
        last = transition;
    last.firstMs = first;
    last.lastMs = end;
}

void ShotDetector::moveCut(int transition, qint64 ms)
{
    Transition &moved = m_transitions[transition];
    moved.cutMs = ms;
    moved.firstMs = ms;
    moved.lastMs = ms;
}

bool ShotDetector::allBlank() const
{
    return !m_frames.empty()
        && std::all_of(m_frames.begin(), m_frames.end(), [](const Frame &frame) { return frame.blank; });
}

int ShotDetector::largestChange(const std::vector<SmallPicture> &pictures)
{
    int largest = 0;
    double most = -1.0;
    for (size_t i = 1; i < pictures.size(); ++i) {
        const double change = PictureScores::difference(pictures[i - 1], pictures[i]);
        if (change > most) {
            most = change;
            largest = int(i);
        }
    }
    return largest;
}

/*
 * Shots from the transitions, in two rounds of joining: first every shot
 * that has no non-blank frame outside its transitions joins its neighbours
 * (a shot in the middle makes its two transitions one, cut where the next
 * shot starts), then, shortest first, every shot shorter than the minimum
 * loses its weaker boundary. Each shot's image is its frame of most detail
 * that is not blank, not in a transition and not within the guard of its
 * ends; failing that the one of most detail that is not blank; failing that
 * (a blank shot: a blank video) the frame in its middle.
 */
std::vector<ShotDetector::Shot> ShotDetector::shots(qint64 endMs, qint64 minShotMs) const
{
    std::vector<Shot> shots;
    if (m_frames.empty())
        return shots;
    const qint64 startMs = m_frames.front().ms;
    std::vector<Transition> cuts;
    for (const Transition &transition : m_transitions) {
        if (transition.cutMs > startMs && transition.cutMs < endMs)
            cuts.push_back(transition);
    }
    const auto framesFrom = [this](qint64 ms) {
        return std::lower_bound(m_frames.begin(), m_frames.end(), ms,
                                [](const Frame &frame, qint64 t) { return frame.ms < t; });
    };
    const auto shotStart = [&](size_t k) { return k == 0 ? startMs : cuts[k - 1].cutMs; };
    const auto shotEnd = [&](size_t k) { return k == cuts.size() ? endMs : cuts[k].cutMs; };
    // Whether frame lies in a transition at either end of shot k.
    const auto inTransition = [&](size_t k, qint64 ms) {
        return (k > 0 && within(ms, cuts[k - 1])) || (k < cuts.size() && within(ms, cuts[k]));
    };

    for (bool joined = true; joined && !cuts.empty();) {
        joined = false;
        for (size_t k = 0; k <= cuts.size(); ++k) {
            bool seen = false;
            for (auto f = framesFrom(shotStart(k)); f != m_frames.end() && f->ms < shotEnd(k) && !seen; ++f)
                seen = !f->blank && !inTransition(k, f->ms);
            if (seen)
                continue;
            if (k == 0) {
                cuts.erase(cuts.begin());
            } else if (k == cuts.size()) {
                cuts.pop_back();
            } else {
                Transition &next = cuts[k];
                const Transition &previous = cuts[k - 1];
                next.firstMs = qMin(previous.firstMs, next.firstMs);
                next.score = qMax(previous.score, next.score);
                cuts.erase(cuts.begin() + std::ptrdiff_t(k - 1));
            }
            joined = true;
            break;
        }
    }

    while (!cuts.empty()) {
        size_t shortest = 0;
        for (size_t k = 1; k <= cuts.size(); ++k) {
            if (shotEnd(k) - shotStart(k) < shotEnd(shortest) - shotStart(shortest))
                shortest = k;
        }
        if (shotEnd(shortest) - shotStart(shortest) >= minShotMs)
            break;
        size_t weaker = shortest == cuts.size() ? shortest - 1 : shortest;
        if (shortest > 0 && shortest < cuts.size() && cuts[shortest - 1].score < cuts[shortest].score)
            weaker = shortest - 1;
        cuts.erase(cuts.begin() + std::ptrdiff_t(weaker));
    }

    for (size_t k = 0; k <= cuts.size(); ++k) {
        const qint64 start = shotStart(k);
        const qint64 end = shotEnd(k);
        const qint64 guard = qMin(ImageGuard, (end - start) / 10);
        auto best = m_frames.end();
        auto bestAnywhere = m_frames.end();
        auto middle = m_frames.end();
        for (auto f = framesFrom(start); f != m_frames.end() && f->ms < end; ++f) {
            if (middle == m_frames.end() || qAbs(f->ms - (start + end) / 2) < qAbs(middle->ms - (start + end) / 2))
                middle = f;
            if (f->blank)
                continue;
            if (bestAnywhere == m_frames.end() || f->detail > bestAnywhere->detail)
                bestAnywhere = f;
            if (f->ms >= start + guard && f->ms < end - guard && !inTransition(k, f->ms)
                && (best == m_frames.end() || f->detail > best->detail))
                best = f;
        }
        if (best == m_frames.end())
            best = bestAnywhere;
        const bool blank = best == m_frames.end();
        if (blank)
            best = middle;
        shots.push_back({ start, end, best == m_frames.end() ? start : best->ms, blank });
    }
    return shots;
}
