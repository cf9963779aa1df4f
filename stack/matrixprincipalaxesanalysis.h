#pragma once
// MatrixPrincipalAxesAnalysis<T>: the centroid and principal orientation of a
// grey-level image, taking each pixel value as a mass. Coordinates are matrix
// indices (i, j): i the row, j the column.
//
// The angle, in radians, is that of a principal axis measured from the i
// axis toward the j axis; it lies in [0, pi/2]: the axis that falls in that
// quadrant is reported, whether major or minor. A blank image (zero mass)
// gives non-finite results. T: float, double, long double.

#include "image/pixelmatrix.h"
#include "numerics/squarematrix.h"

template <typename T>
class MatrixPrincipalAxesAnalysis {
public:
    MatrixPrincipalAxesAnalysis() = default;

    void apply(const PixelMatrix<T>& m);
    bool isAnalyzed() const { return m_analyzed; }

    // UsageError "No image was analyzed yet" before the first apply().
    const Vector<T>& getInertiaCenter() const;
    const SquareMatrix<T>& getInertiaMatrix() const;
    T getAngle() const;

private:
    bool m_analyzed = false;
    Vector<T> m_center;
    SquareMatrix<T> m_inertia;
    T m_angle = T(0);
};

#define PLEXAN_EXTERN_PRINCIPALAXES(T) extern template class MatrixPrincipalAxesAnalysis<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_PRINCIPALAXES)
#undef PLEXAN_EXTERN_PRINCIPALAXES
