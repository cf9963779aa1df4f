#include "geometry/triangle.h"

#include <algorithm>
#include <cmath>

namespace {

using plexan::Accumulator;

template <typename R>
struct V3 {
    R x = 0, y = 0, z = 0;
    V3 operator-(const V3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    V3 operator+(const V3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    V3 operator*(R s) const { return {x * s, y * s, z * s}; }
    R dot(const V3& o) const { return x * o.x + y * o.y + z * o.z; }
    V3 cross(const V3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    R norm() const { return std::sqrt(dot(*this)); }
};

template <typename R, typename T>
V3<R> load(const Vector<T>& v)
{
    return {static_cast<R>(v[0]), static_cast<R>(v[1]), v.getSize() > 2 ? static_cast<R>(v[2]) : R(0)};
}

template <typename T, typename R>
void store(const V3<R>& p, int space, Vector<T>& out)
{
    out.setSize(space);
    const R c[3] = {p.x, p.y, p.z};
    for (int k = 0; k < space; ++k)
        out[k] = plexan::toCoordinate<T>(c[k]);
}

// Relative tolerance of the contact tests, for the precision they run in.
template <typename R>
constexpr R contactTolerance()
{
    return std::is_same_v<R, long double> ? R(1e-15L) : R(1e-12);
}

[[noreturn]] void throwSpace(const char* where)
{
    throw SizeError(where, "Incompatible vector dimensions");
}

} // namespace

template <typename T>
Triangle<T>::Triangle()
{
    this->m_indexes.assign(3, 0);
}

template <typename T>
Triangle<T>::Triangle(int space) : Curve<T>(space, 3, 0, 0, false)
{
}

template <typename T>
Triangle<T>::Triangle(const Vertices<T>& vertices, int i, int j, int k)
{
    this->setServer(const_cast<VertexServer<T>*>(vertices.getServer()));
    this->m_indexes = {vertices.getIndex(i), vertices.getIndex(j), vertices.getIndex(k)};
}

template <typename T>
Triangle<T>& Triangle<T>::operator=(const Triangle& other)
{
    this->assign(other);
    return *this;
}

template <typename T>
void Triangle<T>::setServerIndexes(VertexServer<T>* pool, int a, int b, int c)
{
    this->setServer(pool);
    this->m_indexes.resize(3);
    this->m_indexes[0] = a;
    this->m_indexes[1] = b;
    this->m_indexes[2] = c;
}

template <typename T>
Vector<T> Triangle<T>::normal(bool normalise) const
{
    const char* where = "Vector<T> Triangle<T>::normal(bool) const";
    const int space = this->getSpace();
    if (space != 2 && space != 3)
        throwSpace(where);
    using R = Real;
    const V3<R> p = load<R>(this->vertex(0));
    V3<R> n = (load<R>(this->vertex(1)) - p).cross(load<R>(this->vertex(2)) - p);
    if (normalise) {
        if constexpr (!plexan::isReal<T>) {
            plexan::refuseType<T>(where);
        } else {
            const R length = n.norm();
            if (length > R(0))
                n = n * (R(1) / length);
        }
    }
    Vector<T> out;
    store<T>(n, 3, out);
    return out;
}

template <typename T>
bool Triangle<T>::contains(const Vector<T>& p) const
{
    if (this->getSpace() == 2) {
        using R = Real;
        const T* a = this->vertex(0).data();
        const T* b = this->vertex(1).data();
        const T* c = this->vertex(2).data();
        if (Edge<T>::orientation(a, b, c, 0, 1) == R(0)) {
            // A flat triangle holds the points of its edges only.
            return Edge<T>::segmentsIntersect(a, b, p.data(), p.data(), 0, 1) ||
                   Edge<T>::segmentsIntersect(b, c, p.data(), p.data(), 0, 1) ||
                   Edge<T>::segmentsIntersect(c, a, p.data(), p.data(), 0, 1);
        }
        const R s[3] = {Edge<T>::orientation(a, b, p.data(), 0, 1), Edge<T>::orientation(b, c, p.data(), 0, 1),
                        Edge<T>::orientation(c, a, p.data(), 0, 1)};
        const bool negative = s[0] < R(0) || s[1] < R(0) || s[2] < R(0);
        const bool positive = s[0] > R(0) || s[1] > R(0) || s[2] > R(0);
        return !(negative && positive);
    }
    return contains(p, normal(false));
}

template <typename T>
bool Triangle<T>::contains(const Vector<T>& p, const Vector<T>& n) const
{
    const char* where = "bool Triangle<T>::contains(const Vector<T>&, const Vector<T>&) const";
    if (this->getSpace() != 3 || p.getSize() != 3 || n.getSize() != 3)
        throwSpace(where);
    using R = Real;
    const V3<R> v[3] = {load<R>(this->vertex(0)), load<R>(this->vertex(1)), load<R>(this->vertex(2))};
    const V3<R> q = load<R>(p);
    const V3<R> normal = load<R>(n);
    if ((v[1] - v[0]).cross(v[2] - v[0]).norm() == R(0)) {
        // A flat triangle holds the points of its edges only.
        for (int k = 0; k < 3; ++k) {
            const V3<R> e = v[(k + 1) % 3] - v[k];
            const V3<R> d = q - v[k];
            const R t = e.dot(e) > R(0) ? std::clamp(d.dot(e) / e.dot(e), R(0), R(1)) : R(0);
            const V3<R> r = d - e * t;
            if (r.dot(r) == R(0))
                return true;
        }
        return false;
    }
    bool negative = false;
    bool positive = false;
    for (int k = 0; k < 3; ++k) {
        const R c = (v[(k + 1) % 3] - v[k]).cross(q - v[k]).dot(normal);
        negative = negative || c < R(0);
        positive = positive || c > R(0);
    }
    return !(negative && positive);
}

template <typename T>
int Triangle<T>::intersects(const Edge<T>& edge, Vector<T>& point) const
{
    return intersects(edge, point, normal(false));
}

template <typename T>
int Triangle<T>::intersects(const Edge<T>& edge, Vector<T>& point, const Vector<T>& n) const
{
    const char* where = "int Triangle<T>::intersects(const Edge<T>&, Vector<T>&, const Vector<T>&) const";
    if (this->getSpace() != 3 || edge.getSpace() != 3 || n.getSize() != 3)
        throwSpace(where);
    using R = Real;
    const R eps = contactTolerance<R>();
    const V3<R> v[3] = {load<R>(this->vertex(0)), load<R>(this->vertex(1)), load<R>(this->vertex(2))};
    const V3<R> a = load<R>(edge.vertex(0));
    const V3<R> b = load<R>(edge.vertex(1));
    V3<R> normal = load<R>(n);
    const V3<R> own = (v[1] - v[0]).cross(v[2] - v[0]);
    if (own.dot(normal) < R(0))
        normal = normal * R(-1); // the tests below expect the triangle's own orientation
    const R nn = normal.norm();
    if (!(nn > R(0)) || !(own.norm() > R(0)))
        return 0; // no plane: a flat triangle or a zero normal has no interior to cross
    const R scale = std::max({(a - v[0]).norm(), (b - v[0]).norm(), (v[1] - v[0]).norm(), (v[2] - v[0]).norm()});
    const R planeTolerance = eps * nn * scale;
    const R da = normal.dot(a - v[0]);
    const R db = normal.dot(b - v[0]);
    const bool aOn = std::fabs(da) <= planeTolerance;
    const bool bOn = std::fabs(db) <= planeTolerance;

    if (aOn && bOn) {
        // In the plane: a contact when an end is inside or the segment
        // crosses an edge, tested in the coordinate plane facing the normal.
        const R ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
        const int drop = ax >= ay && ax >= az ? 0 : ay >= az ? 1 : 2;
        auto project = [drop](const V3<R>& p) {
            return drop == 0 ? V3<R>{p.y, p.z, 0} : drop == 1 ? V3<R>{p.z, p.x, 0} : V3<R>{p.x, p.y, 0};
        };
        const V3<R> pa = project(a), pb = project(b);
        const V3<R> pv[3] = {project(v[0]), project(v[1]), project(v[2])};
        auto orient = [](const V3<R>& p, const V3<R>& q, const V3<R>& r) {
            return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
        };
        const R sense = orient(pv[0], pv[1], pv[2]) < R(0) ? R(-1) : R(1);
        auto inside = [&](const V3<R>& p) {
            for (int k = 0; k < 3; ++k)
                if (sense * orient(pv[k], pv[(k + 1) % 3], p) < R(0))
                    return false;
            return true;
        };
        bool touch = inside(pa) || inside(pb);
        for (int k = 0; k < 3 && !touch; ++k) {
            const V3<R>& c = pv[k];
            const V3<R>& d = pv[(k + 1) % 3];
            const R o1 = orient(pa, pb, c), o2 = orient(pa, pb, d);
            const R o3 = orient(c, d, pa), o4 = orient(c, d, pb);
            touch = ((o1 <= R(0) && o2 >= R(0)) || (o1 >= R(0) && o2 <= R(0))) &&
                    ((o3 <= R(0) && o4 >= R(0)) || (o3 >= R(0) && o4 <= R(0)));
        }
        if (!touch)
            return 0;
        store<T>(a, 3, point);
        return 2;
    }
    if ((da > planeTolerance && db > planeTolerance) || (da < -planeTolerance && db < -planeTolerance))
        return 0;

    const V3<R> x = aOn ? a : bOn ? b : a + (b - a) * (da / (da - db));
    bool edgeContact = false;
    for (int k = 0; k < 3; ++k) {
        const V3<R> e = v[(k + 1) % 3] - v[k];
        const V3<R> d = x - v[k];
        const R c = e.cross(d).dot(normal);
        const R tolerance = eps * nn * e.norm() * std::max(d.norm(), scale);
        if (c < -tolerance)
            return 0;
        if (c <= tolerance)
            edgeContact = true;
    }
    store<T>(x, 3, point);
    return edgeContact || aOn || bOn ? 2 : 1;
}

template <typename T>
void Triangle<T>::closestPoint(const Vector<T>& p, Vector<T>& result) const
{
    const char* where = "void Triangle<T>::closestPoint(const Vector<T>&, Vector<T>&) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const int space = this->getSpace();
        if ((space != 2 && space != 3) || p.getSize() != space)
            throwSpace(where);
        using R = Real;
        // Voronoi regions of the vertices, then of the edges, then the face.
        const V3<R> a = load<R>(this->vertex(0));
        const V3<R> b = load<R>(this->vertex(1));
        const V3<R> c = load<R>(this->vertex(2));
        const V3<R> q = load<R>(p);
        const V3<R> ab = b - a, ac = c - a, ap = q - a;
        const R d1 = ab.dot(ap), d2 = ac.dot(ap);
        if (d1 <= R(0) && d2 <= R(0))
            return store<T>(a, space, result);
        const V3<R> bp = q - b;
        const R d3 = ab.dot(bp), d4 = ac.dot(bp);
        if (d3 >= R(0) && d4 <= d3)
            return store<T>(b, space, result);
        const R vc = d1 * d4 - d3 * d2;
        if (vc <= R(0) && d1 >= R(0) && d3 <= R(0))
            return store<T>(a + ab * (d1 / (d1 - d3)), space, result);
        const V3<R> cp = q - c;
        const R d5 = ab.dot(cp), d6 = ac.dot(cp);
        if (d6 >= R(0) && d5 <= d6)
            return store<T>(c, space, result);
        const R vb = d5 * d2 - d1 * d6;
        if (vb <= R(0) && d2 >= R(0) && d6 <= R(0))
            return store<T>(a + ac * (d2 / (d2 - d6)), space, result);
        const R va = d3 * d6 - d5 * d4;
        if (va <= R(0) && d4 - d3 >= R(0) && d5 - d6 >= R(0))
            return store<T>(b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6))), space, result);
        const R denominator = va + vb + vc;
        if (!(denominator != R(0)))
            return store<T>(a, space, result); // a flat triangle caught by none of the regions
        const R v = vb / denominator, w = vc / denominator;
        store<T>(a + ab * v + ac * w, space, result);
    }
}

#define PLEXAN_INSTANTIATE(T) template class Triangle<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
