#pragma once
// VoxelMatrixProcessing<T>: the base of every operation that transforms a
// VoxelMatrix<T> in place. Operations are configured through their setters,
// then run by apply(), reporting progress through their ProgressSubject (a
// virtual base, shared by operations that work on both pixel and voxel
// matrices).
//
// Instantiated for char, unsigned char, short, unsigned short, int,
// unsigned int, float, double and long double.

#include "image/voxelmatrix.h"
#include "numerics/progresssubject.h"

template <typename T>
class VoxelMatrixProcessing : public virtual ProgressSubject {
public:
    VoxelMatrixProcessing() = default;
    ~VoxelMatrixProcessing() override;

    // Replaces m by the result of the operation.
    virtual void apply(VoxelMatrix<T>& m) = 0;
};

#define PLEXAN_EXTERN_VOXELMATRIXPROCESSING(T) extern template class VoxelMatrixProcessing<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_EXTERN_VOXELMATRIXPROCESSING)
#undef PLEXAN_EXTERN_VOXELMATRIXPROCESSING
