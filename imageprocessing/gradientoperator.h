#pragma once
// GradientOperator<T>: the gradient of pixel and voxel matrices and what is
// built on it: gradient norm and angle, non-maximum suppression (thinning the
// norm to its ridges along the gradient direction) and hysteresis
// thresholding. The directional derivatives themselves come from a subclass
// (DericheGradient).
//
// Directions: x runs along a row (the column index j), y down the rows (the
// row index i); hGradient is the derivative along x, vGradient along y.
//
// Element types: float, double, long double.

#include "image/pixelmatrixprocessing.h"
#include "image/voxelmatrixprocessing.h"

template <typename T>
class GradientOperator : public PixelMatrixProcessing<T>, public VoxelMatrixProcessing<T> {
public:
    ~GradientOperator() override = default;

    // m becomes its gradient norm.
    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& v) override;

    // In place: the derivative along the first (row) index, along the second
    // (column) index, along x, along y; in 3D along the first, second or
    // third index.
    virtual void gradient1(PixelMatrix<T>& m) = 0;
    virtual void gradient2(PixelMatrix<T>& m) = 0;
    virtual void hGradient(PixelMatrix<T>& m) = 0;
    virtual void vGradient(PixelMatrix<T>& m) = 0;
    virtual void gradient1(VoxelMatrix<T>& v) = 0;
    virtual void gradient2(VoxelMatrix<T>& v) = 0;
    virtual void gradient3(VoxelMatrix<T>& v) = 0;

    // out = sqrt(a^2 + b^2) (and + c^2), element by element.
    void norm(PixelMatrix<T>& out, const PixelMatrix<T>& a, const PixelMatrix<T>& b) const;
    void norm(VoxelMatrix<T>& out, const VoxelMatrix<T>& a, const VoxelMatrix<T>& b, const VoxelMatrix<T>& c) const;
    // m becomes the norm of its own gradient.
    void norm(PixelMatrix<T>& m);
    // out = atan2(gy, gx), element by element.
    void angle(PixelMatrix<T>& out, const PixelMatrix<T>& gx, const PixelMatrix<T>& gy) const;
    // m becomes the angle of its own gradient.
    void angle(PixelMatrix<T>& m);

    // Non-maximum suppression of a norm given its gradient gx, gy: an element
    // keeps its norm where it is larger than the neighbour behind it along the
    // gradient direction and at least as large as the one ahead, else becomes
    // 0. N4 compares with the two 4-neighbours along the dominant axis, N8
    // with the two 8-neighbours of the direction quantised to multiples of 45
    // degrees. The outermost rows and columns become 0.
    void nonmaxSuppressionN4(PixelMatrix<T>& norm, const PixelMatrix<T>& gx, const PixelMatrix<T>& gy) const;
    void nonmaxSuppressionN8(PixelMatrix<T>& norm, const PixelMatrix<T>& gx, const PixelMatrix<T>& gy) const;
    // m becomes the norm of its gradient thinned by nonmaxSuppressionN8.
    void nonmaxSuppression(PixelMatrix<T>& m);

    // Sub-pixel suppression: the norm N of an interior element is compared
    // with the norm interpolated bilinearly one unit ahead and one unit behind
    // along the unit gradient (gx / N, gy / N); it stays only if it exceeds
    // both. The outermost rows and columns become 0.
    void fineNonmaxSuppression(PixelMatrix<T>& norm, const PixelMatrix<T>& gx, const PixelMatrix<T>& gy) const;
    // The same with gx in m, which receives the thinned norm.
    void fineNonmaxSuppression(PixelMatrix<T>& m, const PixelMatrix<T>& gy) const;

    // Over the interior elements: below low becomes 0; at or above high
    // becomes 1, as does every element between the two connected to such an
    // element through 8-neighbours between the two; the others become 0. The
    // outermost rows and columns are not touched.
    void hysteresisThresholding(PixelMatrix<T>& m, T low, T high) const;

protected:
    GradientOperator() = default;
};

extern template class GradientOperator<float>;
extern template class GradientOperator<double>;
extern template class GradientOperator<long double>;
