#include "image/interpolation.h"

template <typename T>
Interpolation<T>::~Interpolation() = default;

namespace {

[[noreturn]] void throwShortPosition(const char* where)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat("Position vector has too few coordinates");
    throw e;
}

} // namespace

template <typename T>
T Interpolation<T>::eval(const Vector<float>& position, const PixelMatrix<T>& m) const
{
    if (position.getSize() < 2)
        throwShortPosition("T Interpolation<T>::eval(const Vector<float>&,const PixelMatrix<T>&) const");
    return eval(position[0], position[1], m);
}

template <typename T>
T Interpolation<T>::eval(const Vector<float>& position, const VoxelMatrix<T>& m) const
{
    if (position.getSize() < 3)
        throwShortPosition("T Interpolation<T>::eval(const Vector<float>&,const VoxelMatrix<T>&) const");
    return eval(position[0], position[1], position[2], m);
}

#define PLEXAN_INSTANTIATE(T) template class Interpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
