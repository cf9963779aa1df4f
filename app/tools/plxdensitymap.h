#pragma once
// PLXDensityMap: a named density map of a point model pooled over open
// stacks, as the density-mapping window makes it: the estimation
// (ModelDensityMap<float>: pooled k-th nearest neighbour density on the
// corners of a grid over the points' box, or points per cell), optional
// masks (the density outside, or inside, the closed surface of an outlined
// model of the first stack is set to 0), the density levels that enclose
// given fractions of the points, and their isosurfaces in the stacks' frame.
//
// compute() is meant for a worker thread: it reads the stacks (which must
// not change meanwhile), reports to the monitors and stops at a cancel,
// leaving the previous results as they were. Without masks the levels are
// the ones plexan-cli density prints for the same input.

#include "geometry/trimesh.h"
#include "geometry/vertices.h"
#include "image/voxelmatrix.h"
#include "numerics/progressproxy.h"
#include "statistics/grid.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

class Stack;

class PLXDensityMap : public ProgressProxy {
public:
    struct Config {
        std::vector<const Stack*> stacks;
        std::string modelName;
        bool histogram = false;
        // A few neighbours smooth the estimate; one pattern with rank 1 has
        // no density at all.
        int neighbourRank = 5;
        int grid[3] = {32, 32, 16};
        double margin = 0.1;
        // The outlined model of the first stack whose surface masks the map
        // (none when empty), and which side of it is kept.
        std::string maskModelName;
        bool keepInside = true;
        // In percent.
        std::vector<float> percentiles{50.0f, 90.0f};
    };

    PLXDensityMap() = default;
    ~PLXDensityMap() override;

    void setConfig(const Config& config) { m_config = config; }
    const Config& getConfig() const { return m_config; }

    // The names of the point models (or of the outlined models) found in
    // every one of the stacks, sorted.
    static std::vector<std::string> commonModelNames(const std::vector<const Stack*>& stacks, bool points);

    // Computes the map; false when cancelled. ValueError and the estimator's
    // exceptions when the configuration does not fit the stacks (a stack
    // without the model, fewer points than the rank...).
    bool compute();
    bool hasMap() const { return m_done; }

    const VoxelMatrix<float>& getDensity() const { return m_density; }
    // The grid whose cell centres are the samples of the density.
    const Grid<float>& getGrid() const { return m_grid; }
    const std::vector<std::unique_ptr<Vertices<float>>>& getPatterns() const { return m_patterns; }
    long long getNumPoints() const;
    // One level and one isosurface (in the stacks' frame) per percentile.
    const Vector<float>& getLevels() const { return m_levels; }
    const std::vector<std::unique_ptr<TriMesh<float>>>& getSurfaces() const { return m_surfaces; }
    // The mask surface, when there is one.
    const TriMesh<float>* getMask() const { return m_mask.get(); }

    // Writes the map as a voxel matrix file (.vm): aside, then renamed over
    // the target. Refuses (false, the reason in *error) a file of one of the
    // stacks and a failed write, leaving no partial file.
    bool save(const QString& filename, QString* error = nullptr) const;

private:
    Config m_config;
    bool m_done = false;
    VoxelMatrix<float> m_density;
    Grid<float> m_grid;
    std::vector<std::unique_ptr<Vertices<float>>> m_patterns;
    Vector<float> m_levels;
    std::vector<std::unique_ptr<TriMesh<float>>> m_surfaces;
    std::unique_ptr<TriMesh<float>> m_mask;
    std::vector<QString> m_stackFiles;
};
