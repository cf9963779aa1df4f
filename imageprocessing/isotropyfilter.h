#pragma once
// IsotropyFilter<T>: replaces every voxel by an index of how isotropic the
// grey levels of its (2h + 1)^3 neighbourhood are.
//
// Over the neighbourhood clipped to the volume, the grey levels weigh the
// voxel positions (x the column, y the row, z the plane): S = sum of w, the
// first moments Sx, Sy, Sz and the second ones Sxx, Syy, Szz, Sxy, Sxz, Syz.
// Their covariance matrix (second moments / S minus the products of the means
// Sx / S, Sy / S, Sz / S) has eigenvalues l1 >= l2 >= l3 >= 0, and the index
// is a ratio of two of them chosen by the analysis: l3 / l1 (the default), l2 /
// l1 or l3 / l2. It is 1 for a ball-like distribution and near 0 for a flat
// or thin one. Where the mass S is not above 1e-12 times the largest absolute
// grey level of the volume (times the window volume), or the larger eigenvalue
// of the ratio is 0, the index is 0.
//
// apply gathers the ten sums with separable running sums; slowApply sums each
// neighbourhood directly. Element types: float, double, long double.

#include "image/voxelmatrixprocessing.h"
#include "imageprocessing/neighbourhoodfilter.h"

enum IsotropyAnalysis { IsotropyMinOverMax = 0, IsotropyMiddleOverMax = 1, IsotropyMinOverMiddle = 2 };

template <typename T>
class IsotropyFilter : public VoxelMatrixProcessing<T>, public NeighbourhoodFilter {
public:
    IsotropyFilter() = default;
    explicit IsotropyFilter(int halfSize) { setHalfSize(halfSize); }

    void apply(VoxelMatrix<T>& v) override;
    void slowApply(VoxelMatrix<T>& v);

    void setAnalysis(IsotropyAnalysis analysis) { m_analysis = analysis; }
    IsotropyAnalysis getAnalysis() const { return m_analysis; }

    // The index of a covariance matrix given by its six distinct entries.
    double index(double cxx, double cyy, double czz, double cxy, double cxz, double cyz) const;

private:
    IsotropyAnalysis m_analysis = IsotropyMinOverMax;
};

extern template class IsotropyFilter<float>;
extern template class IsotropyFilter<double>;
extern template class IsotropyFilter<long double>;
