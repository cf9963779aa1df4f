#include "image/interpolation.h"

template <typename T>
Interpolation<T>::~Interpolation() = default;

#define PLEXAN_INSTANTIATE(T) template class Interpolation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
