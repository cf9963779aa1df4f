#include "statistics/modeldensitymap.h"

#include "geometry/vertexstack.h"
#include "geometry/vertices.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"
#include "statistics/histogramdensityestimator.h"
#include "statistics/poissondensityestimator.h"

#include <algorithm>

template <typename T>
ModelDensityMap<T>::ModelDensityMap() = default;

template <typename T>
ModelDensityMap<T>::~ModelDensityMap()
{
    if (m_estimator)
        m_estimator->removeMonitor(*this);
}

template <typename T>
void ModelDensityMap<T>::addStack(const Stack& stack)
{
    if (std::find(m_stacks.begin(), m_stacks.end(), &stack) == m_stacks.end())
        m_stacks.push_back(&stack);
}

template <typename T>
void ModelDensityMap<T>::clearStacks()
{
    m_stacks.clear();
}

template <typename T>
void ModelDensityMap<T>::setNeighbourRank(int k)
{
    if (k < 1)
        throw ValueError("void ModelDensityMap<T>::setNeighbourRank(int)",
                         "The neighbour rank must be at least 1, not " + std::to_string(k));
    m_rank = k;
}

template <typename T>
void ModelDensityMap<T>::setGridSize(int n1, int n2, int n3)
{
    const char* where = "void ModelDensityMap<T>::setGridSize(int, int, int)";
    if (n1 < 1 || n2 < 1 || n3 < 1)
        throw ValueError(where, "Grid sizes must be at least 1, not " + std::to_string(n1) + " x " +
                                    std::to_string(n2) + " x " + std::to_string(n3));
    if (static_cast<long long>(n1) * n2 * n3 > maxSamples)
        throw SizeError(where, "Density grid is too large: " + std::to_string(n1) + " x " + std::to_string(n2) +
                                   " x " + std::to_string(n3));
    m_gridSize = Vector<int>{n1, n2, n3};
}

template <typename T>
void ModelDensityMap<T>::setMargin(double fraction)
{
    if (!(fraction >= 0.0))
        throw ValueError("void ModelDensityMap<T>::setMargin(double)", "The margin must not be negative");
    m_margin = fraction;
}

template <typename T>
long long ModelDensityMap<T>::getNumPoints() const
{
    long long n = 0;
    for (const auto& pattern : m_patterns)
        n += pattern->getNumVertices();
    return n;
}

template <typename T>
BoundingBox<T> ModelDensityMap<T>::pointsBox() const
{
    Vector<T> lower(3u);
    Vector<T> upper(3u);
    bool first = true;
    for (const auto& pattern : m_patterns)
        for (ConstVertexIterator<T> it(*pattern); it.current(); ++it) {
            const Vector<T>& v = *it.current();
            for (int a = 0; a < 3; ++a) {
                lower[a] = first ? v[a] : std::min(lower[a], v[a]);
                upper[a] = first ? v[a] : std::max(upper[a], v[a]);
            }
            first = false;
        }
    T extent = T(0);
    for (int a = 0; a < 3; ++a)
        extent = std::max(extent, upper[a] - lower[a]);
    const T margin = extent > T(0) ? static_cast<T>(m_margin) * extent : T(1);
    for (int a = 0; a < 3; ++a) {
        lower[a] -= margin;
        upper[a] += margin;
    }
    return BoundingBox<T>(lower, upper);
}

template <typename T>
void ModelDensityMap<T>::compute()
{
    const char* where = "void ModelDensityMap<T>::compute()";
    if (m_stacks.empty())
        throw ValueError(where, "No stack to map");
    const LengthUnit unit = m_stacks.front()->getLengthUnit();

    if (m_estimator)
        m_estimator->removeMonitor(*this);
    m_estimator.reset();
    m_patterns.clear();
    for (const Stack* stack : m_stacks) {
        const int index = stack->findModel(m_modelName);
        if (index < 0)
            throw ValueError(where, "Stack \"" + stack->getName() + "\" has no model \"" + m_modelName + "\"");
        const Model& model = *stack->getModel(index);
        if (model.getGeometry() != MPrimitive::Polypoint)
            throw ValueError(where, "Model \"" + m_modelName + "\" of stack \"" + stack->getName() +
                                        "\" is not a point model");
        if (stack->getLengthUnit() != unit)
            throw ValueError(where, "Stacks \"" + m_stacks.front()->getName() + "\" and \"" + stack->getName() +
                                        "\" differ in length unit");
        // One pool for the whole pattern, as the nearest-neighbour index
        // wants it (the reconstruction gives each slice's points their own).
        const StackReconstruction<T> reconstruction(*stack);
        const std::unique_ptr<VertexStack<T>> levels = reconstruction.apply(model);
        auto points = std::make_unique<Vertices<T>>(3, 0, levels->getNumVertices(), 0);
        for (ConstVertexIterator<T> it(*levels); it.current(); ++it)
            points->append(*it.current());
        m_patterns.push_back(std::move(points));
    }
    if (getNumPoints() == 0)
        throw ValueError(where, "Model \"" + m_modelName + "\" has no point in any stack");

    if (!m_fixedBox.isEmpty()) {
        if (m_fixedBox.getSpace() != 3 || !m_fixedBox.isValid())
            throw SizeError(where, "The density box must be three-dimensional");
        m_box = m_fixedBox;
        m_box.rectify();
    } else {
        m_box = pointsBox();
    }

    if (m_method == Poisson) {
        auto poisson = std::make_unique<PoissonDensityEstimator<T>>();
        poisson->setNeighbourRank(m_rank);
        m_estimator = std::move(poisson);
    } else {
        m_estimator = std::make_unique<HistogramDensityEstimator<T>>();
    }
    m_estimator->addMonitor(*this);
    for (const auto& pattern : m_patterns)
        m_estimator->addShape(*pattern);

    m_density = VoxelMatrix<T>();
    m_density.setSize(m_gridSize[0], m_gridSize[1], m_gridSize[2]);
    m_estimator->compute(m_density, m_box);

    VoxelCalibration calibration;
    calibration.setLengthUnit(unit);
    Vector<float> voxel(3u);
    for (int a = 0; a < 3; ++a) {
        const int n = m_gridSize[a];
        const T width = m_box.width(a);
        T size = width / static_cast<T>(n);
        if (m_method == Poisson)
            size = n > 1 ? width / static_cast<T>(n - 1) : width;
        voxel[a] = size > T(0) ? static_cast<float>(size) : 1.0f;
    }
    calibration.setVoxelSize(voxel);
    m_density.setVoxelCalibration(calibration);
}

template <typename T>
Grid<T> ModelDensityMap<T>::getGrid() const
{
    if (m_method == Histogram)
        return Grid<T>(m_box, m_gridSize);
    // Cells centred on the corner samples: half a step beyond the box on
    // every side; a single sample sits in the middle of a unit cell.
    Vector<T> lower(3u);
    Vector<T> upper(3u);
    for (int a = 0; a < 3; ++a) {
        const int n = m_gridSize[a];
        const T step = n > 1 ? m_box.width(a) / static_cast<T>(n - 1) : T(0);
        const T half = n > 1 ? step / T(2) : T(0.5);
        lower[a] = m_box.min(a) - half;
        upper[a] = m_box.min(a) + static_cast<T>(n - 1) * step + half;
    }
    return Grid<T>(BoundingBox<T>(lower, upper), m_gridSize);
}

template <typename T>
Vector<T> ModelDensityMap<T>::percentiles(const std::vector<float>& p) const
{
    if (!m_estimator)
        throw UsageError("Vector<T> ModelDensityMap<T>::percentiles(const std::vector<float>&) const",
                         "No density was computed yet");
    return m_estimator->percentiles(m_density, getGrid(), p);
}

#define PLEXAN_INSTANTIATE(T) template class ModelDensityMap<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
