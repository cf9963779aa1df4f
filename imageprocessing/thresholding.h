#pragma once
// Thresholding<T>: binarises pixel and voxel matrices in place against a fixed
// threshold, and works on the binarised result: masks of one level, thinning
// of the regions to their boundaries, and boundary following into curves.
//
// An element v becomes the foreground value when v >= threshold and the
// background value otherwise; with foregroundIsAbove false the roles are
// swapped (v < threshold is foreground).
//
// Element types: int, float, double, long double.

#include "image/pixelmatrix.h"
#include "image/pixelmatrixprocessing.h"
#include "image/voxelmatrix.h"
#include "image/voxelmatrixprocessing.h"

template <typename T> class Curve;

template <typename T>
class Thresholding : public PixelMatrixProcessing<T>, public VoxelMatrixProcessing<T> {
public:
    Thresholding() = default;

    void setThreshold(T threshold) { m_threshold = threshold; }
    T getThreshold() const { return m_threshold; }
    void setForeground(T foreground) { m_foreground = foreground; }
    T getForeground() const { return m_foreground; }
    void setBackground(T background) { m_background = background; }
    T getBackground() const { return m_background; }
    void setForegroundIsAbove(bool above) { m_foregroundIsAbove = above; }
    bool foregroundIsAbove() const { return m_foregroundIsAbove; }

    // Binarises in place; progress is (rows done, rows) after every row.
    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& m) override;

    // Elements equal to level become foreground, all others background.
    void levelSetMask(PixelMatrix<T>& m, T level) const;
    void levelSetMask(VoxelMatrix<T>& m, T level) const;

    // Thins the foreground regions of a binarised matrix to one-element-wide
    // boundaries: an interior foreground element whose eight neighbours are
    // all foreground (before the pass) becomes background. Matrices with
    // fewer than 3 rows are left as they are.
    void contours(PixelMatrix<T>& m) const;

    // Follows the boundary of the foreground region through (i, j), which
    // the caller takes on that boundary, and appends the corners of the
    // boundary to curve as (row, column) vertices. Straight runs collapse to
    // their end points; with a positive tolerance, a step that keeps one
    // component of the previous step also moves the last vertex when the
    // last two vertices and the new position span a parallelogram of area at
    // most tolerance. Around a region the boundary runs counter-clockwise in
    // the (row, column) plane (positive signed area).
    void extractCurve(Curve<int>& curve, int i, int j, const PixelMatrix<T>& m, int tolerance) const;

protected:
    // Binarises one row of n elements in place.
    void binarise(T* row, int n) const;

    T m_threshold = T(0);
    T m_foreground = T(255);
    T m_background = T(0);
    bool m_foregroundIsAbove = true;
};

#define PLEXAN_EXTERN_THRESHOLDING(T) extern template class Thresholding<T>;
PLEXAN_EXTERN_THRESHOLDING(int)
PLEXAN_EXTERN_THRESHOLDING(float)
PLEXAN_EXTERN_THRESHOLDING(double)
PLEXAN_EXTERN_THRESHOLDING(long double)
#undef PLEXAN_EXTERN_THRESHOLDING
