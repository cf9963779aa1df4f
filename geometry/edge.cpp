#include "geometry/edge.h"

#include <algorithm>

template <typename T>
Edge<T>::Edge()
{
    this->setOpen(true);
    this->m_indexes.assign(2, 0);
}

template <typename T>
Edge<T>::Edge(int space) : Curve<T>(space, 2, 0, 0, true)
{
}

template <typename T>
Edge<T>::Edge(const Vertices<T>& vertices, int i, int j)
{
    this->setOpen(true);
    this->setServer(const_cast<VertexServer<T>*>(vertices.getServer()));
    this->m_indexes = {vertices.getIndex(i), vertices.getIndex(j)};
}

template <typename T>
Edge<T>& Edge<T>::operator=(const Edge& other)
{
    this->assign(other);
    return *this;
}

template <typename T>
void Edge<T>::setServerIndexes(VertexServer<T>* pool, int a, int b)
{
    this->setServer(pool);
    this->m_indexes.resize(2);
    this->m_indexes[0] = a;
    this->m_indexes[1] = b;
}

template <typename T>
typename Edge<T>::Real Edge<T>::orientation(const T* a, const T* b, const T* c, int i, int j)
{
    const Real ax = static_cast<Real>(a[i]);
    const Real ay = static_cast<Real>(a[j]);
    return (static_cast<Real>(b[i]) - ax) * (static_cast<Real>(c[j]) - ay) -
           (static_cast<Real>(b[j]) - ay) * (static_cast<Real>(c[i]) - ax);
}

namespace {

// r lies within the box of p and q in the plane (i, j).
template <typename T>
bool inBox(const T* p, const T* q, const T* r, int i, int j)
{
    return std::min(p[i], q[i]) <= r[i] && r[i] <= std::max(p[i], q[i]) && std::min(p[j], q[j]) <= r[j] &&
           r[j] <= std::max(p[j], q[j]);
}

// The parameter of r (on the line of ab) along ab in the plane (i, j).
template <typename T, typename R>
R parameterOn(const T* a, const T* b, const T* r, int i, int j)
{
    const R dx = static_cast<R>(b[i]) - static_cast<R>(a[i]);
    const R dy = static_cast<R>(b[j]) - static_cast<R>(a[j]);
    const R length2 = dx * dx + dy * dy;
    if (length2 == R(0))
        return R(0);
    return ((static_cast<R>(r[i]) - static_cast<R>(a[i])) * dx + (static_cast<R>(r[j]) - static_cast<R>(a[j])) * dy) /
           length2;
}

template <typename R>
bool opposite(R u, R v)
{
    return (u > R(0) && v < R(0)) || (u < R(0) && v > R(0));
}

// Writes a + t (b - a) in every coordinate.
template <typename T, typename R>
void pointAt(const Vector<T>& a, const Vector<T>& b, R t, Vector<T>& out)
{
    out.setSize(a.getSize());
    for (int k = 0; k < a.getSize(); ++k)
        out[k] = plexan::toCoordinate<T>(static_cast<R>(a[k]) + t * (static_cast<R>(b[k]) - static_cast<R>(a[k])));
}

} // namespace

template <typename T>
bool Edge<T>::segmentsIntersect(const T* a, const T* b, const T* c, const T* d, int i, int j, Real* parameter)
{
    const Real o1 = orientation(a, b, c, i, j);
    const Real o2 = orientation(a, b, d, i, j);
    const Real o3 = orientation(c, d, a, i, j);
    const Real o4 = orientation(c, d, b, i, j);
    Real t = 0;
    bool meet = true;
    if (opposite(o1, o2) && opposite(o3, o4))
        t = o3 / (o3 - o4);
    else if (o3 == Real(0) && inBox(c, d, a, i, j))
        t = 0;
    else if (o4 == Real(0) && inBox(c, d, b, i, j))
        t = 1;
    else if (o1 == Real(0) && inBox(a, b, c, i, j))
        t = parameterOn<T, Real>(a, b, c, i, j);
    else if (o2 == Real(0) && inBox(a, b, d, i, j))
        t = parameterOn<T, Real>(a, b, d, i, j);
    else
        meet = false;
    if (meet && parameter)
        *parameter = t;
    return meet;
}

template <typename T>
typename Edge<T>::Real Edge<T>::closestParameter(const T* a, const T* b, const T* p, int space)
{
    Real dot = 0;
    Real length2 = 0;
    for (int k = 0; k < space; ++k) {
        const Real d = static_cast<Real>(b[k]) - static_cast<Real>(a[k]);
        dot += (static_cast<Real>(p[k]) - static_cast<Real>(a[k])) * d;
        length2 += d * d;
    }
    if (!(length2 > Real(0)) || dot <= Real(0))
        return Real(0);
    if (dot >= length2)
        return Real(1);
    return dot / length2;
}

template <typename T>
void Edge<T>::closestPoint(const Vector<T>& p, Vector<T>& result) const
{
    const char* where = "void Edge<T>::closestPoint(const Vector<T>&, Vector<T>&) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const Vector<T>& a = this->vertex(0);
        const Vector<T>& b = this->vertex(1);
        if (p.getSize() != a.getSize())
            throw SizeError(where, "Incompatible vector dimensions");
        pointAt(a, b, closestParameter(a.data(), b.data(), p.data(), a.getSize()), result);
    }
}

template <typename T>
bool Edge<T>::projectionIntersects(const Edge& other, int i, int j, Vector<T>* point) const
{
    const Vector<T>& a = this->vertex(0);
    const Vector<T>& b = this->vertex(1);
    Real t = 0;
    if (!segmentsIntersect(a.data(), b.data(), other.vertex(0).data(), other.vertex(1).data(), i, j, &t))
        return false;
    if (point)
        pointAt(a, b, t, *point);
    return true;
}

template <typename T>
bool Edge<T>::projectionIntersectsLine(const Edge& other, int i, int j, Vector<T>* point) const
{
    const Vector<T>& a = this->vertex(0);
    const Vector<T>& b = this->vertex(1);
    const T* c = other.vertex(0).data();
    const T* d = other.vertex(1).data();
    if (c[i] == d[i] && c[j] == d[j])
        return false;
    const Real o1 = orientation(c, d, a.data(), i, j);
    const Real o2 = orientation(c, d, b.data(), i, j);
    if (opposite(o1, o2) || o1 == Real(0) || o2 == Real(0)) {
        if (point) {
            const Real t = o1 == Real(0) ? Real(0) : o2 == Real(0) ? Real(1) : o1 / (o1 - o2);
            pointAt(a, b, t, *point);
        }
        return true;
    }
    return false;
}

template <typename T>
int Edge<T>::intersects(const Vector<T>& normal, const T& d, Vector<T>& result) const
{
    const Vector<T>& a = this->vertex(0);
    const Vector<T>& b = this->vertex(1);
    if (normal.getSize() != a.getSize())
        throw SizeError("int Edge<T>::intersects(const Vector<T>&, const T&, Vector<T>&) const",
                        "Incompatible vector dimensions");
    Real da = -static_cast<Real>(d);
    Real db = -static_cast<Real>(d);
    for (int k = 0; k < a.getSize(); ++k) {
        da += static_cast<Real>(normal[k]) * static_cast<Real>(a[k]);
        db += static_cast<Real>(normal[k]) * static_cast<Real>(b[k]);
    }
    if (da == Real(0) && db == Real(0)) {
        result = a;
        return 2;
    }
    if ((da > Real(0) && db > Real(0)) || (da < Real(0) && db < Real(0)))
        return 0;
    pointAt(a, b, da / (da - db), result);
    return 1;
}

// Iterator ------------------------------------------------------------------

template <typename T>
Edge<T>* CurveEdgeIterator<T>::current()
{
    if (m_edge >= m_curve->getNumEdges() || !m_curve->hasServer())
        return nullptr;
    const int n = m_curve->getNumVertices();
    m_current.setServerIndexes(const_cast<VertexServer<T>*>(m_curve->getServer()), m_curve->getIndex(m_edge),
                               m_curve->getIndex(m_edge + 1 == n ? 0 : m_edge + 1));
    return &m_current;
}

template <typename T>
bool CurveEdgeIterator<T>::isPrevious(const CurveEdgeIterator& other) const
{
    if (m_curve != other.m_curve)
        return false;
    const int edges = m_curve->getNumEdges();
    if (m_edge + 1 == other.m_edge && other.m_edge < edges)
        return true;
    return m_curve->isClosed() && edges > 1 && m_edge == edges - 1 && other.m_edge == 0;
}

#define PLEXAN_INSTANTIATE(T)                                                                                   \
    template class Edge<T>;                                                                                     \
    template class CurveEdgeIterator<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
