#pragma once

#include <QString>
#include <QVector>

// The clips make-clips.sh makes for shot detection, with the transitions each
// holds. Frames count from 0 at 25 per second.
namespace ShotClips {

// A hard cut is the first frame of the new shot (first == last); a dissolve
// or fade the frames it takes, from the last of the old shot's picture to the
// first of the new one's.
struct Transition {
    int first;
    int last;
    bool isHard() const { return first == last; }
};

struct Clip {
    QString name;
    int frames;
    QVector<Transition> transitions;
};

// Every clip with known transitions, those without any included.
const QVector<Clip> &all();

// How a list of cut frames found in a clip fares against its transitions:
// a hard cut counts when found at its frame, a gradual transition when a cut
// lies within it; a second cut within one, and cuts elsewhere, are false.
struct Score {
    int found = 0;
    int missed = 0;
    int extra = 0;
};
Score score(const Clip &clip, const QVector<int> &cuts);

}
