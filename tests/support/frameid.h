#pragma once

#include <QImage>

// Reads back the frame number that make-clips.sh draws into every test picture:
// 16 blocks across the top eighth, block i white when bit i is set.
namespace FrameId {

// The frame number, or -1 when the picture does not carry a readable mark
// (wrong frame layout, rotated, or not a test clip at all).
int read(const QImage &image);

}
