#include "imaging/cbicubickernel.h"

#include <cmath>

CBicubicKernel::CBicubicKernel(int size, float a)
    : CImageInterpolationKernel<float>(size)
{
    std::vector<float> axis(static_cast<std::size_t>(m_size));
    for (int i = 0; i < m_size; ++i)
        axis[std::size_t(i)] = weightAt(samplePosition(i, m_size, 2.0f), a);
    fillFromAxis(axis);
}

float CBicubicKernel::weightAt(float x, float a)
{
    const float t = std::fabs(x);
    if (t <= 1.0f)
        return (a + 2.0f) * t * t * t - (a + 3.0f) * t * t + 1.0f;
    if (t < 2.0f)
        return a * t * t * t - 5.0f * a * t * t + 8.0f * a * t - 4.0f * a;
    return 0.0f;
}
