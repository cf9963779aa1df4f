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
    T eval(const Vector<float>& position, const PixelMatrix<T>& m) const
    {
        if (position.getSize() < 2)
            throwShortPosition("T Interpolation<T>::eval(const Vector<float>&,const PixelMatrix<T>&) const");
        return eval(position[0], position[1], m);
    }
    T eval(const Vector<float>& position, const VoxelMatrix<T>& m) const
    {
        if (position.getSize() < 3)
            throwShortPosition("T Interpolation<T>::eval(const Vector<float>&,const VoxelMatrix<T>&) const");
        return eval(position[0], position[1], position[2], m);
    }

private:
    [[noreturn]] static void throwShortPosition(const char* where);
};

#define PLEXAN_EXTERN_INTERPOLATION(T) extern template class Interpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_INTERPOLATION)
#undef PLEXAN_EXTERN_INTERPOLATION
