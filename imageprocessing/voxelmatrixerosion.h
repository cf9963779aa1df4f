#pragma once
// VoxelMatrixErosion<T>: grey-level erosion of a voxel matrix by a non-flat
// structuring element s of odd sizes 2p + 1, 2q + 1, 2r + 1 centred on the
// voxel: voxel (i, j, k) becomes the minimum over the element of the shifted image minus the element's values,
//     s(a, b, c) over a = 0..2p, b = 0..2q, c = 0..2r applied at
//     (i + a - p, j + b - q, k + c - r).
// Outside the image the voxels take the highest finite value of T, so the
// border never wins. Integer types saturate at the limits of T.
//
// The default element is the flat 3 x 3 x 3 cube (all zeros).
//
// Element types: short, unsigned short, int, unsigned int, float, double,
// long double.

#include "image/voxelmatrix.h"
#include "image/voxelmatrixprocessing.h"

template <typename T>
class VoxelMatrixErosion : public VoxelMatrixProcessing<T> {
public:
    VoxelMatrixErosion();

    // SizeError "Empty structuring element" when the sizes sum to 0,
    // "Structuring element with even size(s)" when a size is even.
    void setStructElt(const VoxelMatrix<T>& element);
    const VoxelMatrix<T>& getStructElt() const { return m_structElt; }

    void apply(VoxelMatrix<T>& m) override;

    // The result at voxel (i, j, k) of the image being processed (from the
    // padded copy that apply holds while it runs); the border value for a
    // voxel outside it, or outside apply.
    T localMinimum(int i, int j, int k) const;

protected:
    VoxelMatrix<T> m_structElt;
    T m_borderValue;
    VoxelMatrix<T> m_work; // the padded image, during apply only
};

#define PLEXAN_EXTERN_EROSION(T) extern template class VoxelMatrixErosion<T>;
PLEXAN_EXTERN_EROSION(short)
PLEXAN_EXTERN_EROSION(unsigned short)
PLEXAN_EXTERN_EROSION(int)
PLEXAN_EXTERN_EROSION(unsigned int)
PLEXAN_EXTERN_EROSION(float)
PLEXAN_EXTERN_EROSION(double)
PLEXAN_EXTERN_EROSION(long double)
#undef PLEXAN_EXTERN_EROSION
