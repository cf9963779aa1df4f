#pragma once
// ModelDensityMap<T>: the density of a point model pooled over several
// specimens, as the density-mapping window and the batch tool build it.
//
// Each stack contributes one pattern: the points of its model of the given
// name (a Polypoint model), placed in 3D in that stack's own frame by its
// stack reconstruction. The density is estimated on a grid over a box, by the
// pooled k-th nearest neighbour estimator (sampled on the grid's corners, the
// first sample on the box's lower corner and the last on its upper corner) or
// by the point counts of the grid's cells (histogram).
//
// The box is the bounding box of all the points, enlarged on every side by a
// margin: a fraction (0.1 by default) of the box's largest extent, or one
// length unit around a single point; or a box the caller fixes. The volume's
// voxel size is the distance between samples (corner sampling, the box width
// over the sample count less one; the box width for one sample) or the cell
// size (histogram), in the stacks' length unit, which all stacks must share.
//
// Percentile levels interpolate the density at every point of the patterns,
// on the grid whose cell centres are the samples (getGrid()).
//
// Progress of the estimation is relayed to this object's monitors.
// T: float, double, long double.

#include "geometry/boundingbox.h"
#include "image/voxelmatrix.h"
#include "numerics/elementtype.h"
#include "numerics/progressproxy.h"
#include "statistics/grid.h"

#include <memory>
#include <string>
#include <vector>

class Stack;
template <typename T> class DensityEstimator;
template <typename T> class Vertices;

template <typename T>
class ModelDensityMap : public ProgressProxy {
public:
    enum Method { Poisson = 0, Histogram = 1 };

    // Grids beyond this many samples are refused.
    static constexpr long long maxSamples = 1LL << 28;

    ModelDensityMap();
    ModelDensityMap(const ModelDensityMap&) = delete;
    ModelDensityMap& operator=(const ModelDensityMap&) = delete;
    ~ModelDensityMap() override;

    // The stacks are referenced, not owned; each is added once.
    void addStack(const Stack& stack);
    void clearStacks();
    int getNumStacks() const { return static_cast<int>(m_stacks.size()); }

    void setModelName(const std::string& name) { m_modelName = name; }
    const std::string& getModelName() const { return m_modelName; }
    void setMethod(Method method) { m_method = method; }
    Method getMethod() const { return m_method; }
    // The neighbour rank k of the Poisson estimator, at least 1 (ValueError).
    void setNeighbourRank(int k);
    int getNeighbourRank() const { return m_rank; }
    // Samples (Poisson) or cells (histogram) along each axis: each at least 1
    // (ValueError), at most maxSamples in all (SizeError).
    void setGridSize(int n1, int n2, int n3);
    const Vector<int>& getGridSize() const { return m_gridSize; }
    // The margin around the points' box, as a fraction of its largest extent
    // (not negative; ValueError).
    void setMargin(double fraction);
    double getMargin() const { return m_margin; }
    // Fixes the box (3D, rectified) instead of deriving it from the points;
    // an empty box goes back to the points' box.
    void setBoundingBox(const BoundingBox<T>& box) { m_fixedBox = box; }

    // Gathers the patterns and estimates the density. ValueError when there is
    // no stack, when a stack has no model of that name or it is not a point
    // model, when the stacks differ in length unit, or when no stack holds a
    // point.
    void compute();

    // The results of the last compute().
    const VoxelMatrix<T>& getDensity() const { return m_density; }
    const BoundingBox<T>& getBoundingBox() const { return m_box; }
    // The grid whose cell centres are the samples of the density.
    Grid<T> getGrid() const;
    // One pattern per stack, in the order of the stacks: the model's points
    // in 3D, slices in stack order.
    int getNumPatterns() const { return static_cast<int>(m_patterns.size()); }
    const Vertices<T>& getPattern(int s) const { return *m_patterns[static_cast<std::size_t>(s)]; }
    long long getNumPoints() const;
    // The density levels below which lie p percent of the points (p in
    // percent): the level for p encloses about (100 - p) percent of them.
    // UsageError before compute().
    Vector<T> percentiles(const std::vector<float>& p) const;

private:
    BoundingBox<T> pointsBox() const;

    std::vector<const Stack*> m_stacks;
    std::string m_modelName;
    Method m_method = Poisson;
    int m_rank = 1;
    Vector<int> m_gridSize{1, 1, 1};
    double m_margin = 0.1;
    BoundingBox<T> m_fixedBox;

    std::vector<std::unique_ptr<Vertices<T>>> m_patterns;
    std::unique_ptr<DensityEstimator<T>> m_estimator;
    BoundingBox<T> m_box;
    VoxelMatrix<T> m_density;
};

#define PLEXAN_EXTERN_MODEL_DENSITY_MAP(T) extern template class ModelDensityMap<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_MODEL_DENSITY_MAP)
#undef PLEXAN_EXTERN_MODEL_DENSITY_MAP
