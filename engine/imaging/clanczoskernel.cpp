#include "imaging/clanczoskernel.h"

#include <cmath>

CLanczosKernel::CLanczosKernel(int size, int a)
    : CImageInterpolationKernel<float>(size)
{
    std::vector<float> axis(static_cast<std::size_t>(m_size));
    for (int i = 0; i < m_size; ++i)
        axis[std::size_t(i)] = weightAt(samplePosition(i, m_size, float(a)), a);
    fillFromAxis(axis);
}

float CLanczosKernel::weightAt(float x, int a)
{
    const float t = std::fabs(x);
    if (t < 0.0001f)
        return 1.0f;
    if (t < float(a)) {
        // Evaluated in double from the single-precision position.
        const double pi = 3.141592653589793;
        const double xd = x;
        return float(a * std::sin(pi * xd) * std::sin(pi * xd / a) / (pi * pi * xd * xd));
    }
    return 0.0f;
}
