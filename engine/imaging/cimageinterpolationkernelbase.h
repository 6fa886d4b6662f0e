#pragma once

// The interface the kernel resize reads its weights through: an N x N table
// of weights indexed by block column i and block row j. Kernels are plain
// objects made on the stack for one resize.
template <typename T>
class CImageInterpolationKernelBase
{
public:
    virtual ~CImageInterpolationKernelBase() = default;

    // Weight of block column i, block row j; callers keep 0 <= i, j < size().
    virtual T weight(int i, int j) const = 0;

    // N, the side of the table.
    virtual int size() const = 0;
};
