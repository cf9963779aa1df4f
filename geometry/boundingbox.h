#pragma once
// BoundingBox<T>: an axis-aligned box given by two corners. Normally vertex 1
// is the lower and vertex 2 the upper corner; rectify() makes it so. A box
// whose corners have dimension 0 is empty.

#include "geometry/coordinates.h"
#include "numerics/vector.h"

template <typename T> class Shape;
template <typename T> class Vertices;

template <typename T>
class BoundingBox {
public:
    BoundingBox() = default;
    BoundingBox(const Vector<T>& lower, const Vector<T>& upper) : m_vertex1(lower), m_vertex2(upper) {}

    // Both corners have the same dimension, above 0.
    bool isValid() const { return m_vertex1.getSize() > 0 && m_vertex1.getSize() == m_vertex2.getSize(); }
    bool isEmpty() const { return m_vertex1.getSize() == 0 && m_vertex2.getSize() == 0; }
    int getSpace() const { return m_vertex1.getSize(); }
    const Vector<T>& getVertex1() const { return m_vertex1; }
    const Vector<T>& getVertex2() const { return m_vertex2; }
    void setVertex1(const Vector<T>& v) { m_vertex1 = v; }
    void setVertex2(const Vector<T>& v) { m_vertex2 = v; }
    // Swaps coordinates so that vertex 1 is the lower corner in every axis.
    void rectify();

    T min(int k) const { return m_vertex1[k] < m_vertex2[k] ? m_vertex1[k] : m_vertex2[k]; }
    T max(int k) const { return m_vertex1[k] < m_vertex2[k] ? m_vertex2[k] : m_vertex1[k]; }
    T width(int k) const { return static_cast<T>(max(k) - min(k)); }
    Vector<T> widths() const;
    // Distance between the corners (integer coordinates round to nearest).
    T diagonal() const;
    // The midpoint of the corners (integer coordinates round to nearest).
    Vector<T> cog() const;

    // Vertex 1 minus d and vertex 2 plus d in every axis, or one margin per
    // axis.
    void expand(const T& d);
    void expand(const Vector<T>& margins);

    // vertex1[k] <= p[k] <= vertex2[k] in every axis, faces included; true
    // for an empty box. p needs at least the box's dimension.
    bool contains(const Vector<T>& p) const;
    // At least one vertex of the shape lies in the box.
    bool containsAny(const Shape<T>& shape) const;

    // The 2^d corners: in corner c, coordinate k comes from vertex 1 when bit
    // k of c is set and from vertex 2 otherwise (corner 0 is vertex 2).
    Vertices<T> vertices() const;

    // Widens the box symmetrically so that every width is a whole number of
    // steps r; returns the number of steps per axis.
    Vector<int> adjustToResolution(const T& r);

    // The smallest (rectified) box holding both; an empty box merged with
    // another yields the other.
    BoundingBox merge(const BoundingBox& other) const;

private:
    Vector<T> m_vertex1;
    Vector<T> m_vertex2;
};

#define PLEXAN_EXTERN_BOUNDING_BOX(T) extern template class BoundingBox<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_BOUNDING_BOX)
#undef PLEXAN_EXTERN_BOUNDING_BOX
