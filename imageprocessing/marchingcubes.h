#pragma once
// MarchingCubes<T>: the isosurface {value = iso} of a voxel matrix as a
// triangle mesh, by Marching Cubes 33 with the lookup tables of its published
// efficient implementation (marchingcubestables.h): the ambiguous faces and
// cube interiors are resolved by the bilinear face test and the trilinear
// interior test, so that the surface is a closed 2-manifold wherever it does
// not meet the border. The tests decide as the other implementations of
// these tables do, cube for cube (tests/imageprocessing/marchingcubes_compare.py
// compares the counts with one of them); this mostly follows the topology of
// the trilinear interpolant, but not always: cubes of six inside corners
// whose two outside corners lie on a diagonal get a tunnel joining the two
// more often than the interpolant has one.
//
// Values >= iso are inside. The mesh is in voxel index units: a vertex is
// (row, column, plane) = (first, second, third index), with the fractional
// part along the grid edge it lies on. Triangles are oriented with their
// normals (Triangle::normal) pointing out of the inside region, so a closed
// surface has a positive volume.
//
// Closed mode treats everything outside the matrix as outside the surface
// (cubes overhang the matrix by one voxel on every side), so every surface
// is closed; a vertex on an edge from outside the matrix sits on the border
// (coordinate 0 or size - 1 + fraction). Open mode only uses the cubes inside
// the matrix and leaves the surface open where it meets the border. Closing
// on the faces (Border::Faces) overhangs alike but puts every vertex of an
// edge to or from outside the matrix on the border grid point itself
// (coordinate 0 or size - 1), so that the surface is capped on the matrix's
// faces on both sides: a matrix all inside encloses (n1 - 1)(n2 - 1)(n3 - 1)
// voxel volumes; the overhang cubes' other triangles then have no area.
//
// Vertices on grid edges are shared by all the cubes that meet at the edge.
// The mesh lists the vertices on edges along the first axis, then the second,
// then the third (each in the order of their grid points, plane by plane, row
// by row), then the extra vertices built inside the cubes of the subcases
// that need one (the mean of the cube's edge vertices), in the order of the
// cubes.
//
// One pass over the planes of the matrix: the values, signs and edge vertex
// tables of two neighbouring grid planes are all that is kept besides the
// output, and no cube allocates anything.
//
// Element types: int, float, double, long double.

#include "geometry/trimesh.h"
#include "image/voxelmatrix.h"

#include <cstdint>
#include <type_traits>
#include <vector>

template <typename T>
class MarchingCubes {
public:
    MarchingCubes() = default;

    // How the surface meets the matrix's border.
    enum class Border {
        Open,     // left open
        Overhang, // closed a fraction of a voxel beyond the last grid points
        Faces     // closed on the faces through the first and last grid points
    };

    // The mesh of the surface {value = iso}, with its normals computed.
    TriMesh<float> buildMesh(const VoxelMatrix<T>& m, T iso, Border border);
    // Border::Overhang when closed, Border::Open otherwise.
    TriMesh<float> buildMesh(const VoxelMatrix<T>& m, T iso, bool closed)
    {
        return buildMesh(m, iso, closed ? Border::Overhang : Border::Open);
    }

protected:
    // Corner values and the tests on them are computed in this type.
    using Real = std::conditional_t<std::is_same_v<T, long double>, long double,
                                    std::conditional_t<std::is_same_v<T, float>, float, double>>;

    // A vertex is referred to by its number in one of four lists (edges along
    // the first, second and third axes, interior vertices) and the list, in
    // the two low bits.
    enum { xAxis = 0, yAxis = 1, zAxis = 2, interior = 3 };

    // One grid plane: the values (minus iso; -1 outside the matrix in closed
    // mode), the inside flags, and the vertices on its edges along the first
    // and second axes (-1 where an edge carries none).
    struct Plane {
        std::vector<Real> values;
        std::vector<std::uint8_t> inside;
        std::vector<int> xEdges;
        std::vector<int> yEdges;
    };

    // Fills plane with grid plane k (counted from the start of the range).
    void fillPlane(int k, Plane& plane) const;
    // Creates the vertices on the edges of grid plane k along the first two
    // axes, and on the edges along the third axis between it and plane k + 1.
    void computeVertices(int k, Plane& plane);
    void computeZVertices(int k, const Plane& lower, const Plane& upper);
    // Position in a plane table of grid point (i, j), both counted from the
    // start of the range.
    int forIdx(int i, int j) const { return i * m_ni2 + j; }

    // Loads the corner values of the cube at (i, j) between the two planes.
    void fillCube(int i, int j, const Plane& lower, const Plane& upper);
    // The bilinear test on a face of the current cube (face number 1..6,
    // its sign telling which side is tested).
    bool testFace(int face) const;
    // The trilinear test inside the current cube; s is the signed interior
    // code of the tables, subconfig the subcase of case 13.
    bool testInterior(int s, int cubeCase, int config, int subconfig) const;
    // Triangulates the current cube of the given corner pattern.
    void addTriangles(unsigned char pattern);
    // Appends n triangles of a tiling.
    void emit(const signed char* tiling, int n);
    // The vertex inside the current cube: the mean of its edge vertices.
    int buildInsideVertex();
    // The vertex on edge e (0..11) of the current cube.
    int edgeVertex(int e) const;
    const float* vertexPosition(int code) const;

    TriMesh<float> makeMesh() const;

    // The matrix and the range of grid points: first index g0 (-1 closed,
    // 0 open) and the number of grid points along each axis.
    const VoxelMatrix<T>* m_matrix = nullptr;
    bool m_closed = false;
    bool m_onFaces = false;
    // The last grid point of each axis, counted from the start of the range.
    int m_last1 = 0;
    int m_last2 = 0;
    int m_last3 = 0;
    Real m_iso = 0;
    int m_origin = 0;
    int m_ni1 = 0;
    int m_ni2 = 0;
    int m_ni3 = 0;

    // The current cube: origin (grid point, counted from the start of the
    // range), its planes, corner values and edge vertices (-2: not looked up).
    int m_i = 0;
    int m_j = 0;
    int m_k = 0;
    const Plane* m_lower = nullptr;
    const Plane* m_upper = nullptr;
    const int* m_zEdges = nullptr;
    // The vertices on the edges along the third axis between the two planes.
    std::vector<int> m_zTable;
    Real m_corners[8] = {};
    int m_insideVertex = -1;

    // Output: coordinates of the four vertex lists and the triangles (three
    // vertex codes each).
    std::vector<float> m_vertices[4];
    std::vector<std::uint32_t> m_triangles;
};

#define PLEXAN_EXTERN_MARCHINGCUBES(T) extern template class MarchingCubes<T>;
PLEXAN_EXTERN_MARCHINGCUBES(int)
PLEXAN_EXTERN_MARCHINGCUBES(float)
PLEXAN_EXTERN_MARCHINGCUBES(double)
PLEXAN_EXTERN_MARCHINGCUBES(long double)
#undef PLEXAN_EXTERN_MARCHINGCUBES
