#pragma once
// DensityEstimator<T>: the common base of the estimators that turn point
// patterns (shapes whose vertices are the points, referenced and not owned)
// into a density sampled on a regular grid of a voxel matrix. Voxel (i, j, k)
// lies along the first, second and third axis of the box.
//
// Mask surfaces then zero the density outside (or inside) closed meshes, and
// percentiles() turns the density into iso-levels that enclose given
// fractions of the points.
//
// Calling order: construct, attach a progress monitor, setShapes, optionally
// setMaskShapes, configure the estimator, size the voxel matrix, compute;
// then read percentiles for display levels.

#include "geometry/boundingbox.h"
#include "geometry/shape.h"
#include "image/voxelmatrix.h"
#include "numerics/progresssubject.h"
#include "statistics/grid.h"
#include "statistics/masksurface.h"

#include <memory>
#include <vector>

template <typename T>
class DensityEstimator : public ProgressSubject {
public:
    DensityEstimator() = default;
    DensityEstimator(const DensityEstimator&) = delete;
    DensityEstimator& operator=(const DensityEstimator&) = delete;
    ~DensityEstimator() override;

    // Patterns --------------------------------------------------------------------

    // Calls addShape for each shape in order.
    void setShapes(const std::vector<Shape<T>*>& shapes);
    const std::vector<Shape<T>*>& getShapes() const { return m_shapes; }
    // Appends shape unless it is already there.
    virtual void addShape(Shape<T>& shape);
    // Removes every occurrence of shape.
    virtual void removeShape(Shape<T>& shape);
    // Calls removeShape for each pattern, the last first.
    void clearShapes();

    // Masks -----------------------------------------------------------------------

    void setMaskSurfaces(const std::vector<MaskSurface<T>*>& masks);
    const std::vector<MaskSurface<T>*>& getMaskSurfaces() const { return m_masks; }
    void addMaskSurface(MaskSurface<T>& mask);
    // Removes every occurrence of mask (deleting it when the estimator made
    // it).
    void removeMaskSurface(MaskSurface<T>& mask);
    void clearMaskSurfaces();
    // Wraps every quadrilateral mesh of the list, as a triangle mesh, in a
    // new mask keeping its inside; shapes of other kinds are no masks and
    // are skipped. The estimator owns the masks it makes.
    void setMaskShapes(const std::vector<const Shape<T>*>& shapes);

    // Stored for the caller; neither estimator reads it.
    void setIntensityFlag(bool flag) { m_intensity = flag; }
    bool getIntensityFlag() const { return m_intensity; }

    // Computation -----------------------------------------------------------------

    // Fills matrix with the density sampled over box.
    virtual void compute(VoxelMatrix<T>& matrix, const BoundingBox<T>& box) = 0;
    // Sets every voxel whose cell centre fails a mask to 0: a mask with the
    // inside flag fails outside its mesh, one without inside. Masks are tried
    // in order and the first failure decides.
    virtual void applyMasks(VoxelMatrix<T>& matrix, const BoundingBox<T>& box);
    // The cell centres of the matrix over box along each axis:
    // x[i] = corner1.x + (i + 0.5) width_x / size1, likewise y and z.
    static void initGridPositions(Vector<T>& x, Vector<T>& y, Vector<T>& z, const VoxelMatrix<T>& matrix,
                                  const BoundingBox<T>& box);

    // The density levels below which lie p percent of the points of the
    // patterns (p in percent), from the density interpolated trilinearly at
    // every point, the matrix being sampled at the centres of the grid's
    // cells: the level for p encloses about (100 - p) percent of the points.
    Vector<T> percentiles(const VoxelMatrix<T>& matrix, const Grid<T>& grid, const std::vector<float>& p) const;
    T percentile(const VoxelMatrix<T>& matrix, const Grid<T>& grid, float p) const;

protected:
    std::vector<Shape<T>*> m_shapes;

private:
    bool m_intensity = false;
    std::vector<MaskSurface<T>*> m_masks;
    std::vector<std::unique_ptr<MaskSurface<T>>> m_ownedMasks;
};

#define PLEXAN_EXTERN_DENSITY_ESTIMATOR(T) extern template class DensityEstimator<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_DENSITY_ESTIMATOR)
#undef PLEXAN_EXTERN_DENSITY_ESTIMATOR
