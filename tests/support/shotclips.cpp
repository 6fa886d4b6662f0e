#include "shotclips.h"

namespace ShotClips {

const QVector<Clip> &all()
{
    static const QVector<Clip> clips = {
        { QStringLiteral("shots-cuts.mp4"), 186, { { 31, 31 }, { 70, 70 }, { 113, 113 }, { 150, 150 } } },
        { QStringLiteral("shots-dissolves.mp4"), 120, { { 35, 50 }, { 70, 95 } } },
        { QStringLiteral("shots-fades.mp4"), 155, { { 40, 64 }, { 100, 115 } } },
        { QStringLiteral("shots-pan.mp4"), 100, {} },
        { QStringLiteral("shots-zoom.mp4"), 100, {} },
        { QStringLiteral("shots-flash.mp4"), 100, {} },
        { QStringLiteral("shots-text.mp4"), 100, {} },
        { QStringLiteral("shots-noise.mp4"), 75, {} },
        { QStringLiteral("shots-cuts-10bit.mkv"), 100, { { 30, 30 }, { 65, 65 } } },
        { QStringLiteral("shots-cuts-rotated.mp4"), 100, { { 27, 27 }, { 60, 60 } } },
    };
    return clips;
}

Score score(const Clip &clip, const QVector<int> &cuts)
{
    Score score;
    QVector<bool> taken(clip.transitions.size(), false);
    for (int cut : cuts) {
        bool matched = false;
        for (int i = 0; i < clip.transitions.size() && !matched; ++i) {
            const Transition &transition = clip.transitions.at(i);
            if (!taken.at(i) && cut >= transition.first && cut <= transition.last) {
                taken[i] = true;
                matched = true;
            }
        }
        if (matched)
            ++score.found;
        else
            ++score.extra;
    }
    score.missed = int(clip.transitions.size()) - score.found;
    return score;
}

}
