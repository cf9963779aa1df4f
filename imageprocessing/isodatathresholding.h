#pragma once
// IsodataThresholding<T>: thresholding at the automatic isodata threshold of
// the image's histogram. The split t between the two classes of a histogram
// moves to the middle of the class means until it no longer changes.
//
// The histogram has nBins bins of width binWidth from origin, binned as
// Matrix<T>::histogram (values below origin in bin 0, beyond the last edge in
// the last bin). Defaults: bins centred on the integers 0..255 for the real
// types (origin -0.5, width 1), bins [b, b + 1) for int (origin 0).
//
// Element types: int, float, double, long double.

#include "imageprocessing/thresholding.h"
#include "numerics/vector.h"

template <typename T>
class IsodataThresholding : public Thresholding<T> {
public:
    IsodataThresholding();

    void setBins(T origin, T binWidth, unsigned int nBins);
    T getOrigin() const { return m_origin; }
    T getBinWidth() const { return m_binWidth; }
    unsigned int getNumBins() const { return m_nBins; }

    // The isodata split of a histogram as a bin index: the classes are the
    // bins below it and the bins from it on. When the lower class would be
    // empty (only the first occupied bin lies below the split), the split is
    // the bin after the first occupied one, so that the first occupied bin
    // alone is below it. An empty histogram gives 0.
    unsigned int computeThreshold(const Vector<unsigned int>& histogram) const;
    // The threshold value t x binWidth + origin of the matrix's histogram.
    T computeThreshold(const PixelMatrix<T>& m) const;
    T computeThreshold(const VoxelMatrix<T>& m) const;

    // Computes the threshold of m, stores it and binarises m.
    void apply(PixelMatrix<T>& m) override;
    void apply(VoxelMatrix<T>& m) override;

protected:
    // Adds the elements of one row to the histogram counts.
    void accumulate(const T* row, int n, unsigned int* counts) const;

    T m_origin;
    T m_binWidth;
    unsigned int m_nBins = 256;
};

#define PLEXAN_EXTERN_ISODATA(T) extern template class IsodataThresholding<T>;
PLEXAN_EXTERN_ISODATA(int)
PLEXAN_EXTERN_ISODATA(float)
PLEXAN_EXTERN_ISODATA(double)
PLEXAN_EXTERN_ISODATA(long double)
#undef PLEXAN_EXTERN_ISODATA
