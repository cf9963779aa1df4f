#pragma once
// Shape<T>: the abstract base of all geometry. A shape is a client of a vertex
// pool (VertexClient<T>) and lists its vertices by server index; it has a
// name and a set of extension shapes (ShapeSet<T>, created empty on demand).
//
// The geometric operations below visit the vertices in the order of the
// shape's vertex iterator, so a vertex listed twice is counted, moved or
// scaled twice. Operations that move vertices change them in the pool,
// for every client sharing it: call detach() first to move a private copy.
//
// Shape-type codes, written at the head of shape files:
//   0 closed Curve (".cv")      1 open Curve (".cv")
//   2 closed CurveStack (".cs") 3 open CurveStack (".cs")
//   4 closed QuadMesh (".qm")   5 open QuadMesh (".qm")
//   6 Vertices (".vx")          7 VertexStack (".vs")      8 TriMesh (".tm")

#include "geometry/boundingbox.h"
#include "geometry/edgeiterator.h"
#include "geometry/vertexclient.h"
#include "geometry/vertexiterator.h"
#include "numerics/squarematrix.h"

#include <ios>
#include <iostream>
#include <memory>
#include <string>

template <typename T> class ShapeSet;
template <typename T> class Vertices;

enum ShapeType {
    ClosedCurveShape = 0,
    OpenCurveShape = 1,
    ClosedCurveStackShape = 2,
    OpenCurveStackShape = 3,
    ClosedQuadMeshShape = 4,
    OpenQuadMeshShape = 5,
    VerticesShape = 6,
    VertexStackShape = 7,
    TriMeshShape = 8
};

template <typename T>
class Shape : public VertexClient<T> {
public:
    // The file extension of a shape-type code, with its dot ("" for an
    // unknown code).
    static const char* extension(int shapeType);

    Shape();
    Shape(int space, int size, int capacity = 0, int growth = 0);
    // Shares the server and copies the name; the extensions start empty.
    Shape(const Shape& other);

    // Both forward to assign.
    Shape& operator=(const VertexClient<T>& other) override;
    // Shares other's server, and copies the name when other is a shape.
    void assign(const VertexClient<T>& other) override;
    ~Shape() override;
    virtual Shape& operator=(const Shape& other);

    virtual Shape* clone() const = 0;
    // The server's dimension, 0 without server.
    virtual int getSpace() const;
    virtual int getNumVertices() const = 0;
    virtual int getShapeType() const = 0;
    virtual bool isComposite() const = 0;
    virtual Vector<T>& operator[](const Vector<unsigned int>& locator) = 0;
    virtual const Vector<T>& operator[](const Vector<unsigned int>& locator) const = 0;
    // Vertex-wise sum and difference with a shape of the same vertex count.
    virtual Shape& operator+=(const Shape& other);
    virtual Shape& operator-=(const Shape& other);
    virtual void read(std::istream& stream) = 0;
    virtual void write(std::ostream& stream) const = 0;
    // A debugging dump of the shape and its server.
    virtual void print(const std::string& prefix = "", std::ostream& stream = std::cout) const;
    virtual ConcreteVertexIterator<T>* vertexIterator();
    virtual ConcreteVertexIterator<T>* vertexIterator() const;
    virtual ConcreteEdgeIterator<T>* edgeIterator();
    virtual ConcreteEdgeIterator<T>* edgeIterator() const;

    const std::string& getName() const { return m_name; }
    void setName(const std::string& name) { m_name = name; }
    bool hasExtensions() const;
    ShapeSet<T>& getExtensions();
    const ShapeSet<T>& getExtensions() const;

    // Files ---------------------------------------------------------------------

    // Writes the shape file, adding the extension of the type code unless the
    // name ends with it. Without overwrite an existing file is refused. The
    // file is written beside under a temporary name and renamed into place,
    // so a failed save leaves an existing file untouched.
    void save(const std::string& fileName, bool overwrite = false) const;
    // Reads a shape file into this shape.
    void load(const std::string& fileName);
    // A new shape of the class named by the file's type code, loaded from it;
    // owned by the caller.
    static Shape* loadFile(const std::string& fileName);

    // Geometry ------------------------------------------------------------------

    // The mean of the vertices (integer coordinates round to nearest); a zero
    // vector of the shape's dimension for an empty shape.
    Vector<T> cog() const;
    // Translates the shape by minus its centre of gravity.
    void center();
    void translate(const Vector<T>& v);
    void scale(const T& s);
    // Multiplies coordinate k of every vertex by v[k].
    void scale(const Vector<T>& v);
    void operator*=(const T& s);
    void operator/=(const T& s);
    // Replaces every vertex x by m x; m is space x space.
    void multiply(const Matrix<T>& m);

    // The sum over the vertices of (x - g)(x - g)^T about the centre of
    // gravity g (not divided by the count); the first form also returns g.
    // Real coordinate types only.
    SquareMatrix<T> inertia(Vector<T>& cog) const;
    SquareMatrix<T> inertia() const;
    // The eigenvectors of the inertia matrix, one per column, by decreasing
    // eigenvalue.
    SquareMatrix<T> principalAxes(Vector<T>& eigenvalues) const;
    SquareMatrix<T> principalAxes() const;
    // translation = the centre of gravity, rotation = the transposed
    // principal axes; applyPAT() centres the shape and rotates it by that
    // rotation into its principal-axes frame.
    void computePAT(Vector<T>& translation, SquareMatrix<T>& rotation) const;
    void applyPAT();
    // The least-squares rigid transform x -> rotation x + translation that
    // brings this shape onto target, vertex i onto target vertex i (the
    // shapes must have the same vertex count), or onto target vertex
    // correspondence[i] (positions in target's vertex order). Rotations are
    // proper (determinant +1).
    void computeLSRegistration(Vector<T>& translation, SquareMatrix<T>& rotation, const Shape& target) const;
    void computeLSRegistration(Vector<T>& translation, SquareMatrix<T>& rotation, const Shape& target,
                               const Vector<int>& correspondence) const;

    // The smallest box holding every vertex (empty for an empty shape).
    BoundingBox<T> boundingBox() const;

    // Squared distances between corresponding vertices of two shapes of
    // equal vertex count, and the root of their mean.
    Vector<T> squareDistances(const Shape& other) const;
    T rmsDistance(const Shape& other) const;
    // For every vertex, the (squared) distance to the nearest vertex of
    // other, or of this shape without the vertex itself (at least two
    // vertices needed). other must keep its vertices in one pool and have
    // at least one (SizeError otherwise).
    Vector<T> squareNearestNeighborDistances(const Shape& other) const;
    Vector<T> nearestNeighborDistances(const Shape& other) const;
    Vector<T> squareNearestNeighborDistances() const;
    // For every vertex, the nearest vertex of other, as a list on other's
    // pool.
    Vertices<T> nearestNeighbors(const Shape& other) const;
    // The mean and the largest distance of the vertices to the origin; both
    // 0 for an empty shape.
    void stats(T& mean, T& max) const;

    // All coordinates of all vertices in vertex order, and back.
    Vector<T> toVector() const;
    void fromVector(const Vector<T>& v);

protected:
    // Shape-file helpers shared by the readers: one "#" and integer header
    // line, and the limits of what a header may ask for.
    static int readHeaderValue(std::istream& stream, const char* where);
    static void checkSpace(int space, const char* where);
    static void checkCount(int count, const char* where, const char* what);
    // Turns a stream failure into a FileWriteError.
    [[noreturn]] static void failWrite(const char* where);
    // Gives a failed stream back its caller's exception mask without
    // throwing.
    static void restoreExceptions(std::ostream& stream, std::ios::iostate mask);

    static constexpr int maximumSpace = 1024;

private:
    std::string m_name;
    mutable std::unique_ptr<ShapeSet<T>> m_extensions;
};

#define PLEXAN_EXTERN_SHAPE(T) extern template class Shape<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_SHAPE)
#undef PLEXAN_EXTERN_SHAPE
