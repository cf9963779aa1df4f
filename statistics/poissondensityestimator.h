#pragma once
// PoissonDensityEstimator<T>: the pooled k-th nearest neighbour density of m
// point patterns. At a point x, with r_s the distance from x to the k-th
// nearest point of pattern s,
//
//     density(x) = (k m - 1) / ((4/3) pi sum_s r_s^3),
//
// the number of points inside the union of the m k-th neighbour balls over
// their total volume. Every pattern is indexed once, in a kd-tree built when
// it is added: a pattern whose points move must be removed and added again.
//
// compute3D() works in the precision of T throughout. compute() samples the
// density, with its numerator rounded to single precision, on the corners of
// the grid (the first sample at the box's first corner, the last at its
// second corner), reports progress once per plane, prints the average k-th
// neighbour distance on the standard output and then applies the masks.
// Each sample starts its search from the distance found at the neighbouring
// sample, which bounds the answer; the results are those of an exhaustive
// search, to the last bit. The planes of the grid are sampled in parallel
// (numerics/parallel.h); the samples do not depend on the thread count.
// Cancelling the estimator stops the planes not yet started, and compute()
// then announces the cancellation instead of finishing.
//
// A pattern with fewer than k points answers with its farthest point; an
// empty pattern contributes nothing.

#include "geometry/kdtree.h"
#include "statistics/densityestimator.h"

#include <memory>
#include <vector>

template <typename T>
class PoissonDensityEstimator : public DensityEstimator<T> {
public:
    PoissonDensityEstimator() = default;
    ~PoissonDensityEstimator() override;

    // The neighbour rank k, at least 1 (ValueError otherwise).
    void setNeighbourRank(int k);
    int getNeighbourRank() const { return m_rank; }

    // Adds the pattern and builds its tree (once per pattern).
    void addShape(Shape<T>& shape) override;
    // Removes the pattern and deletes its tree; the other patterns keep
    // their trees and their order.
    void removeShape(Shape<T>& shape) override;
    const KDTree<T>& getTree(int s) const { return *m_trees[static_cast<std::size_t>(s)]; }

    void compute(VoxelMatrix<T>& matrix, const BoundingBox<T>& box) override;
    // The density at one point, and at every vertex of a list, in order.
    T compute3D(const Vector<T>& point) const;
    Vector<T> compute3D(const Vertices<T>& vertices) const;

    // The squared distance from point to its k-th nearest vertex of shape
    // (the farthest vertex when there are fewer than k) found by scanning
    // every vertex: a reference for the tree search.
    T bruteForceKthNeighbourDistance(const Shape<T>& shape, const Vector<T>& point) const;

    // (k m - 1) 0.75 / pi for m patterns, in single precision: the numerator
    // of the grid samples of compute().
    float numerator() const;

private:
    // The squared distance from p to the k-th nearest vertex of pattern s
    // through its tree.
    T kthSquaredDistance(int s, const Vector<T>& p) const;

    int m_rank = 1;
    std::vector<std::unique_ptr<KDTree<T>>> m_trees;
};

#define PLEXAN_EXTERN_POISSON_DENSITY_ESTIMATOR(T) extern template class PoissonDensityEstimator<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_POISSON_DENSITY_ESTIMATOR)
#undef PLEXAN_EXTERN_POISSON_DENSITY_ESTIMATOR
