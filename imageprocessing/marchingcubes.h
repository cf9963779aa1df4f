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
// The planes are cut into slabs of a fixed number of cube layers, extracted
// on every core at once: each slab keeps the values, signs and edge vertex
// tables of two neighbouring grid planes besides its output, and no cube
// allocates anything. The slabs' vertices and triangles are then put
// together in slab order (the vertices of a grid plane shared by two slabs
// are made once), so the mesh is the same whatever the number of threads.
//
// The slabs' outputs and workspaces are carved out of one block of memory
// in huge pages, sized from the estimate of the mesh and kept by the
// extractor for its next call (a larger surface takes a larger block); a
// copy of the extractor starts without one.
//
// The extraction reports its progress (cube layers done, then the merge) to
// the extractor's monitors, from the calling thread, and can be cancelled
// from any thread (cancel()): it then stops within a cube layer on every
// thread, announces notifyCanceled and returns an empty mesh, with
// isCanceled() true until the next call.
//
// Element types: int, float, double, long double.

#include "geometry/trimesh.h"
#include "image/voxelmatrix.h"
#include "numerics/progresssubject.h"

#include <type_traits>

template <typename T>
class MarchingCubes : public ProgressSubject {
public:
    MarchingCubes() = default;

    // How the surface meets the matrix's border.
    enum class Border {
        Open,     // left open
        Overhang, // closed a fraction of a voxel beyond the last grid points
        Faces     // closed on the faces through the first and last grid points
    };

    // The mesh of the surface {value = iso}, with its normals computed; an
    // empty mesh when cancelled.
    TriMesh<float> buildMesh(const VoxelMatrix<T>& m, T iso, Border border);
    // Border::Overhang when closed, Border::Open otherwise.
    TriMesh<float> buildMesh(const VoxelMatrix<T>& m, T iso, bool closed)
    {
        return buildMesh(m, iso, closed ? Border::Overhang : Border::Open);
    }

private:
    // Corner values and the tests on them are computed in this type.
    using Real = std::conditional_t<std::is_same_v<T, long double>, long double,
                                    std::conditional_t<std::is_same_v<T, float>, float, double>>;
    // The extraction of one slab of cube layers (marchingcubes.cpp).
    class Slab;
};

#define PLEXAN_EXTERN_MARCHINGCUBES(T) extern template class MarchingCubes<T>;
PLEXAN_EXTERN_MARCHINGCUBES(int)
PLEXAN_EXTERN_MARCHINGCUBES(float)
PLEXAN_EXTERN_MARCHINGCUBES(double)
PLEXAN_EXTERN_MARCHINGCUBES(long double)
#undef PLEXAN_EXTERN_MARCHINGCUBES
