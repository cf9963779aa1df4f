#include "image/interpolation.h"

template <typename T>
Interpolation<T>::~Interpolation() = default;

template <typename T>
void Interpolation<T>::throwShortPosition(const char* where)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat("Position vector has too few coordinates");
    throw e;
}

#define PLEXAN_INSTANTIATE(T) template class Interpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
