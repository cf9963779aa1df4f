#pragma once
// NearestInterpolation<T>: the element nearest to the position, each index
// floor(x + 0.5) clamped to the matrix. The matrix must not be empty
// (SizeError).

#include "image/interpolation.h"

template <typename T>
class NearestInterpolation : public Interpolation<T> {
public:
    using Interpolation<T>::eval;
    T eval(float x1, float x2, const PixelMatrix<T>& m) const override;
    T eval(float x1, float x2, float x3, const VoxelMatrix<T>& m) const override;

    // floor(x + 0.5) clamped to [0, n - 1] (NaN gives 0).
    static int nearestIndex(float x, int n)
    {
        const float r = x + 0.5f;
        if (!(r >= 1.0f))
            return 0;
        if (r >= static_cast<float>(n))
            return n - 1;
        return static_cast<int>(r); // r >= 1: truncation is floor
    }
};

#define PLEXAN_EXTERN_NEARESTINTERPOLATION(T) extern template class NearestInterpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_NEARESTINTERPOLATION)
#undef PLEXAN_EXTERN_NEARESTINTERPOLATION
