#include "geometry/curve.h"

#include "geometry/curveresampling.h"
#include "geometry/edge.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <limits>

namespace {

using plexan::Accumulator;
using plexan::toCoordinate;

// Coordinates i and j of every vertex, contiguous, in the accumulation type.
template <typename T>
std::vector<Accumulator<T>> planar(const Vertices<T>& list, int i, int j)
{
    using R = Accumulator<T>;
    const int n = list.getNumVertices();
    std::vector<R> xy(2 * static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        const T* v = list.vertex(k).data();
        xy[2 * static_cast<std::size_t>(k)] = static_cast<R>(v[i]);
        xy[2 * static_cast<std::size_t>(k) + 1] = static_cast<R>(v[j]);
    }
    return xy;
}

} // namespace

template <typename T>
Curve<T>::Curve(int space, int size, int capacity, int growth, bool open)
    : Vertices<T>(space, size, capacity, growth), m_open(open)
{
}

template <typename T>
Curve<T>::Curve(const Vertices<T>& vertices, bool open) : Vertices<T>(vertices), m_open(open)
{
}

template <typename T>
Curve<T>::Curve(const std::string& fileName)
{
    this->load(fileName);
}

template <typename T>
void Curve<T>::assign(const VertexClient<T>& other)
{
    const Curve& curve = dynamic_cast<const Curve&>(other);
    if (&curve == this)
        return;
    Vertices<T>::assign(other);
    m_open = curve.m_open;
}

template <typename T>
Curve<T>& Curve<T>::operator=(const Curve& other)
{
    assign(other);
    return *this;
}

template <typename T>
int Curve<T>::getNumEdges() const
{
    const int n = this->getNumVertices();
    if (n < 2)
        return 0;
    return m_open ? n - 1 : n;
}

// Orientation and measures --------------------------------------------------

template <typename T>
T Curve<T>::twiceArea(int i, int j) const
{
    const int n = this->getNumVertices();
    if (m_open || n < 3)
        return T(0);
    // Integer coordinates sum exactly in 64 bits.
    using S = std::conditional_t<std::is_integral_v<T>, long long, Accumulator<T>>;
    S sum = 0;
    const T* previous = this->vertex(n - 1).data();
    for (int k = 0; k < n; ++k) {
        const T* v = this->vertex(k).data();
        sum += static_cast<S>(previous[i]) * static_cast<S>(v[j]) - static_cast<S>(v[i]) * static_cast<S>(previous[j]);
        previous = v;
    }
    return static_cast<T>(sum);
}

template <typename T>
void Curve<T>::setClockwise(bool clockwise, int i, int j)
{
    const T area = twiceArea(i, j);
    if ((area < T(0) && !clockwise) || (area > T(0) && clockwise))
        this->reverse();
}

template <typename T>
T Curve<T>::length() const
{
    using R = Accumulator<T>;
    const int n = this->getNumVertices();
    const int space = this->getSpace();
    R total = 0;
    for (int k = 0; k < getNumEdges(); ++k) {
        const T* a = this->vertex(k).data();
        const T* b = this->vertex(k + 1 == n ? 0 : k + 1).data();
        R s = 0;
        for (int d = 0; d < space; ++d) {
            const R delta = static_cast<R>(b[d]) - static_cast<R>(a[d]);
            s += delta * delta;
        }
        total += std::sqrt(s);
    }
    return toCoordinate<T>(total);
}

template <typename T>
Vertices<T> Curve<T>::normals(int i, int j) const
{
    const char* where = "Vertices<T> Curve<T>::normals(int, int) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const int n = this->getNumVertices();
        Vertices<T> out(2, n);
        for (int k = 0; k < n; ++k) {
            int before = k - 1;
            int after = k + 1;
            if (m_open) {
                before = std::max(before, 0);
                after = std::min(after, n - 1);
            } else {
                before = (before + n) % n;
                after = after % n;
            }
            T tx = 0;
            T ty = 0;
            if (n >= 2) {
                tx = this->vertex(after)[i] - this->vertex(before)[i];
                ty = this->vertex(after)[j] - this->vertex(before)[j];
            }
            const T norm = std::sqrt(tx * tx + ty * ty);
            out[k][0] = norm > T(0) ? -ty / norm : T(0);
            out[k][1] = norm > T(0) ? tx / norm : T(0);
        }
        return out;
    }
}

template <typename T>
Vector<T> Curve<T>::signature() const
{
    using R = Accumulator<T>;
    const Vector<T> g = this->cog();
    const int n = this->getNumVertices();
    Vector<T> out(static_cast<unsigned int>(n));
    for (int k = 0; k < n; ++k) {
        const Vector<T>& v = this->vertex(k);
        R s = 0;
        for (int d = 0; d < v.getSize(); ++d) {
            const R delta = static_cast<R>(v[d]) - static_cast<R>(g[d]);
            s += delta * delta;
        }
        out[k] = toCoordinate<T>(s);
    }
    return out;
}

template <typename T>
void Curve<T>::closestPoint(const Vector<T>& p, Vector<T>& result) const
{
    const char* where = "void Curve<T>::closestPoint(const Vector<T>&, Vector<T>&) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        using R = Accumulator<T>;
        const int n = this->getNumVertices();
        const int space = this->getSpace();
        if (n == 0) {
            result.setSize(0);
            return;
        }
        if (p.getSize() != space)
            throw SizeError(where, "Incompatible vector dimensions");
        if (n == 1) {
            result = this->vertex(0);
            return;
        }
        R best = std::numeric_limits<R>::max();
        int bestEdge = 0;
        R bestParameter = 0;
        for (int k = 0; k < getNumEdges(); ++k) {
            const T* a = this->vertex(k).data();
            const T* b = this->vertex(k + 1 == n ? 0 : k + 1).data();
            const R t = Edge<T>::closestParameter(a, b, p.data(), space);
            R s = 0;
            for (int d = 0; d < space; ++d) {
                const R x = static_cast<R>(a[d]) + t * (static_cast<R>(b[d]) - static_cast<R>(a[d]));
                s += (x - static_cast<R>(p[d])) * (x - static_cast<R>(p[d]));
            }
            if (s < best) {
                best = s;
                bestEdge = k;
                bestParameter = t;
            }
        }
        const Vector<T>& a = this->vertex(bestEdge);
        const Vector<T>& b = this->vertex(bestEdge + 1 == n ? 0 : bestEdge + 1);
        result.setSize(space);
        for (int d = 0; d < space; ++d)
            result[d] = static_cast<T>(static_cast<R>(a[d]) + bestParameter * (static_cast<R>(b[d]) - static_cast<R>(a[d])));
    }
}

// Containment and intersections ----------------------------------------------

template <typename T>
bool Curve<T>::contains(const Vector<T>& p, int i, int j) const
{
    using R = Accumulator<T>;
    const int n = this->getNumVertices();
    if (m_open || n == 0)
        return false;
    const T px = p[i];
    const T py = p[j];
    const R x = static_cast<R>(px);
    const R y = static_cast<R>(py);
    const VertexServer<T>& server = *this->getServer();
    const int* index = this->m_indexes.data();
    bool inside = false;
    const T* a = server[index[n - 1]].data();
    for (int k = 0; k < n; ++k) {
        const T* b = server[index[k]].data();
        if (b[i] == px && b[j] == py)
            return true;
        const R ay = static_cast<R>(a[j]) - y;
        const R by = static_cast<R>(b[j]) - y;
        if ((ay > 0) != (by > 0)) {
            // (a.y - p.y)(b.x - p.x) - (b.y - p.y)(a.x - p.x): the sign of
            // where the edge crosses the line, relative to p.
            const R e = ay * (static_cast<R>(b[i]) - x) - by * (static_cast<R>(a[i]) - x);
            if (ay > 0 ? e >= 0 : e <= 0)
                inside = !inside;
        }
        a = b;
    }
    return inside;
}

template <typename T>
bool Curve<T>::contains(const Curve& other, int i, int j) const
{
    if (m_open)
        return false;
    for (int k = 0; k < other.getNumVertices(); ++k)
        if (!contains(other.vertex(k), i, j))
            return false;
    return !intersects(other, i, j);
}

namespace {

// The edges of a curve as segments in the plane (i, j), with their boxes for
// a quick rejection.
template <typename T>
struct PlanarEdges {
    using R = Accumulator<T>;
    struct Segment {
        const T* a;
        const T* b;
        T xmin, xmax, ymin, ymax;
    };
    std::vector<Segment> segments;

    PlanarEdges(const Curve<T>& curve, int i, int j)
    {
        const int n = curve.getNumVertices();
        const int edges = curve.getNumEdges();
        segments.reserve(static_cast<std::size_t>(edges));
        for (int k = 0; k < edges; ++k) {
            const T* a = curve.vertex(k).data();
            const T* b = curve.vertex(k + 1 == n ? 0 : k + 1).data();
            segments.push_back({a, b, std::min(a[i], b[i]), std::max(a[i], b[i]), std::min(a[j], b[j]),
                                std::max(a[j], b[j])});
        }
    }
    static bool meet(const Segment& s, const Segment& t, int i, int j)
    {
        if (s.xmax < t.xmin || t.xmax < s.xmin || s.ymax < t.ymin || t.ymax < s.ymin)
            return false;
        return Edge<T>::segmentsIntersect(s.a, s.b, t.a, t.b, i, j);
    }
};

} // namespace

template <typename T>
bool Curve<T>::intersects(const Curve& other, int i, int j) const
{
    const PlanarEdges<T> mine(*this, i, j);
    const PlanarEdges<T> theirs(other, i, j);
    for (const auto& s : mine.segments)
        for (const auto& t : theirs.segments)
            if (PlanarEdges<T>::meet(s, t, i, j))
                return true;
    return false;
}

template <typename T>
bool Curve<T>::selfIntersects(int i, int j) const
{
    const PlanarEdges<T> edges(*this, i, j);
    const int count = static_cast<int>(edges.segments.size());
    for (int p = 0; p < count; ++p)
        for (int q = p + 2; q < count; ++q) {
            if (!m_open && p == 0 && q == count - 1)
                continue; // the closing edge follows the last
            if (PlanarEdges<T>::meet(edges.segments[static_cast<std::size_t>(p)],
                                     edges.segments[static_cast<std::size_t>(q)], i, j))
                return true;
        }
    return false;
}

template <typename T>
Vector<int> Curve<T>::intersectionIndexes(const Curve& other, int i, int j) const
{
    const PlanarEdges<T> mine(*this, i, j);
    const PlanarEdges<T> theirs(other, i, j);
    std::vector<int> found;
    for (std::size_t p = 0; p < mine.segments.size(); ++p)
        for (const auto& t : theirs.segments)
            if (PlanarEdges<T>::meet(mine.segments[p], t, i, j))
                found.push_back(static_cast<int>(p));
    Vector<int> out(static_cast<unsigned int>(found.size()));
    std::copy(found.begin(), found.end(), out.begin());
    return out;
}

// Editing -------------------------------------------------------------------

template <typename T>
std::vector<Curve<T>> Curve<T>::split(const Vector<int>& indexes) const
{
    const int pairs = indexes.getSize() / 2;
    std::vector<Curve> pieces;
    pieces.reserve(static_cast<std::size_t>(pairs) + 1);
    pieces.push_back(*this);
    pieces.front().detach();
    for (int p = pairs - 1; p >= 0; --p)
        pieces.front().remove(indexes[2 * p] + 1, indexes[2 * p + 1]);
    for (int p = 0; p < pairs; ++p) {
        pieces.push_back(*this);
        pieces.back().detach();
        pieces.back().removeOutside(indexes[2 * p], indexes[2 * p + 1] + 1);
    }
    return pieces;
}

template <typename T>
std::vector<Curve<T>> Curve<T>::split(const Curve& other, int i, int j) const
{
    return split(intersectionIndexes(other, i, j));
}

template <typename T>
Curve<T> Curve<T>::join(const Curve& other) const
{
    int i = 0;
    int j = 0;
    this->closestPoints(other, i, j);
    const int p = this->getNumVertices();
    const int q = other.getNumVertices();
    const int space = this->getSpace();
    Curve joined(space, p + q + 2, 0, 0, false);
    int k = 0;
    auto put = [&](const Vector<T>& v) {
        std::copy_n(v.data(), std::min(space, v.getSize()), joined.vertex(k++).data());
    };
    for (int a = 0; a <= i && a < p; ++a)
        put(this->vertex(a));
    for (int b = j; b < q; ++b)
        put(other.vertex(b));
    for (int b = 0; b <= j && b < q; ++b)
        put(other.vertex(b));
    for (int a = i; a < p; ++a)
        put(this->vertex(a));
    joined.setSize(k, false);
    return joined;
}

// Resampling ------------------------------------------------------------------

template <typename T>
void Curve<T>::resample(Curve& result) const
{
    CurveResampling<T>().apply(*this, result, result.getNumVertices());
}

template <typename T>
Curve<T> Curve<T>::resample(int n) const
{
    Curve result;
    CurveResampling<T>().apply(*this, result, n);
    return result;
}

template <typename T>
void Curve<T>::resamplePolyline(Curve& result) const
{
    CurveResampling<T>().resamplePolyline(*this, result, result.getNumVertices());
}

namespace {

// Cumulative arc lengths in the plane: L[0] = 0 .. L[edges].
template <typename R>
std::vector<R> arcLengths(const std::vector<R>& xy, int edges)
{
    const std::size_t n = xy.size() / 2;
    std::vector<R> length(static_cast<std::size_t>(edges) + 1, R(0));
    for (int e = 0; e < edges; ++e) {
        const std::size_t a = static_cast<std::size_t>(e);
        const std::size_t b = (a + 1) % n;
        length[a + 1] = length[a] + std::hypot(xy[2 * b] - xy[2 * a], xy[2 * b + 1] - xy[2 * a + 1]);
    }
    return length;
}

} // namespace

template <typename T>
void Curve<T>::resamplingError(const Curve& resampled, Vector<T>& errors, int i, int j) const
{
    const char* where = "void Curve<T>::resamplingError(const Curve&, Vector<T>&, int, int) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        using R = Accumulator<T>;
        const int n = this->getNumVertices();
        const int m = resampled.getNumVertices();
        errors.setSize(n);
        errors.setZeros();
        if (n == 0 || m == 0)
            return;
        const std::vector<R> mine = planar(*this, i, j);
        const std::vector<R> theirs = planar(resampled, i, j);
        const std::vector<R> L = arcLengths(mine, getNumEdges());
        const int edges = resampled.getNumEdges();
        const std::vector<R> M = arcLengths(theirs, edges);
        const R total = L.back();
        const R totalResampled = M.back();
        int segment = 0;
        for (int k = 0; k < n; ++k) {
            const R x = mine[2 * static_cast<std::size_t>(k)];
            const R y = mine[2 * static_cast<std::size_t>(k) + 1];
            if (edges == 0) {
                errors[k] = static_cast<T>(std::hypot(x - theirs[0], y - theirs[1]));
                continue;
            }
            // The resampled segment covering the same fraction of the length.
            const R s = total > 0 ? L[static_cast<std::size_t>(k)] / total * totalResampled : R(0);
            while (segment < edges - 1 && M[static_cast<std::size_t>(segment) + 1] < s)
                ++segment;
            const std::size_t a = static_cast<std::size_t>(segment);
            const std::size_t b = (a + 1) % static_cast<std::size_t>(m);
            const R dx = theirs[2 * b] - theirs[2 * a];
            const R dy = theirs[2 * b + 1] - theirs[2 * a + 1];
            const R norm = std::hypot(dx, dy);
            const R ex = x - theirs[2 * a];
            const R ey = y - theirs[2 * a + 1];
            errors[k] = static_cast<T>(norm > 0 ? std::fabs(dx * ey - dy * ex) / norm : std::hypot(ex, ey));
        }
    }
}

// Files and iteration ---------------------------------------------------------

template <typename T>
void Curve<T>::read(std::istream& stream)
{
    m_open = this->readVertexList(stream, "void Curve<T>::read(istream&)") == OpenCurveShape;
}

template <typename T>
ConcreteEdgeIterator<T>* Curve<T>::edgeIterator()
{
    return new CurveEdgeIterator<T>(*this);
}

template <typename T>
ConcreteEdgeIterator<T>* Curve<T>::edgeIterator() const
{
    return new CurveEdgeIterator<T>(*this);
}

#define PLEXAN_INSTANTIATE(T) template class Curve<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
