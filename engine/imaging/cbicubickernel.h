#pragma once

#include "imaging/cimageinterpolationkernel.h"

// Bicubic weights sampled over one block: N positions per axis spread evenly
// from -2 up to (but not including) +2, the table being the product of the
// two axes' weights, normalised to sum to 1. The resize passes a = 0.5, which
// makes the outer lobe positive.
class CBicubicKernel : public CImageInterpolationKernel<float>
{
public:
    CBicubicKernel(int size, float a);

    // The one-dimensional bicubic weight at distance x from the centre.
    static float weightAt(float x, float a);
};
