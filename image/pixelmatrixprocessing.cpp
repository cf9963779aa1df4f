#include "image/pixelmatrixprocessing.h"

template <typename T>
PixelMatrixProcessing<T>::~PixelMatrixProcessing() = default;

#define PLEXAN_INSTANTIATE(T) template class PixelMatrixProcessing<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
