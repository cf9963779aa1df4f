#pragma once
// RunningExtremeFilter<T, Maximum>: the minimum filter (Maximum false) or the
// maximum filter (Maximum true) over square and cubic neighbourhoods, the
// common body of MinFilter<T> and MaxFilter<T>.
//
// Along a line the window of element i is [i - h, i + h] clipped to the line.
// A 2D image is filtered along every row, then along every column of the
// result; a 3D image plane by plane, then along k. With a mask (set with
// setMask or passed to apply), elements whose mask is 0 keep their value and
// take no part in the windows of the others, in every pass. The extreme is
// carried along each line at constant cost per element whatever the
// half-size. A half-size below 1 does nothing.
//
// Element types: short, unsigned short, int, unsigned int, float, double,
// long double.

#include "image/maskpixelmatrixprocessing.h"
#include "image/maskvoxelmatrixprocessing.h"
#include "imageprocessing/neighbourhoodfilter.h"

template <typename T, bool Maximum>
class RunningExtremeFilter : public MaskPixelMatrixProcessing<T>,
                             public MaskVoxelMatrixProcessing<T>,
                             public NeighbourhoodFilter {
public:
    using MaskPixelMatrixProcessing<T>::setMask;
    using MaskVoxelMatrixProcessing<T>::setMask;

    // With the mask set for this kind of matrix, if any.
    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& v) override;
    void apply(PixelMatrix<T>& m, const PixelMatrix<T>& mask);
    void apply(VoxelMatrix<T>& v, const VoxelMatrix<T>& mask);
    // One line; out takes the size of in.
    void apply(const Vector<T>& in, Vector<T>& out);
    void apply(const Vector<T>& in, Vector<T>& out, const Vector<T>& mask);

protected:
    RunningExtremeFilter() = default;

private:
    void filter(PixelMatrix<T>& m, const PixelMatrix<T>* mask);
    void filter(VoxelMatrix<T>& v, const VoxelMatrix<T>* mask);
};

#define PLEXAN_FOR_EACH_EXTREME_FILTER_TYPE(X)                                                     \
    X(short) X(unsigned short) X(int) X(unsigned int) X(float) X(double) X(long double)

#define PLEXAN_EXTERN_EXTREME_FILTER(T)                                                            \
    extern template class RunningExtremeFilter<T, false>;                                          \
    extern template class RunningExtremeFilter<T, true>;
PLEXAN_FOR_EACH_EXTREME_FILTER_TYPE(PLEXAN_EXTERN_EXTREME_FILTER)
#undef PLEXAN_EXTERN_EXTREME_FILTER
