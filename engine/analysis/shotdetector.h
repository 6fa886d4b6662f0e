#pragma once

#include "analysis/smallpicture.h"

#include <QVector>

#include <deque>
#include <vector>

// Finds where the shots of a stretch of video change, from its frames in time
// order (every frame, or a thinner selection whose hard cuts are placed on
// their exact frame afterwards), and splits the stretch into shots, each with
// the frame to take from it.
//
// Transitions:
// - A hard cut is a frame that differs from the one before it by at least the
//   threshold and by several times as much as the frames around it differ
//   from theirs, so that steady motion (pans, zooms, scrolling text, noise)
//   does not count; unless a frame before it shows again within a few frames
//   after it, as around a flash.
// - A gradual transition (a dissolve, a fade to or from black) is a frame
//   that is the even blend of the frames some way before and after it, which
//   differ from each other by at least the threshold.
// Transitions that overlap are one. A shot whose frames are all blank (the
// black between a fade out and a fade in) joins its neighbours, and so does a
// shot shorter than the minimum length, across its weaker boundary.
//
// Memory: only the last few seconds of pictures are kept, and a few numbers
// per frame. Not thread-safe; used by one thread.
class ShotDetector
{
public:
    // Percent of the full luma scale; see PictureScores.
    static constexpr double DefaultThreshold = 8.0;

    struct Transition {
        qint64 cutMs;       // the first frame of the new shot
        qint64 firstMs;     // the stretch the transition takes (cutMs for a hard cut)
        qint64 lastMs;
        qint64 previousMs;  // the frame given before cutMs: a hard cut lies after it
        bool hard;
        double score;       // how different the shots are, in percent
    };
    struct Shot {
        qint64 startMs;     // the first frame
        qint64 endMs;       // where the next shot starts (or the stretch ends)
        qint64 imageMs;     // the frame to take
        bool blank;         // the frame to take is blank: the shot has no other
    };

    explicit ShotDetector(double threshold = DefaultThreshold);

    // The frames in time order; then finish() once.
    void addFrame(qint64 ms, const SmallPicture &picture);
    void finish();

    const QVector<Transition> &transitions() const { return m_transitions; }
    // Puts a hard cut on its exact frame, found between its previousMs and
    // its cutMs by looking at every frame there.
    void moveCut(int transition, qint64 ms);
    // True when every frame given was blank.
    bool allBlank() const;

    // The shots from the first frame given to endMs, shots shorter than
    // minShotMs joined to a neighbour. Each takes its sharpest non-blank
    // frame away from the transitions at its ends.
    std::vector<Shot> shots(qint64 endMs, qint64 minShotMs) const;

    // The index of the frame among pictures (consecutive frames) that differs
    // most from the one before it: 0 when there are fewer than two.
    static int largestChange(const std::vector<SmallPicture> &pictures);

private:
    struct Frame {
        qint64 ms;
        float detail;
        bool blank;
    };
    struct Recent {
        qint64 ms;
        SmallPicture picture;
        double change;     // difference from the frame before; 0 for the first
        double plainChange;  // the same without matching
        double matchedChange = -1.0;  // with matching, worked out when first needed
        bool evaluated = false;
    };

    void evaluate(size_t i);
    bool isHardCut(size_t i) const;
    bool isFlash(size_t i) const;
    void checkBlend(size_t i);
    size_t nearest(qint64 ms) const;
    double motionShare(size_t start, size_t end);
    void addTransition(const Transition &transition);

    double m_threshold;
    std::deque<Recent> m_recent;
    std::vector<Frame> m_frames;
    QVector<Transition> m_transitions;
};
