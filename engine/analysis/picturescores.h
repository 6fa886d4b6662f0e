#pragma once

class SmallPicture;

// Scores of small pictures, the measures behind shot detection and the choice
// of frames: pure functions, free of any video. Differences are in percent
// of the full luma scale (100: black against white everywhere), the colour
// differences counting half as much as the luma.
namespace PictureScores {

// Near-uniform: black, white, one flat colour, or the dark end of a fade.
// True when neither luma nor colour varies across the picture by more than a
// few levels and it has no fine detail to speak of.
bool isBlank(const SmallPicture &picture);

// How much of picture b is not found in picture a. Each part of b is matched
// with the part of a that resembles it most within a few cells' shift, so
// that a camera that pans or a subject that moves counts for little, while a
// picture that is new, or lit differently, counts in full.
double difference(const SmallPicture &a, const SmallPicture &b);

// The mean difference of the cells at the same places, without matching.
double plainDifference(const SmallPicture &a, const SmallPicture &b);

// How far middle lies from the even blend of a and b: near 0 half-way
// through a dissolve or a fade from a to b, and near half their plain
// difference when middle is one of them.
double blendResidual(const SmallPicture &a, const SmallPicture &middle, const SmallPicture &b);

}
