#include "image/maskpixelmatrixprocessing.h"

template <typename T>
MaskPixelMatrixProcessing<T>::~MaskPixelMatrixProcessing() = default;

#define PLEXAN_INSTANTIATE(T) template class MaskPixelMatrixProcessing<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
