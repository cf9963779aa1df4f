#pragma once
// VolumeHistogramExpansion<T>: maps the value range (lo, hi) of a voxel matrix
// linearly onto (min, max): every voxel v becomes
//     (v - lo) x (max - min) / (hi - lo) + min,
// multiplication before division. Integer types compute it in 64 bits and
// truncate the quotient toward zero. A constant volume becomes min
// everywhere; an empty one is left alone.
//
// Element types: short, unsigned short, int, unsigned int, float, double,
// long double.

#include "image/voxelmatrix.h"
#include "image/voxelmatrixprocessing.h"

template <typename T>
class VolumeHistogramExpansion : public VoxelMatrixProcessing<T> {
public:
    VolumeHistogramExpansion() = default;

    void setMinMax(T min, T max)
    {
        m_min = min;
        m_max = max;
    }
    T getMin() const { return m_min; }
    T getMax() const { return m_max; }

    void apply(VoxelMatrix<T>& m) override;

protected:
    T m_min = T(0);
    T m_max = T(255);
};

#define PLEXAN_EXTERN_EXPANSION(T) extern template class VolumeHistogramExpansion<T>;
PLEXAN_EXTERN_EXPANSION(short)
PLEXAN_EXTERN_EXPANSION(unsigned short)
PLEXAN_EXTERN_EXPANSION(int)
PLEXAN_EXTERN_EXPANSION(unsigned int)
PLEXAN_EXTERN_EXPANSION(float)
PLEXAN_EXTERN_EXPANSION(double)
PLEXAN_EXTERN_EXPANSION(long double)
#undef PLEXAN_EXTERN_EXPANSION
