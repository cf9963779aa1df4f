#pragma once
// Curve<T>: a polyline (open) or polygon (closed: the last vertex joins the
// first) over a vertex list. Slice outlines are closed curves of dimension 2,
// or 3 once placed in the stack's frame. Planar measures and tests take two
// coordinates i and j (x and y by default).
//
// Edges are numbered k = 0 .. n-2 for (k, k+1), then n-1 for the closing edge
// (n-1, 0) of a closed curve; a curve of fewer than 2 vertices has none.

#include "geometry/edgeiterator.h"
#include "geometry/vertices.h"

#include <vector>

template <typename T> class Edge;

template <typename T>
class Curve : public Vertices<T> {
public:
    Curve() = default;
    Curve(int space, int size, int capacity = 0, int growth = 0, bool open = false);
    // Shares the vertices' pool and copies their list.
    Curve(const Vertices<T>& vertices, bool open);
    Curve(const Curve& other) = default;
    explicit Curve(const std::string& fileName);

    // other must be a Curve<T> (std::bad_cast otherwise): shares its pool,
    // copies its list and its open flag.
    void assign(const VertexClient<T>& other) override;
    Curve& operator=(const Curve& other);
    using Vertices<T>::operator=;

    Curve* clone() const override { return new Curve(*this); }
    int getShapeType() const override { return m_open ? OpenCurveShape : ClosedCurveShape; }
    bool isOpen() const { return m_open; }
    bool isClosed() const { return !m_open; }
    void setOpen(bool open) { m_open = open; }
    int getNumEdges() const;

    // Orientation and measures ------------------------------------------------

    // Twice the signed area in the plane of coordinates i and j, closing edge
    // included: positive counter-clockwise with the second axis pointing up;
    // 0 for an open curve or fewer than 3 vertices.
    T twiceArea(int i = 0, int j = 1) const;
    bool isClockwise(int i = 0, int j = 1) const { return twiceArea(i, j) < T(0); }
    // Reverses the list when the orientation differs (a zero area changes
    // nothing).
    void setClockwise(bool clockwise, int i = 0, int j = 1);
    // The sum of the edge lengths, closing edge included (integer
    // coordinates round to nearest).
    T length() const;
    // One unit normal per vertex (-ty, tx), of the tangent vertex k+1 minus
    // vertex k-1 in the plane of coordinates i and j (one-sided at the ends of
    // an open curve, wrapping around a closed one); a zero tangent gives a
    // zero normal. Real coordinate types only.
    Vertices<T> normals(int i = 0, int j = 1) const;
    // The squared distances of the vertices from the centre of gravity.
    Vector<T> signature() const;
    // The point of the curve nearest to p, the first edge winning a tie (a
    // single vertex for a one-vertex curve, empty for an empty one). Real
    // coordinate types only.
    void closestPoint(const Vector<T>& p, Vector<T>& result) const;

    // Containment and intersections --------------------------------------------

    // Point in polygon in the plane of coordinates i and j; always false for
    // an open curve. A point equal to a vertex is inside. Otherwise each edge
    // straddling the horizontal line through p (one end strictly above, the
    // other at or below) counts when the line meets it at or to the right of
    // p; p is inside when the count is odd. Points on an edge are inside when
    // the polygon lies to their left.
    bool contains(const Vector<T>& p, int i = 0, int j = 1) const;
    // Every vertex of other is inside this curve and the curves do not
    // intersect; false for an open curve.
    bool contains(const Curve& other, int i = 0, int j = 1) const;
    // Some edge of this curve meets some edge of other (closed segments,
    // touching included).
    bool intersects(const Curve& other, int i = 0, int j = 1) const;
    // Two non-adjacent edges meet.
    bool selfIntersects(int i = 0, int j = 1) const;
    // This curve's edge number for every intersecting pair (edge of this,
    // edge of other), in edge order.
    Vector<int> intersectionIndexes(const Curve& other, int i = 0, int j = 1) const;

    // Editing ------------------------------------------------------------------

    // indexes are pairs (a, b). Curve p + 1 is a detached copy restricted to
    // positions a .. b + 1 of pair p; curve 0 a detached copy from which
    // positions a + 1 .. b of every pair are removed.
    std::vector<Curve> split(const Vector<int>& indexes) const;
    std::vector<Curve> split(const Curve& other, int i = 0, int j = 1) const;
    // Joins two closed curves by a double bridge at their closest vertices
    // (positions i here and j in other): a new closed curve of p + q + 2
    // vertices, this curve's 0 .. i, other's j .. q-1, other's 0 .. j, this
    // curve's i .. p-1.
    Curve join(const Curve& other) const;

    // Resampling ----------------------------------------------------------------

    // Resamples into result at equal arc-length spacing, keeping result's
    // vertex count; result takes this curve's open flag (see
    // CurveResampling).
    void resample(Curve& result) const;
    // A new curve of n vertices resampled from this one.
    Curve resample(int n) const;
    // Equal-arc-length resampling of the polyline into result's vertex count,
    // keeping the two ends.
    void resamplePolyline(Curve& result) const;
    // One deviation per vertex between this curve and a resampled version of
    // it, in the plane of coordinates i and j: the distance from the vertex to
    // the line of the resampled segment found at the same fraction of the
    // arc length. Real coordinate types only.
    void resamplingError(const Curve& resampled, Vector<T>& errors, int i = 0, int j = 1) const;

    void read(std::istream& stream) override;
    ConcreteEdgeIterator<T>* edgeIterator() override;
    ConcreteEdgeIterator<T>* edgeIterator() const override;

private:
    bool m_open = false;
};

#define PLEXAN_EXTERN_CURVE(T) extern template class Curve<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_CURVE)
#undef PLEXAN_EXTERN_CURVE
