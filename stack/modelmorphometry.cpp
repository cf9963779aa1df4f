#include "stack/modelmorphometry.h"

#include "geometry/curvestacktriangulation.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

ModelMorphometry::ModelMorphometry() = default;

void ModelMorphometry::clear()
{
    m_numVertices = 0;
    m_numContours = 0;
    m_area = 0.0;
    m_volume = 0.0;
    m_isobarycenter = Vector<double>();
    m_mainAxesLengths = Vector<double>();
    m_mainAxes = SquareMatrix<double>();
    m_matchingAxes = Vector<int>();
}

const char* ModelMorphometry::surfaceName(Surface surface)
{
    return surface == Surface::MatchedStarts ? "matched" : "literal";
}

double ModelMorphometry::getEquivRadius() const
{
    if (m_volume < 0.0)
        return -1.0;
    return std::cbrt(3.0 * m_volume / 12.566370614359172);
}

bool ModelMorphometry::simpleCurveStack(const CurveStack<double>& stack)
{
    const Curve<double>* previous = nullptr;
    for (int k = 0; k < stack.getHeight(); ++k) {
        const Curve<double>& level = stack.level(k);
        if (level.getNumVertices() == 0)
            continue;
        if (previous && previous->vertex(0)[2] == level.vertex(0)[2])
            return false;
        previous = &level;
    }
    return true;
}

void ModelMorphometry::run()
{
    if (!m_model)
        throw UsageError("void ModelMorphometry::run()", "No model to measure");
    clear();
    const Model& model = *m_model;

    m_numContours = model.getNumItems();
    for (const ModelItem* item : model.getItems())
        m_numVertices += item->getSize();

    const StackSlice* firstSlice = m_numContours > 0 ? model.getItem(0)->getSlice() : nullptr;
    const Stack* stack = firstSlice ? firstSlice->getStack() : nullptr;
    m_area = -1.0;
    m_volume = -1.0;
    if (!stack || m_numVertices == 0)
        return;

    const StackReconstruction<double> reconstruction(*stack);
    const std::unique_ptr<VertexStack<double>> shape = reconstruction.apply(model);
    const int n = shape ? shape->getNumVertices() : 0;
    if (n == 0)
        return;

    // Centre and principal axes of the vertices.
    SquareMatrix<double> covariance = shape->inertia(m_isobarycenter);
    covariance /= static_cast<double>(n);
    Vector<double> variances;
    covariance.eigenJacobi(variances, m_mainAxes, true);
    if (!m_mainAxes.isRHSystem())
        for (int r = 0; r < 3; ++r)
            m_mainAxes(r, 2) = -m_mainAxes(r, 2);
    m_mainAxesLengths = Vector<double>(3u);
    m_matchingAxes = Vector<int>(3u);
    for (int k = 0; k < 3; ++k) {
        m_mainAxesLengths[k] = variances[k] > 0.0 ? std::sqrt(variances[k]) : 0.0;
        int closest = 0;
        for (int r = 1; r < 3; ++r)
            if (std::abs(m_mainAxes(r, k)) > std::abs(m_mainAxes(closest, k)))
                closest = r;
        m_matchingAxes[k] = closest;
    }

    const MPrimitive geometry = model.getGeometry();
    if (geometry == MPrimitive::Polypoint) {
        m_area = 0.0;
        m_volume = 0.0;
        return;
    }

    // Surface: the arc-length skin of a stack with one contour per slice.
    auto& contours = static_cast<CurveStack<double>&>(*shape);
    if (!simpleCurveStack(contours))
        return;
    m_volume = geometry == MPrimitive::Polygon ? slabVolume(*stack, model, contours) : 0.0;
    CurveStackTriangulation<double> triangulation(2);
    if (m_surface == Surface::MatchedStarts && contours.isClosed()) {
        contours.matchStarts();
        triangulation.setFromStarts(true);
    }
    triangulation.apply(contours);
    m_area = triangulation.getTriMesh().area();
}

double ModelMorphometry::slabVolume(const StackReconstruction<double>& reconstruction, const Model& model)
{
    if (!reconstruction.getStack() || model.getGeometry() != MPrimitive::Polygon)
        return 0.0;
    const std::unique_ptr<VertexStack<double>> contours = reconstruction.apply(model);
    return slabVolume(*reconstruction.getStack(), model, static_cast<const CurveStack<double>&>(*contours));
}

// The contour stack of the model lists its items slice by slice in stack
// order, and on each slice in the slice's own order.
double ModelMorphometry::slabVolume(const Stack& stack, const Model& model, const CurveStack<double>& contours)
{
    const std::vector<float> positions = stack.absolutePositions();
    int level = 0;
    double previousZ = 0.0;
    double previousSection = 0.0;
    double lastSpacing = 0.0;
    double volume = 0.0;
    for (int k = 0; k < stack.getNumSlices() && level < contours.getHeight(); ++k) {
        const StackSlice* slice = stack.getSlice(k);
        double section = 0.0;
        for (const ModelItem* item : slice->getItems())
            if (item->getModel() == &model && level < contours.getHeight())
                section += contours.level(level++).twiceArea(0, 1) / 2.0;
        if (section == 0.0)
            continue;
        const double z = positions[static_cast<std::size_t>(k)];
        volume += std::abs((z - previousZ) * previousSection);
        previousZ = z;
        previousSection = section;
        lastSpacing = slice->getRelativePosition();
    }
    return volume + std::abs(lastSpacing * previousSection);
}
