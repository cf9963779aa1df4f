#include "stack/stackreconstruction.h"

#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <cmath>
#include <iostream>

template <typename T>
StackReconstruction<T>::StackReconstruction(const Stack& stack)
{
    setStack(stack);
}

template <typename T>
void StackReconstruction<T>::setStack(const Stack& stack)
{
    m_stack = &stack;
    computeMaps();
}

template <typename T>
void StackReconstruction<T>::computeMaps()
{
    const int n = m_stack ? m_stack->getNumSlices() : 0;
    m_maps.setSize(n, 6);
    m_maps.fill(T(0));
    m_zmap.setSize(n);
    m_zmap.fill(T(0));
    if (n == 0)
        return;

    const T pi = T(3.141592653589793L);
    const std::vector<float> positions = m_stack->absolutePositions();
    T theta = T(0);
    T cosTheta = T(1);
    T sinTheta = T(0);
    T translationX = T(0);
    T translationY = T(0);
    for (int k = 0; k < n; ++k) {
        const StackSlice& slice = *m_stack->getSlice(k);
        const PixelCalibration& calibration = slice.getPixelCalibration();
        const T pw = T(calibration.getPixelWidth());
        const T ph = T(calibration.getPixelHeight());
        const bool hasSource = slice.hasImageSource();
        const T halfWidth = hasSource ? T(slice.getImageSource().getSize2()) / T(2) : T(0);
        const T halfHeight = hasSource ? T(slice.getImageSource().getSize1()) / T(2) : T(0);
        const Registration& r = slice.getRegistration();

        // The shift is turned by the angle accumulated before this slice.
        const T hs = T(r.getHorizontalShift()) * pw;
        const T vs = T(r.getVerticalShift()) * ph;
        translationX += cosTheta * hs + sinTheta * vs;
        translationY += sinTheta * hs - cosTheta * vs;
        theta -= T(r.getRotationAngle()) * pi / T(180);
        cosTheta = std::cos(theta);
        sinTheta = std::sin(theta);

        m_zmap[k] = T(positions[k]);
        Vector<T>& row = m_maps[k];
        row[0] = pw * cosTheta;
        row[1] = ph * sinTheta;
        row[2] = -pw * halfWidth * cosTheta - ph * halfHeight * sinTheta + translationX;
        row[3] = pw * sinTheta;
        row[4] = -ph * cosTheta;
        row[5] = -pw * halfWidth * sinTheta + ph * halfHeight * cosTheta + translationY;
    }
}

template <typename T>
void StackReconstruction<T>::map(Vertices<T>& out, const ModelItem& item) const
{
    const int k = m_stack ? m_stack->findSlice(item.getSlice()) : -1;
    if (k < 0 || k >= m_maps.getSize1()) {
        std::cerr << "invalid stack/item pair in StackReconstruction (ignored)" << std::endl;
        return;
    }
    mapOnSlice(out, item, k);
}

template <typename T>
void StackReconstruction<T>::mapOnSlice(Vertices<T>& out, const ModelItem& item, int k) const
{
    const Vertices<int>& vertices = item.getVertices();
    const int n = vertices.getNumVertices();
    out.setServer(new VertexServer<T>(3, n, 0, 0));
    out.setSize(0, false);
    out.setSize(n, true);

    const Vector<T>& row = m_maps[k];
    const T a = row[0], b = row[1], tx = row[2], c = row[3], d = row[4], ty = row[5];
    const T z = m_zmap[k];
    VertexServer<T>& server = *out.getServer();
    for (int i = 0; i < n; ++i) {
        const Vector<int>& p = vertices[i];
        const T x = T(p[0]);
        const T y = T(p[1]);
        Vector<T>& q = server[i];
        q[0] = a * x + b * y + tx;
        q[1] = c * x + d * y + ty;
        q[2] = z;
    }
}

template <typename T>
std::unique_ptr<Vertices<T>> StackReconstruction<T>::apply(const ModelItem& item) const
{
    std::unique_ptr<Vertices<T>> out;
    switch (item.getGeometry()) {
    case MPrimitive::Polygon:
        out = std::make_unique<Curve<T>>(3, 0, 0, 0, false);
        break;
    case MPrimitive::Polyline:
        out = std::make_unique<Curve<T>>(3, 0, 0, 0, true);
        break;
    case MPrimitive::Polypoint:
        out = std::make_unique<Vertices<T>>(3, 0, 0, 0);
        break;
    default:
        return out;
    }
    map(*out, item);
    return out;
}

template <typename T>
std::unique_ptr<VertexStack<T>> StackReconstruction<T>::apply(const Model& model) const
{
    std::unique_ptr<VertexStack<T>> stack;
    std::unique_ptr<Vertices<T>> level;
    switch (model.getGeometry()) {
    case MPrimitive::Polygon:
        stack = std::make_unique<CurveStack<T>>(3, 0, 0, 0, 0, false);
        level = std::make_unique<Curve<T>>(3, 0, 0, 0, false);
        break;
    case MPrimitive::Polyline:
        stack = std::make_unique<CurveStack<T>>(3, 0, 0, 0, 0, true);
        level = std::make_unique<Curve<T>>(3, 0, 0, 0, true);
        break;
    case MPrimitive::Polypoint:
        stack = std::make_unique<VertexStack<T>>(3, 0, 0, 0, 0);
        level = std::make_unique<Vertices<T>>(3, 0, 0, 0);
        break;
    default:
        return stack;
    }
    const int n = m_stack ? std::min(m_stack->getNumSlices(), m_maps.getSize1()) : 0;
    for (int k = 0; k < n; ++k)
        for (const ModelItem* item : m_stack->getSlice(k)->getItems())
            if (item->getModel() == &model) {
                mapOnSlice(*level, *item, k);
                stack->append(*level);
            }
    stack->detach();
    return stack;
}

#define PLEXAN_INSTANTIATE(T) template class StackReconstruction<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
