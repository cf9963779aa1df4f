#include "statistics/masksurface.h"

#define PLEXAN_INSTANTIATE(T) template class MaskSurface<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
