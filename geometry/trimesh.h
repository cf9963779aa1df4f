#pragma once
// TriMesh<T>: an unstructured triangle mesh over a vertex list. Triangles are
// triples of vertex numbers, the server indices of the mesh's vertices, which
// for a mesh built or read as such are also their positions in the list.
// Every vertex has a star (the numbers of the triangles using it) and, once
// computed, a unit normal.
//
// Area, volume, containment, closest points and the STL text are computed
// straight from the pool in one pass over the triangles; volume and
// containment assume a closed surface with outward-facing triangles
// (counter-clockwise seen from outside). Sums are accumulated in double (long
// double for long double meshes). T = int, float, double, long double.
//
// The stars are a cache that const queries (star, neighbours) fill in: like
// every geometric object, a mesh is used from one thread at a time (the
// measures and containment, which never touch the stars, may be shared).

#include "geometry/vertices.h"
#include "numerics/hugepages.h"

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

template <typename T> class Triangle;

template <typename T>
class TriMesh : public Vertices<T> {
public:
    // The triangle list: three vertex numbers per triangle, in huge pages
    // when large.
    using TriangleList = std::vector<std::array<unsigned int, 3>, plexan::LargeAllocator<std::array<unsigned int, 3>>>;

    TriMesh() = default;
    // size vertices on a new pool (see VertexServer), no triangles.
    TriMesh(int space, int size, int capacity = 0, int growth = 0);
    // Shares the vertices' pool and copies their list; no triangles.
    explicit TriMesh(const Vertices<T>& vertices);
    // Loads a mesh file.
    explicit TriMesh(const std::string& fileName);
    // Shares the pool; copies the triangles and the normals.
    TriMesh(const TriMesh& other);
    TriMesh& operator=(const TriMesh& other);
    // Share the pool and take the vertex list, triangles and normals over,
    // without copying them: other is left without vertices and triangles.
    TriMesh(TriMesh&& other) noexcept;
    TriMesh& operator=(TriMesh&& other) noexcept;
    using Vertices<T>::operator=;
    // A TriMesh source also gives its triangles and normals; any other vertex
    // list (std::bad_cast otherwise) gives its vertices and leaves the mesh
    // without triangles.
    void assign(const VertexClient<T>& other) override;

    TriMesh* clone() const override { return new TriMesh(*this); }
    int getShapeType() const override { return TriMeshShape; }

    // Triangles ---------------------------------------------------------------

    void addTriangle(unsigned int a, unsigned int b, unsigned int c);
    // Replaces all triangles; every entry holds three vertex numbers.
    void setTriangles(const std::vector<Vector<unsigned int>>& list);
    // Takes over a whole triangle list at once (vertex numbers not checked).
    void setTriangles(TriangleList&& list);
    int getNumTriangles() const { return static_cast<int>(m_triangles.size()); }
    Vector<unsigned int> getTriangleIndexes(unsigned int i) const;
    // The three vertex numbers of triangle i, unchecked.
    const std::array<unsigned int, 3>& triangleIndexes(unsigned int i) const { return m_triangles[i]; }
    // A view on the mesh's pool through the vertices of triangle i.
    // ValueError "Wrong value for searching a Triangle" past the last.
    Triangle<T> triangle(const unsigned int i) const;
    // Removes triangle i; later triangles move down by one number.
    // ValueError "Wrong value for removing a Triangle" past the last.
    void removeTriangle(unsigned int i);

    // Vertices ----------------------------------------------------------------

    // Removes every triangle of v's star, then entry v of the vertex list and
    // of the normals (the pool keeps the slot).
    void remove(int v);
    using Vertices<T>::remove;
    // The numbers of the triangles using vertex v, ascending.
    std::vector<unsigned int> star(int v) const;
    // The vertices sharing a triangle with v, v excluded, ascending, once
    // each.
    std::vector<unsigned int> neighbours(int v) const;
    // Resizes the vertex list (new entries number consecutive slots, see
    // Vertices::setSize) and the stars.
    void setSize(int n);
    using Vertices<T>::setSize;
    void append(const Vertices<T>& other) override;
    using Vertices<T>::append;

    // Normals -----------------------------------------------------------------

    // Every vertex normal becomes the normalised sum of the unit normals of
    // the triangles using the vertex; a vertex in no triangle (or only in
    // degenerate ones) gets a zero normal.
    void computeNormals();
    // computeNormals, then iterations of replacing every normal by the
    // normalised sum of its own and its neighbours' previous normals.
    void smoothNormals(int iterations);
    bool hasNormals() const { return m_normals.getNumVertices() > 0; }
    const Vertices<T>& getNormals() const { return m_normals; }
    const Vector<T>& getNormal(int v) const { return m_normals.vertex(v); }
    // Takes over a list of unit normals, one per entry of the vertex list, in
    // list order (the count is not checked), as computeNormals would make.
    void setNormals(Vertices<T>&& normals) { m_normals = std::move(normals); }
    // Writes into this mesh's own copy of the normals.
    void setNormal(int v, const Vector<T>& n);

    // Measures ----------------------------------------------------------------

    // The sum of the triangle areas.
    T area() const;
    // The signed volume enclosed, sum of det(A, B, C) / 6 over the triangles:
    // positive when they face outwards. Space 3.
    T volume() const;
    // The radius of the sphere of the same volume, (3 |V| / 4 pi)^(1/3).
    T equivalentRadius() const;

    // Whether p lies inside the closed surface, by the parity of the
    // crossings of a ray from p to a point below the bounding box's lower
    // corner; a ray grazing an edge or a vertex, or starting on the surface,
    // is cast again in another direction (10,000 directions at most, the
    // last one counting its clean crossings). False outside the bounding box
    // and for meshes not of space 3.
    bool contains(const Vector<T>& p) const;
    // The point of the mesh nearest to p, the first triangle winning a tie;
    // result gets the mesh's dimension. Space 3; p itself for a mesh without
    // triangles.
    void closestPoint(const Vector<T>& p, Vector<T>& result) const;

    // Files -------------------------------------------------------------------

    // The ASCII STL text of the mesh (space 3), named after the shape:
    // "solid NAME", one facet per triangle with its unit normal (0 0 0 for a
    // degenerate triangle) and its three vertices, "endsolid NAME". Numbers
    // are written as the default stream format writes them (%g, 6 digits).
    // FileWriteError when the stream fails.
    void export2AsciiSTL(std::ostream& stream) const;
    void read(std::istream& stream) override;
    void write(std::ostream& stream) const override;
    void print(const std::string& prefix = "", std::ostream& stream = std::cout) const override;

private:
    // Stars are kept as one table for all vertices (offsets and triangle
    // numbers), built on demand and dropped when triangles change.
    void buildStars() const;
    void dropStars() { m_starsValid = false; }
    int vertexCount() const;
    static void invalidTriangle(const char* where, const char* what);

    TriangleList m_triangles;
    Vertices<T> m_normals;
    mutable std::vector<unsigned int> m_starOffsets;
    mutable std::vector<unsigned int> m_starTriangles;
    mutable bool m_starsValid = false;
};

#define PLEXAN_EXTERN_TRI_MESH(T) extern template class TriMesh<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_TRI_MESH)
#undef PLEXAN_EXTERN_TRI_MESH
