#include "geometry/boundingbox.h"

#include "geometry/shape.h"
#include "geometry/vertices.h"

#include <algorithm>
#include <cmath>
#include <utility>

template <typename T>
void BoundingBox<T>::rectify()
{
    const int n = std::min(m_vertex1.getSize(), m_vertex2.getSize());
    for (int k = 0; k < n; ++k)
        if (m_vertex2[k] < m_vertex1[k])
            std::swap(m_vertex1[k], m_vertex2[k]);
}

template <typename T>
Vector<T> BoundingBox<T>::widths() const
{
    Vector<T> w(static_cast<unsigned int>(getSpace()));
    for (int k = 0; k < w.getSize(); ++k)
        w[k] = width(k);
    return w;
}

template <typename T>
T BoundingBox<T>::diagonal() const
{
    using R = plexan::Accumulator<T>;
    R s = 0;
    for (int k = 0; k < getSpace(); ++k) {
        const R d = static_cast<R>(m_vertex2[k]) - static_cast<R>(m_vertex1[k]);
        s += d * d;
    }
    return plexan::toCoordinate<T>(std::sqrt(s));
}

template <typename T>
Vector<T> BoundingBox<T>::cog() const
{
    using R = plexan::Accumulator<T>;
    Vector<T> c(static_cast<unsigned int>(getSpace()));
    for (int k = 0; k < c.getSize(); ++k)
        c[k] = plexan::toCoordinate<T>((static_cast<R>(m_vertex1[k]) + static_cast<R>(m_vertex2[k])) / 2);
    return c;
}

template <typename T>
void BoundingBox<T>::expand(const T& d)
{
    m_vertex1 -= d;
    m_vertex2 += d;
}

template <typename T>
void BoundingBox<T>::expand(const Vector<T>& margins)
{
    m_vertex1 -= margins;
    m_vertex2 += margins;
}

template <typename T>
bool BoundingBox<T>::contains(const Vector<T>& p) const
{
    const int n = getSpace();
    if (p.getSize() < n)
        throw SizeError("bool BoundingBox<T>::contains(const Vector<T>&) const", "Incompatible vector dimensions");
    for (int k = 0; k < n; ++k)
        if (p[k] < m_vertex1[k] || m_vertex2[k] < p[k])
            return false;
    return true;
}

template <typename T>
bool BoundingBox<T>::containsAny(const Shape<T>& shape) const
{
    for (ConstVertexIterator<T> it(shape); it.current(); ++it)
        if (contains(*it.current()))
            return true;
    return false;
}

template <typename T>
Vertices<T> BoundingBox<T>::vertices() const
{
    const int d = getSpace();
    const int count = 1 << d;
    Vertices<T> corners(d, count);
    for (int c = 0; c < count; ++c)
        for (int k = 0; k < d; ++k)
            corners[c][k] = (c >> k) & 1 ? m_vertex1[k] : m_vertex2[k];
    return corners;
}

template <typename T>
Vector<int> BoundingBox<T>::adjustToResolution(const T& r)
{
    using R = plexan::Accumulator<T>;
    const int d = getSpace();
    Vector<int> n(static_cast<unsigned int>(d));
    for (int k = 0; k < d; ++k) {
        const R w = static_cast<R>(width(k));
        n[k] = static_cast<int>(std::ceil(w / static_cast<R>(r)));
        const bool ascending = !(m_vertex2[k] < m_vertex1[k]);
        Vector<T>& lower = ascending ? m_vertex1 : m_vertex2;
        Vector<T>& upper = ascending ? m_vertex2 : m_vertex1;
        if constexpr (std::is_integral_v<T>) {
            // Integer boxes take the odd unit on the upper side.
            const int total = n[k] * static_cast<int>(r) - static_cast<int>(w);
            lower[k] = static_cast<T>(lower[k] - total / 2);
            upper[k] = static_cast<T>(upper[k] + (total - total / 2));
        } else {
            const R margin = (n[k] * static_cast<R>(r) - w) / 2;
            lower[k] = static_cast<T>(lower[k] - margin);
            upper[k] = static_cast<T>(upper[k] + margin);
        }
    }
    return n;
}

template <typename T>
BoundingBox<T> BoundingBox<T>::merge(const BoundingBox& other) const
{
    if (isEmpty())
        return other;
    if (other.isEmpty())
        return *this;
    const int d = getSpace();
    if (other.getSpace() != d)
        throw SizeError("BoundingBox<T> BoundingBox<T>::merge(const BoundingBox&) const",
                        "Incompatible vector dimensions");
    Vector<T> lower(static_cast<unsigned int>(d));
    Vector<T> upper(static_cast<unsigned int>(d));
    for (int k = 0; k < d; ++k) {
        lower[k] = std::min(min(k), other.min(k));
        upper[k] = std::max(max(k), other.max(k));
    }
    return BoundingBox(lower, upper);
}

#define PLEXAN_INSTANTIATE(T) template class BoundingBox<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
