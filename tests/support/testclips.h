#pragma once

#include <QString>

// Where the generated test clips and the built programs are. Clips are made
// once per build tree by make-clips.sh; see that script for what each holds.
namespace TestClips {

// Absolute path of a clip in the build tree's clip folder, e.g. "vp9.webm".
QString path(const QString &name);

// Absolute path of a file in the build tree, e.g. "cli/tindracmd".
QString builtFile(const QString &relativePath);

// Time in ms of frame n relative to the first frame: every clip runs at 25 fps.
constexpr qint64 frameTime(int n) { return qint64(n) * 40; }

}
