#pragma once
// Edge<T>: a segment, as an open two-vertex curve. Normally a view on
// another shape's pool (Edge(vertices, i, j)), so that it follows that
// shape's vertices; Edge(space) owns a pool of its own.
//
// Planar tests take two coordinates i and j and treat segments as closed:
// touching ends and collinear overlaps intersect. Integer coordinates are
// decided exactly (up to 2^25 in magnitude); real ones in double, or long
// double for long double coordinates, without tolerance.

#include "geometry/curve.h"

template <typename T>
class Edge : public Curve<T> {
public:
    using Real = plexan::Accumulator<T>;

    // No pool; two entries to be set.
    Edge();
    // A new pool of two vertices of dimension space.
    explicit Edge(int space);
    // Entries i and j of vertices, on their pool.
    Edge(const Vertices<T>& vertices, int i, int j);
    Edge(const Edge& other) = default;
    Edge& operator=(const Edge& other);
    using Curve<T>::operator=;

    Edge* clone() const override { return new Edge(*this); }
    // Makes the edge view server indices a and b of pool.
    void setServerIndexes(VertexServer<T>* pool, int a, int b);

    // The point of the segment nearest to p: the orthogonal projection of p
    // on its line, clamped to the two ends. Real coordinate types only.
    void closestPoint(const Vector<T>& p, Vector<T>& result) const;
    // Whether the two segments, projected on the plane of coordinates i and
    // j, meet; point (when not null) receives the meeting point on this
    // edge: the crossing of a proper intersection, otherwise the first of
    // this edge's ends lying on other, else the first of other's ends lying
    // on this edge. Integer points round to nearest.
    bool projectionIntersects(const Edge& other, int i, int j, Vector<T>* point = nullptr) const;
    // The same against the infinite line through other (false when other
    // has zero length); point receives this edge's first end when the edge
    // lies on the line.
    bool projectionIntersectsLine(const Edge& other, int i, int j, Vector<T>* point = nullptr) const;
    // The segment against the plane normal . x = d: 0 when it misses, 1 when
    // it meets it once (result receives the point), 2 when it lies in it
    // (result receives its first end).
    int intersects(const Vector<T>& normal, const T& d, Vector<T>& result) const;

    // Kernels on raw coordinates, shared with Curve's loops. orientation is
    // twice the signed area of (a, b, c) in the plane of coordinates i and
    // j; segmentsIntersect decides the closed segments ab and cd and gives
    // the parameter along ab of the point described above.
    static Real orientation(const T* a, const T* b, const T* c, int i, int j);
    static bool segmentsIntersect(const T* a, const T* b, const T* c, const T* d, int i, int j,
                                  Real* parameter = nullptr);
    // The parameter of the point of segment ab nearest to p, in [0, 1].
    static Real closestParameter(const T* a, const T* b, const T* p, int space);
};

// The edge iterator of a curve: edges (k, k+1), then the closing edge of a
// closed curve. The current edge is a view on the curve's pool.
template <typename T>
class CurveEdgeIterator : public ConcreteEdgeIterator<T> {
public:
    explicit CurveEdgeIterator(const Curve<T>& curve) : m_curve(&curve) {}
    Edge<T>* current() override;
    void operator++(int) override { ++m_edge; }
    void rewind() override { m_edge = 0; }
    // The current edge number.
    int getEdgeNumber() const { return m_edge; }
    // Relations with another iterator on the same curve: this edge comes
    // right before (after) other's, the last and first edges of a closed
    // curve included.
    bool isPrevious(const CurveEdgeIterator& other) const;
    bool isNext(const CurveEdgeIterator& other) const { return other.isPrevious(*this); }
    bool isAdjacent(const CurveEdgeIterator& other) const { return isPrevious(other) || isNext(other); }
    bool operator==(const CurveEdgeIterator& other) const
    {
        return m_curve == other.m_curve && m_edge == other.m_edge;
    }

private:
    const Curve<T>* m_curve;
    int m_edge = 0;
    Edge<T> m_current;
};

#define PLEXAN_EXTERN_EDGE(T) extern template class Edge<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_EDGE)
#undef PLEXAN_EXTERN_EDGE
