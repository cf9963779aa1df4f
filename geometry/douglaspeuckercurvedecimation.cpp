#include "geometry/douglaspeuckercurvedecimation.h"

#include "geometry/curve.h"

#include <cmath>
#include <utility>

namespace {

// Distance of (px, py) to the line through (ax, ay) and (bx, by), in single
// precision; the foot of the perpendicular is not clamped to the chord.
inline float lineDistance(float px, float py, float ax, float ay, float bx, float by)
{
    const float dx = bx - ax;
    const float dy = by - ay;
    const float d2 = dx * dx + dy * dy;
    if (d2 == 0.0f)
        return std::sqrt((px - ax) * (px - ax) + (py - ay) * (py - ay));
    const float t = ((px - ax) * dx + (py - ay) * dy) / d2;
    const float fx = ax + t * dx - px;
    const float fy = ay + t * dy - py;
    return std::sqrt(fx * fx + fy * fy);
}

} // namespace

template <typename T>
float DouglasPeuckerCurveDecimation<T>::findVertexDistance(const Vector<T>& p, const Vector<T>& a,
                                                           const Vector<T>& b)
{
    return lineDistance(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(a[0]),
                        static_cast<float>(a[1]), static_cast<float>(b[0]), static_cast<float>(b[1]));
}

template <typename T>
void DouglasPeuckerCurveDecimation<T>::loadCoordinates(const Curve<T>& curve)
{
    const int n = curve.getNumVertices();
    m_x.resize(static_cast<std::size_t>(n));
    m_y.resize(static_cast<std::size_t>(n));
    m_distances.assign(static_cast<std::size_t>(n), 0.0f);
    const bool planar = curve.getSpace() > 1;
    for (int i = 0; i < n; ++i) {
        const T* v = curve.vertex(i).data();
        m_x[i] = static_cast<float>(v[0]);
        m_y[i] = planar ? static_cast<float>(v[1]) : 0.0f;
    }
}

template <typename T>
float DouglasPeuckerCurveDecimation<T>::distance(int p, int a, int b) const
{
    return lineDistance(m_x[p], m_y[p], m_x[a], m_y[a], m_x[b], m_y[b]);
}

template <typename T>
int DouglasPeuckerCurveDecimation<T>::farthest(int first, int last)
{
    int best = first;
    float largest = -1.0f;
    for (int i = first + 1; i < last; ++i) {
        const float d = distance(i, first, last);
        m_distances[i] = d;
        if (d > largest) {
            largest = d;
            best = i;
        }
    }
    return best;
}

template <typename T>
int DouglasPeuckerCurveDecimation<T>::findVerticesDistances(const Curve<T>& curve, int first, int last)
{
    loadCoordinates(curve);
    return farthest(first, last);
}

template <typename T>
void DouglasPeuckerCurveDecimation<T>::apply(const Curve<T>& curve, std::vector<bool>& keep, int first,
                                             int last)
{
    loadCoordinates(curve);
    split(keep, first, last);
}

template <typename T>
void DouglasPeuckerCurveDecimation<T>::split(std::vector<bool>& keep, int first, int last)
{
    // The ranges are independent of one another, so a stack of pending
    // ranges does the work of the recursion without its depth.
    const float tolerance = static_cast<float>(m_tolerance);
    std::vector<std::pair<int, int>> pending{{first, last}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (b - a < 2)
            continue;
        const int m = farthest(a, b);
        if (!(m_distances[m] > tolerance))
            continue;
        keep[m] = true;
        pending.emplace_back(m, b);
        pending.emplace_back(a, m);
    }
}

template <typename T>
void DouglasPeuckerCurveDecimation<T>::postProcess(const Curve<T>& curve, std::vector<bool>& keep) const
{
    DouglasPeuckerCurveDecimation<T> self(*this);
    self.loadCoordinates(curve);
    self.reviewEnds(keep);
}

template <typename T>
void DouglasPeuckerCurveDecimation<T>::reviewEnds(std::vector<bool>& keep) const
{
    const int n = static_cast<int>(m_x.size());
    if (n < 3)
        return;
    const float tolerance = static_cast<float>(m_tolerance);
    keep[n - 1] = distance(n - 1, 0, n - 2) > tolerance;
    if (keep[n - 1])
        keep[0] = distance(0, 1, n - 1) > tolerance;
}

template <typename T>
void DouglasPeuckerCurveDecimation<T>::apply(Curve<T>& curve)
{
    loadCoordinates(curve);
    const int n = curve.getNumVertices();
    std::vector<bool> keep(static_cast<std::size_t>(n), false);
    if (n > 0) {
        keep[0] = true;
        keep[n - 1] = true;
    }
    if (n >= 3) {
        split(keep, 0, n - 1);
        if (curve.isClosed())
            reviewEnds(keep);
    }

    int count = 0;
    for (int i = 0; i < n; ++i)
        count += keep[i];
    const bool planar = curve.getSpace() > 1;
    Curve<T> result(2, count, 0, 0, false);
    for (int i = 0, k = 0; i < n; ++i) {
        if (!keep[i])
            continue;
        const T* v = curve.vertex(i).data();
        T* w = result.vertex(k++).data();
        w[0] = v[0];
        w[1] = planar ? v[1] : T(0);
    }
    curve = result;
}

template class DouglasPeuckerCurveDecimation<int>;
template class DouglasPeuckerCurveDecimation<float>;
template class DouglasPeuckerCurveDecimation<double>;
template class DouglasPeuckerCurveDecimation<long double>;
