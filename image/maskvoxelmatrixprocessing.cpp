#include "image/maskvoxelmatrixprocessing.h"

template <typename T>
MaskVoxelMatrixProcessing<T>::~MaskVoxelMatrixProcessing() = default;

#define PLEXAN_INSTANTIATE(T) template class MaskVoxelMatrixProcessing<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
