#pragma once
// LinearInterpolation<T>: bilinear (trilinear) interpolation between the 4
// (8) elements around the position, with i = floor(x1), j = floor(x2)
// (k = floor(x3)) and weights a = x1 - i, b = x2 - j (c = x3 - k). Where the
// position has no complete neighbourhood (from the last row, column or plane
// on, or outside) the nearest element is returned instead: values are never
// extrapolated.

#include "image/interpolation.h"

template <typename T>
class LinearInterpolation : public Interpolation<T> {
public:
    using Interpolation<T>::eval;
    // (1 - b)((1 - a) m(i, j) + a m(i+1, j)) + b((1 - a) m(i, j+1) + a m(i+1, j+1))
    T eval(float x1, float x2, const PixelMatrix<T>& m) const override;
    // (1 - c) x the bilinear value in plane k + c x the one in plane k + 1.
    T eval(float x1, float x2, float x3, const VoxelMatrix<T>& m) const override;
};

#define PLEXAN_EXTERN_LINEARINTERPOLATION(T) extern template class LinearInterpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_LINEARINTERPOLATION)
#undef PLEXAN_EXTERN_LINEARINTERPOLATION
