#include "image/voxelmatrixprocessing.h"

template <typename T>
VoxelMatrixProcessing<T>::~VoxelMatrixProcessing() = default;

#define PLEXAN_INSTANTIATE(T) template class VoxelMatrixProcessing<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
