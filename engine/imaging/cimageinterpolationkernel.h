#pragma once

#include "imaging/cimageinterpolationkernelbase.h"

#include <vector>

// An N x N weight table held in memory. Derived kernels fill m_weights in
// their constructor and call normalize(), so that the whole table sums to 1.
template <typename T>
class CImageInterpolationKernel : public CImageInterpolationKernelBase<T>
{
public:
    // A table of size x size zeros; a negative size gives an empty table.
    explicit CImageInterpolationKernel(int size)
        : m_size(size > 0 ? size : 0),
          m_weights(std::size_t(m_size), std::vector<T>(std::size_t(m_size), T(0)))
    {
    }

    ~CImageInterpolationKernel() override = default;

    // No range check: the resize only asks for 0 <= i, j < size().
    T weight(int i, int j) const override { return m_weights[std::size_t(i)][std::size_t(j)]; }

    int size() const override { return m_size; }

protected:
    // Position of sample i of n on an axis that runs from -radius up to
    // radius * (1 - 2 / n), computed in T: the samples are tied to the block,
    // the sample at n / 2 lying at 0 when n is even.
    static T samplePosition(int i, int n, T radius)
    {
        return (T(i) / T(n) - T(0.5)) * T(2) * radius;
    }

    // Fills the table with the products of the per-axis weights,
    // m_weights[i][j] = axis[i] * axis[j], and normalises it.
    void fillFromAxis(const std::vector<T> &axis)
    {
        for (std::size_t i = 0; i < m_weights.size(); ++i) {
            for (std::size_t j = 0; j < m_weights.size(); ++j)
                m_weights[i][j] = axis[i] * axis[j];
        }
        normalize();
    }

    // Divides every weight by the sum of all weights, taken in one accumulator
    // of type T row by row (the resize's results depend on this rounding).
    // A table that sums to 0 (a kernel sampled only where it vanishes, as a
    // 1 x 1 table is) is left as it is rather than filled with NaNs.
    void normalize()
    {
        T sum = T(0);
        for (const std::vector<T> &row : m_weights) {
            for (const T value : row)
                sum += value;
        }
        if (sum == T(0))
            return;
        for (std::vector<T> &row : m_weights) {
            for (T &value : row)
                value /= sum;
        }
    }

    int m_size;
    std::vector<std::vector<T>> m_weights;
};
