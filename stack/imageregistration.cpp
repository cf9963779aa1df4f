#include "stack/imageregistration.h"

#define PLEXAN_INSTANTIATE(T) template class ImageRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
