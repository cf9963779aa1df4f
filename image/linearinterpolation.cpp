#include "image/linearinterpolation.h"

#include "image/nearestinterpolation.h"

#include <cmath>

namespace {

// floor(x) when 0 <= floor(x) < n - 1, that is when x has a right neighbour
// inside [0, n - 1]; -1 otherwise (NaN included).
int lowerIndex(float x, int n)
{
    if (!(x >= 0.0f) || !(x < static_cast<float>(n - 1)))
        return -1;
    return static_cast<int>(x);
}

template <typename T>
T bilinear(const PixelMatrix<T>& m, int i, int j, T a, T b)
{
    const T* r0 = m[i].data() + j;
    const T* r1 = m[i + 1].data() + j;
    return (T(1) - b) * ((T(1) - a) * r0[0] + a * r1[0]) + b * ((T(1) - a) * r0[1] + a * r1[1]);
}

} // namespace

template <typename T>
T LinearInterpolation<T>::eval(float x1, float x2, const PixelMatrix<T>& m) const
{
    const int i = lowerIndex(x1, m.getSize1());
    const int j = lowerIndex(x2, m.getSize2());
    if (i < 0 || j < 0)
        return NearestInterpolation<T>().eval(x1, x2, m);
    return bilinear(m, i, j, static_cast<T>(x1 - static_cast<float>(i)), static_cast<T>(x2 - static_cast<float>(j)));
}

template <typename T>
T LinearInterpolation<T>::eval(float x1, float x2, float x3, const VoxelMatrix<T>& m) const
{
    const int i = m.hasPlanes() ? lowerIndex(x1, m.getSize1()) : -1;
    const int j = lowerIndex(x2, m.getSize2());
    const int k = lowerIndex(x3, m.getSize3());
    if (i < 0 || j < 0 || k < 0)
        return NearestInterpolation<T>().eval(x1, x2, x3, m);
    const T a = static_cast<T>(x1 - static_cast<float>(i));
    const T b = static_cast<T>(x2 - static_cast<float>(j));
    const T c = static_cast<T>(x3 - static_cast<float>(k));
    return (T(1) - c) * bilinear(m[k], i, j, a, b) + c * bilinear(m[k + 1], i, j, a, b);
}

#define PLEXAN_INSTANTIATE(T) template class LinearInterpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
