#pragma once
// PixelMatrixProcessing<T>: the base of every operation that transforms a
// PixelMatrix<T> in place. Operations are configured through their setters,
// then run by apply(), reporting progress through their ProgressSubject (a
// virtual base, shared by operations that work on both pixel and voxel
// matrices).
//
// Instantiated for char, unsigned char, short, unsigned short, int,
// unsigned int, float, double and long double.

#include "image/pixelmatrix.h"
#include "numerics/progresssubject.h"

template <typename T>
class PixelMatrixProcessing : public virtual ProgressSubject {
public:
    PixelMatrixProcessing() = default;
    ~PixelMatrixProcessing() override;

    // Replaces m by the result of the operation.
    virtual void apply(PixelMatrix<T>& m) = 0;
};

#define PLEXAN_EXTERN_PIXELMATRIXPROCESSING(T) extern template class PixelMatrixProcessing<T>;
PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_EXTERN_PIXELMATRIXPROCESSING)
#undef PLEXAN_EXTERN_PIXELMATRIXPROCESSING
