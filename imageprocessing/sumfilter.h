#pragma once
// SumFilter<T>: replaces every element by the sum of its neighbourhood.
//
// Square and cubic neighbourhoods are summed with separable running sums
// (constant work per element whatever the half-size), treating the window of
// an element closer than h to an end of its line as filled with the centre
// value. Disc and ball neighbourhoods (ball mode) sum the elements that exist
// at each offset. The sums are not divided. A half-size below 1 does nothing.
//
// Element types: short, unsigned short, int, unsigned int, float, double,
// long double, and unsigned char.

#include "image/pixelmatrixprocessing.h"
#include "image/voxelmatrixprocessing.h"
#include "imageprocessing/neighbourhoodfilter.h"

template <typename T>
class SumFilter : public PixelMatrixProcessing<T>, public VoxelMatrixProcessing<T>, public NeighbourhoodFilter {
public:
    SumFilter() : NeighbourhoodFilter(true) {}
    explicit SumFilter(int halfSize) : SumFilter() { setHalfSize(halfSize); }

    // The square (cubic) case, or the circular (spherical) one in ball mode.
    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& v) override;

    void applySquareCase(PixelMatrix<T>& m);
    void applyCircularCase(PixelMatrix<T>& m);
    void applyCubicCase(VoxelMatrix<T>& v);
    void applySphericalCase(VoxelMatrix<T>& v);
};

#define PLEXAN_FOR_EACH_RANK_FILTER_TYPE(X)                                                        \
    X(unsigned char) X(short) X(unsigned short) X(int) X(unsigned int) X(float) X(double) X(long double)

#define PLEXAN_EXTERN_SUM_FILTER(T) extern template class SumFilter<T>;
PLEXAN_FOR_EACH_RANK_FILTER_TYPE(PLEXAN_EXTERN_SUM_FILTER)
#undef PLEXAN_EXTERN_SUM_FILTER
