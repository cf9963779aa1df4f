#include "statistics/densityestimator.h"

#include "geometry/quadmesh.h"
#include "image/linearinterpolation.h"

#include <algorithm>

template <typename T>
DensityEstimator<T>::~DensityEstimator() = default;

template <typename T>
void DensityEstimator<T>::setShapes(const std::vector<Shape<T>*>& shapes)
{
    for (Shape<T>* shape : shapes)
        if (shape)
            addShape(*shape);
}

template <typename T>
void DensityEstimator<T>::addShape(Shape<T>& shape)
{
    if (std::find(m_shapes.begin(), m_shapes.end(), &shape) == m_shapes.end())
        m_shapes.push_back(&shape);
}

template <typename T>
void DensityEstimator<T>::removeShape(Shape<T>& shape)
{
    m_shapes.erase(std::remove(m_shapes.begin(), m_shapes.end(), &shape), m_shapes.end());
}

template <typename T>
void DensityEstimator<T>::clearShapes()
{
    while (!m_shapes.empty())
        removeShape(*m_shapes.back());
}

template <typename T>
void DensityEstimator<T>::setMaskSurfaces(const std::vector<MaskSurface<T>*>& masks)
{
    for (MaskSurface<T>* mask : masks)
        if (mask)
            addMaskSurface(*mask);
}

template <typename T>
void DensityEstimator<T>::addMaskSurface(MaskSurface<T>& mask)
{
    m_masks.push_back(&mask);
}

template <typename T>
void DensityEstimator<T>::removeMaskSurface(MaskSurface<T>& mask)
{
    m_masks.erase(std::remove(m_masks.begin(), m_masks.end(), &mask), m_masks.end());
    m_ownedMasks.erase(std::remove_if(m_ownedMasks.begin(), m_ownedMasks.end(),
                                      [&](const std::unique_ptr<MaskSurface<T>>& m) { return m.get() == &mask; }),
                       m_ownedMasks.end());
}

template <typename T>
void DensityEstimator<T>::clearMaskSurfaces()
{
    m_masks.clear();
    m_ownedMasks.clear();
}

template <typename T>
void DensityEstimator<T>::setMaskShapes(const std::vector<const Shape<T>*>& shapes)
{
    for (const Shape<T>* shape : shapes) {
        const auto* mesh = dynamic_cast<const QuadMesh<T>*>(shape);
        if (!mesh)
            continue;
        m_ownedMasks.push_back(std::make_unique<MaskSurface<T>>(mesh->toTriMesh(), true));
        addMaskSurface(*m_ownedMasks.back());
    }
}

template <typename T>
void DensityEstimator<T>::initGridPositions(Vector<T>& x, Vector<T>& y, Vector<T>& z, const VoxelMatrix<T>& matrix,
                                            const BoundingBox<T>& box)
{
    Vector<T>* axes[3] = {&x, &y, &z};
    for (int a = 0; a < 3; ++a) {
        const int n = matrix.getSize(a + 1);
        Vector<T>& v = *axes[a];
        v.setSize(n);
        const T origin = box.getVertex1()[a];
        const T width = box.width(a);
        for (int i = 0; i < n; ++i)
            v[i] = origin + (static_cast<T>(i) + T(0.5)) * width / static_cast<T>(n);
    }
}

template <typename T>
void DensityEstimator<T>::applyMasks(VoxelMatrix<T>& matrix, const BoundingBox<T>& box)
{
    notifyStarted("Applying masks onto density map");
    Vector<T> x;
    Vector<T> y;
    Vector<T> z;
    initGridPositions(x, y, z, matrix, box);
    const int size1 = matrix.getSize1();
    if (!m_masks.empty()) {
        Vector<T> p(3u);
        for (int i = 0; i < size1; ++i) {
            p[0] = x[i];
            for (int j = 0; j < matrix.getSize2(); ++j) {
                p[1] = y[j];
                for (int k = 0; k < matrix.getSize3(); ++k) {
                    p[2] = z[k];
                    for (const MaskSurface<T>* mask : m_masks)
                        if (!mask->passes(p)) {
                            matrix(i, j, k) = T(0);
                            break;
                        }
                }
            }
            notifyProgressed(static_cast<unsigned int>(i), static_cast<unsigned int>(size1));
        }
    } else {
        for (int i = 0; i < size1; ++i)
            notifyProgressed(static_cast<unsigned int>(i), static_cast<unsigned int>(size1));
    }
    notifyFinished("");
}

template <typename T>
Vector<T> DensityEstimator<T>::percentiles(const VoxelMatrix<T>& matrix, const Grid<T>& grid,
                                           const std::vector<float>& p) const
{
    const char* where = "Vector<T> DensityEstimator<T>::percentiles(...) const";
    const Vector<T> r = grid.getResolutions();
    const Vector<T> c = grid.firstCellCentre();
    if (r.getSize() != 3)
        throw SizeError(where, "Incompatible vector dimensions");
    const LinearInterpolation<T> interpolation;
    std::vector<T> values;
    for (const Shape<T>* shape : m_shapes)
        for (ConstVertexIterator<T> it(*shape); it.current(); ++it) {
            const Vector<T>& v = *it.current();
            if (v.getSize() != 3)
                throw SizeError(where, "Incompatible vector dimensions");
            float u[3];
            for (int a = 0; a < 3; ++a)
                u[a] = static_cast<float>((v[a] - c[a]) / r[a]);
            values.push_back(interpolation.eval(u[0], u[1], u[2], matrix));
        }
    if (values.empty())
        throw SizeError(where, "The patterns hold no point");
    Vector<T> sorted(static_cast<unsigned int>(values.size()));
    std::copy(values.begin(), values.end(), sorted.begin());
    sorted.sort();
    Vector<T> out(static_cast<unsigned int>(p.size()));
    for (std::size_t q = 0; q < p.size(); ++q)
        out[static_cast<int>(q)] = sorted.percentile(p[q]);
    return out;
}

template <typename T>
T DensityEstimator<T>::percentile(const VoxelMatrix<T>& matrix, const Grid<T>& grid, float p) const
{
    return percentiles(matrix, grid, std::vector<float>{p})[0];
}

#define PLEXAN_INSTANTIATE(T) template class DensityEstimator<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
