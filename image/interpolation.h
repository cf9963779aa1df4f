#pragma once
// Interpolation<T>: samples a pixel or voxel matrix at a real position. The
// coordinates follow the index order: x1 along rows, x2 along columns, x3
// along planes. Instantiated for float, double and long double.

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"

template <typename T>
class Interpolation {
public:
    virtual ~Interpolation();

    virtual T eval(float x1, float x2, const PixelMatrix<T>& m) const = 0;
    virtual T eval(float x1, float x2, float x3, const VoxelMatrix<T>& m) const = 0;

    // The position's first two (resp. three) components as x1, x2 (, x3);
    // SizeError when it has fewer.
    T eval(const Vector<float>& position, const PixelMatrix<T>& m) const;
    T eval(const Vector<float>& position, const VoxelMatrix<T>& m) const;
};

#define PLEXAN_EXTERN_INTERPOLATION(T) extern template class Interpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_INTERPOLATION)
#undef PLEXAN_EXTERN_INTERPOLATION
