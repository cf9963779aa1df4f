#include "image/nearestinterpolation.h"

namespace {

[[noreturn]] void throwEmpty(const char* where)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat("This matrix is empty");
    throw e;
}

} // namespace

template <typename T>
T NearestInterpolation<T>::eval(float x1, float x2, const PixelMatrix<T>& m) const
{
    const int rows = m.getSize1();
    const int cols = m.getSize2();
    if (rows < 1 || cols < 1)
        throwEmpty("T NearestInterpolation<T>::eval(const float,const float,const PixelMatrix<T>&) const");
    return m(nearestIndex(x1, rows), nearestIndex(x2, cols));
}

template <typename T>
T NearestInterpolation<T>::eval(float x1, float x2, float x3, const VoxelMatrix<T>& m) const
{
    if (m.isEmpty() || !m.hasPlanes())
        throwEmpty("T NearestInterpolation<T>::eval(const float,const float,const float,const VoxelMatrix<T>&) "
                   "const");
    return m(nearestIndex(x1, m.getSize1()), nearestIndex(x2, m.getSize2()), nearestIndex(x3, m.getSize3()));
}

#define PLEXAN_INSTANTIATE(T) template class NearestInterpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
