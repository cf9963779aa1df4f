#pragma once
// CurveStack<T>: the contours of one structure through a stack of slices, one
// curve per level, all open or all closed. Surfaces are built from it.

#include "geometry/curve.h"
#include "geometry/vertexstack.h"

template <typename T> class QuadMesh;

template <typename T>
class CurveStack : public VertexStack<T> {
public:
    CurveStack() = default;
    // height curves of width vertices on one new pool (see VertexStack).
    CurveStack(int space, int height, int width, int capacity = 0, int growth = 0, bool open = false);
    // The levels of a vertex stack, as curves with the given flag.
    CurveStack(const VertexStack<T>& stack, bool open);
    CurveStack(const CurveStack& other) = default;
    explicit CurveStack(const std::string& fileName);

    // other must be a CurveStack<T> (std::bad_cast otherwise).
    void assign(const VertexClient<T>& other) override;
    CurveStack& operator=(const CurveStack& other);
    using VertexStack<T>::operator=;

    CurveStack* clone() const override { return new CurveStack(*this); }
    int getShapeType() const override { return m_open ? OpenCurveStackShape : ClosedCurveStackShape; }
    bool isOpen() const { return m_open; }
    bool isClosed() const { return !m_open; }
    // Sets the flag of the stack and of every level.
    void setOpen(bool open);

    Curve<T>& level(int k) { return static_cast<Curve<T>&>(VertexStack<T>::operator[](k)); }
    const Curve<T>& level(int k) const { return static_cast<const Curve<T>&>(VertexStack<T>::operator[](k)); }
    Curve<T>& operator[](int k) { return level(k); }
    const Curve<T>& operator[](int k) const { return level(k); }
    using VertexStack<T>::operator[];
    Curve<T>& getFirstCurve() { return level(0); }
    const Curve<T>& getFirstCurve() const { return level(0); }
    Curve<T>& getLastCurve() { return level(this->getHeight() - 1); }
    const Curve<T>& getLastCurve() const { return level(this->getHeight() - 1); }

    // vertices must be a Curve<T> with the stack's open flag (TypeError
    // "Closure mismatch" otherwise); the level stored is a new curve sharing
    // its pool.
    void insert(unsigned int k, const Vertices<T>& vertices) override;
    using VertexStack<T>::append;
    using VertexStack<T>::prepend;
    Curve<T>* newLevel() const override;

    // Two consecutive levels start on the same slice (equal third coordinate
    // of their first vertices); false for fewer than 2 levels.
    bool isBranching() const;
    // Readies a closed stack for a surface that does not depend on where each
    // contour was started or which way it was drawn: every level is turned to
    // run the way the first level with an area runs (by the sign of its area
    // in the first two coordinates), the first level with vertices starts at
    // its vertex of largest first coordinate (largest second on a tie), and
    // every later level starts at the vertex that matches the previous
    // level's start. Both contours are resampled by arc length to the same
    // number of points (at least samples, and twice the larger vertex count);
    // the cyclic shift with the least summed squared distance between them
    // (Vertices::findMatch) places the previous start on this level, and the
    // level's vertex nearest to it along the arc becomes its start. Only the
    // levels' lists change, never the vertices. Open stacks are left alone.
    void matchStarts(int samples = 64);
    // As VertexStack::closestPointMap, as a closed curve stack.
    CurveStack<int> closestPointMap(const VertexStack<T>& other) const;

    void read(std::istream& stream) override;

    // Surface resampling through quadrilateral meshes; defined with them, in
    // curvestackresampling.cpp.
    void resample(QuadMesh<T>& mesh) const;
    QuadMesh<T> resample(int height, int width) const;
    QuadMesh<T> interpolate(const QuadMesh<T>& mesh) const;
    Vector<T> resamplingError(const QuadMesh<T>& mesh) const;
    T optimalResampling(T tolerance, int& height, int& width) const;

private:
    bool m_open = false;
};

#define PLEXAN_EXTERN_CURVE_STACK(T) extern template class CurveStack<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_CURVE_STACK)
#undef PLEXAN_EXTERN_CURVE_STACK
