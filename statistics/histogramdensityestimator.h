#pragma once
// HistogramDensityEstimator<T>: the number of points of all patterns in each
// grid cell of the box. A point on an upper face of the box belongs to the
// last cell along that axis; a point outside the box is discarded, not
// clamped. Values are raw counts and masks are not applied. The totals go to
// the console trace.

#include "statistics/densityestimator.h"

template <typename T>
class HistogramDensityEstimator : public DensityEstimator<T> {
public:
    void compute(VoxelMatrix<T>& matrix, const BoundingBox<T>& box) override;

    // The counts of the last compute: every point seen, and those outside
    // the box.
    long long getNumTotal() const { return m_numTotal; }
    long long getNumDiscarded() const { return m_numDiscarded; }

private:
    long long m_numTotal = 0;
    long long m_numDiscarded = 0;
};

#define PLEXAN_EXTERN_HISTOGRAM_DENSITY_ESTIMATOR(T) extern template class HistogramDensityEstimator<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_HISTOGRAM_DENSITY_ESTIMATOR)
#undef PLEXAN_EXTERN_HISTOGRAM_DENSITY_ESTIMATOR
