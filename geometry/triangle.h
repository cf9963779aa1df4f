#pragma once
// Triangle<T>: a closed three-vertex curve, normally a view on a mesh's pool
// (Triangle(vertices, i, j, k)); Triangle(space) owns a pool of its own. The
// primitive of the mesh containment, intersection and distance tests.
//
// Contact tests compute in double (long double for long double coordinates)
// and treat as degenerate every contact within a relative 1e-12 (1e-15) of an
// edge, a vertex or the plane, so that a ray grazing a mesh edge is reported
// as such rather than counted once, twice or not at all.

#include "geometry/edge.h"

template <typename T>
class Triangle : public Curve<T> {
public:
    using Real = plexan::Accumulator<T>;

    // No pool; three entries to be set.
    Triangle();
    // A new pool of three vertices of dimension space.
    explicit Triangle(int space);
    // Entries i, j and k of vertices, on their pool.
    Triangle(const Vertices<T>& vertices, int i, int j, int k);
    Triangle(const Triangle& other) = default;
    Triangle& operator=(const Triangle& other);
    using Curve<T>::operator=;

    Triangle* clone() const override { return new Triangle(*this); }
    // Makes the triangle view server indices a, b and c of pool.
    void setServerIndexes(VertexServer<T>* pool, int a, int b, int c);

    // (Q - P) x (R - P) for the vertices P, Q, R in order, normalised when
    // asked (real coordinate types only); a 2-D triangle gets (0, 0, z).
    Vector<T> normal(bool normalise = false) const;
    // Whether p, lying in the triangle's plane, is inside it, edges and
    // vertices included; a 2-D triangle tests p in its plane.
    bool contains(const Vector<T>& p) const;
    bool contains(const Vector<T>& p, const Vector<T>& normal) const;
    // The segment against the triangle: 0 when it misses, 1 for a proper
    // crossing of the interior (point receives it), 2 for a degenerate
    // contact: the segment touches an edge or a vertex, ends on the
    // triangle, or lies in its plane across it. 3-D only.
    int intersects(const Edge<T>& edge, Vector<T>& point) const;
    int intersects(const Edge<T>& edge, Vector<T>& point, const Vector<T>& normal) const;
    // The point of the triangle (interior, edge or vertex) nearest to p.
    // Real coordinate types only.
    void closestPoint(const Vector<T>& p, Vector<T>& result) const;
};

#define PLEXAN_EXTERN_TRIANGLE(T) extern template class Triangle<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_TRIANGLE)
#undef PLEXAN_EXTERN_TRIANGLE
