#include "geometry/curvestack.h"

#include "geometry/curveresampling.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <vector>

template <typename T>
CurveStack<T>::CurveStack(int space, int height, int width, int capacity, int growth, bool open)
    : VertexStack<T>(space, height, width, capacity, growth), m_open(open)
{
    // The base made plain lists: turn every level into a curve on the same
    // entries.
    for (Vertices<T>*& level : this->m_levels) {
        Curve<T>* curve = new Curve<T>(*level, open);
        delete level;
        level = curve;
    }
}

template <typename T>
CurveStack<T>::CurveStack(const VertexStack<T>& stack, bool open) : m_open(open)
{
    this->setServer(const_cast<VertexServer<T>*>(stack.getServer()));
    for (int k = 0; k < stack.getHeight(); ++k)
        this->insertLevel(this->m_levels.size(), new Curve<T>(stack[k], open));
}

template <typename T>
CurveStack<T>::CurveStack(const std::string& fileName)
{
    this->load(fileName);
}

template <typename T>
void CurveStack<T>::assign(const VertexClient<T>& other)
{
    const CurveStack& stack = dynamic_cast<const CurveStack&>(other);
    if (&stack == this)
        return;
    VertexStack<T>::assign(other);
    m_open = stack.m_open;
}

template <typename T>
CurveStack<T>& CurveStack<T>::operator=(const CurveStack& other)
{
    assign(other);
    return *this;
}

template <typename T>
void CurveStack<T>::setOpen(bool open)
{
    m_open = open;
    for (int k = 0; k < this->getHeight(); ++k)
        level(k).setOpen(open);
}

template <typename T>
void CurveStack<T>::insert(unsigned int k, const Vertices<T>& vertices)
{
    const auto* curve = dynamic_cast<const Curve<T>*>(&vertices);
    if (!curve || curve->isOpen() != m_open)
        throw TypeError("void CurveStack<T>::insert(...)", "Closure mismatch");
    if (!this->m_server)
        this->setServer(const_cast<VertexServer<T>*>(vertices.getServer()));
    this->insertLevel(k, new Curve<T>(*curve));
}

template <typename T>
Curve<T>* CurveStack<T>::newLevel() const
{
    auto* curve = new Curve<T>;
    curve->setOpen(m_open);
    return curve;
}

template <typename T>
bool CurveStack<T>::isBranching() const
{
    const int h = this->getHeight();
    for (int k = 1; k < h; ++k) {
        const Curve<T>& a = level(k - 1);
        const Curve<T>& b = level(k);
        if (a.getNumVertices() > 0 && b.getNumVertices() > 0 && a.vertex(0)[2] == b.vertex(0)[2])
            return true;
    }
    return false;
}

namespace {

// The arc length from vertex 0 to every vertex of a closed curve, and the
// perimeter last.
template <typename T>
std::vector<double> arcLengths(const Curve<T>& curve)
{
    const int n = curve.getNumVertices();
    const int space = curve.getSpace();
    std::vector<double> s(static_cast<std::size_t>(n) + 1, 0.0);
    for (int t = 0; t < n; ++t) {
        const Vector<T>& a = curve.vertex(t);
        const Vector<T>& b = curve.vertex(t + 1 == n ? 0 : t + 1);
        double d2 = 0.0;
        for (int c = 0; c < space; ++c) {
            const double d = static_cast<double>(b[c]) - static_cast<double>(a[c]);
            d2 += d * d;
        }
        s[static_cast<std::size_t>(t) + 1] = s[static_cast<std::size_t>(t)] + std::sqrt(d2);
    }
    return s;
}

} // namespace

template <typename T>
void CurveStack<T>::matchStarts(int samples)
{
    if (m_open)
        return;
    const int h = this->getHeight();
    // The way round: that of the first level with an area.
    double sense = 0.0;
    for (int k = 0; k < h && sense == 0.0; ++k)
        if (level(k).getNumVertices() > 2)
            sense = static_cast<double>(level(k).twiceArea(0, 1));
    const CurveResampling<T> resampling;
    const Curve<T>* previous = nullptr;
    for (int k = 0; k < h; ++k) {
        Curve<T>& curve = level(k);
        const int n = curve.getNumVertices();
        if (n == 0)
            continue;
        const double area = n > 2 ? static_cast<double>(curve.twiceArea(0, 1)) : 0.0;
        if (area * sense < 0.0)
            curve.reverse();
        if (!previous || previous->getNumVertices() < 3 || n < 3) {
            // A start that only the shape decides.
            int best = 0;
            for (int t = 1; t < n; ++t) {
                const Vector<T>& v = curve.vertex(t);
                const Vector<T>& b = curve.vertex(best);
                if (v[0] > b[0] || (v[0] == b[0] && curve.getSpace() > 1 && v[1] > b[1]))
                    best = t;
            }
            curve.setOrigin(best);
            previous = &curve;
            continue;
        }
        const int count = std::max({samples, 2 * n, 2 * previous->getNumVertices()});
        Curve<T> here;
        Curve<T> there;
        resampling.resamplePolygon(curve, here, count);
        resampling.resamplePolygon(*previous, there, count);
        // here[(i + shift) mod count] lies over there[i]: the point over the
        // previous start sits at fraction shift / count of this perimeter.
        const int shift = here.findMatch(there);
        const std::vector<double> s = arcLengths(curve);
        const double target = s.back() * shift / count;
        int best = 0;
        double bestGap = s.back();
        for (int t = 0; t <= n; ++t) {
            const double gap = std::abs(s[static_cast<std::size_t>(t)] - target);
            if (gap < bestGap) {
                bestGap = gap;
                best = t == n ? 0 : t;
            }
        }
        curve.setOrigin(best);
        previous = &curve;
    }
}

template <typename T>
CurveStack<int> CurveStack<T>::closestPointMap(const VertexStack<T>& other) const
{
    return CurveStack<int>(VertexStack<T>::closestPointMap(other), false);
}

template <typename T>
void CurveStack<T>::read(std::istream& stream)
{
    const int type = this->readStack(stream, "void CurveStack<T>::read(istream&)");
    setOpen(type == OpenCurveStackShape || type == OpenQuadMeshShape);
}

#define PLEXAN_INSTANTIATE(T) template class CurveStack<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
