#pragma once

#include "imaging/cimageinterpolationkernel.h"

// Lanczos weights of order a sampled over one block: N positions per axis
// spread evenly from -a up to (but not including) +a, the table being the
// product of the two axes' weights, normalised to sum to 1. The resize uses
// it with a = 3 for reductions by a factor of 30 or more.
class CLanczosKernel : public CImageInterpolationKernel<float>
{
public:
    CLanczosKernel(int size, int a);

    // The one-dimensional Lanczos weight at distance x from the centre.
    static float weightAt(float x, int a);
};
