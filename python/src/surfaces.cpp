// Surfaces: isosurfaces of volumes (marching cubes) and the triangulation of
// stacks of contours, as numpy vertex, face and normal arrays.

#include "common.h"

#include "geometry/curvestack.h"
#include "geometry/curvestacktriangulation.h"
#include "geometry/trimesh.h"
#include "imageprocessing/marchingcubes.h"

#include <cmath>

namespace plexanpy {

namespace {

using CubeTypes = Types<int, float, double, long double>;

// (vertices, faces, normals) of a mesh: (n, 3) coordinates, (m, 3) uint32
// vertex numbers, (n, 3) unit normals.
template <typename T>
py::tuple meshArrays(const TriMesh<T>& mesh, Element e)
{
    const int n = mesh.getNumVertices();
    const int space = mesh.getSpace();
    py::array vertices = newArray(e, {n, space});
    py::array normals = newArray(e, {n, space});
    T* v = dataOf<T>(vertices);
    T* w = dataOf<T>(normals);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < space; ++c) {
            v[i * space + c] = mesh.vertex(i)[c];
            w[i * space + c] = mesh.hasNormals() ? mesh.getNormal(i)[c] : T(0);
        }
    const int m = mesh.getNumTriangles();
    py::array faces = newArray(Element::UInt, {m, 3});
    unsigned int* f = dataOf<unsigned int>(faces);
    for (int t = 0; t < m; ++t) {
        const auto& corners = mesh.triangleIndexes(static_cast<unsigned int>(t));
        f[3 * t] = corners[0];
        f[3 * t + 1] = corners[1];
        f[3 * t + 2] = corners[2];
    }
    return py::make_tuple(vertices, faces, normals);
}

// The volume in a type marching cubes takes: int32, float32, float64 and
// longdouble as they are; smaller integers and bool as int32, uint32 and
// int64 and the rest as float64. An iso level between two integers makes
// integer volumes float64, so that it is not truncated.
py::array cubeOperand(py::handle object, double iso)
{
    py::array array = contiguous(object, 3, "marching_cubes");
    const std::optional<Element> e = elementOf(array.dtype());
    const char kind = array.dtype().kind();
    const bool integral = kind == 'b' || kind == 'i' || kind == 'u';
    if (integral && iso != std::floor(iso))
        return contiguousAs(array, 3, Element::Double, "marching_cubes");
    if (e && accepts(CubeTypes{}, *e))
        return array;
    const bool fitsInt = kind == 'b' || ((kind == 'i' || kind == 'u') && array.itemsize() < 4);
    return contiguousAs(array, 3, fitsInt ? Element::Int : Element::Double, "marching_cubes");
}

} // namespace

void bindSurfaces(py::module_& m)
{
    m.def(
        "marching_cubes",
        [](py::handle volume, double iso, bool closed, py::object voxelSize) {
            py::array array = cubeOperand(volume, iso);
            float size[3] = {1.0f, 1.0f, 1.0f};
            if (!voxelSize.is_none()) {
                const auto s = voxelSize.cast<std::tuple<float, float, float>>();
                size[0] = std::get<0>(s);
                size[1] = std::get<1>(s);
                size[2] = std::get<2>(s);
            } else if (const std::optional<VoxelCalibration> c = calibrationOf(volume)) {
                size[0] = c->getVoxelHeight();
                size[1] = c->getVoxelWidth();
                size[2] = c->getVoxelDepth();
            }
            TriMesh<float> mesh;
            dispatch(CubeTypes{}, elementOf(array, "marching_cubes"), "marching_cubes", [&](auto tag) {
                using T = typename decltype(tag)::type;
                const VoxelMatrix<T> view = voxelView<T>(array);
                py::gil_scoped_release release;
                mesh = MarchingCubes<T>().buildMesh(view, static_cast<T>(iso), closed);
                if (size[0] != 1.0f || size[1] != 1.0f || size[2] != 1.0f) {
                    mesh.scale(Vector<float>{size[0], size[1], size[2]});
                    mesh.computeNormals();
                }
                return py::object();
            });
            return meshArrays(mesh, Element::Float);
        },
        py::arg("volume"), py::arg("iso"), py::arg("closed") = true, py::arg("voxel_size") = py::none(),
        R"((vertices, faces, normals) of the isosurface {value = iso} of a volume (Marching Cubes 33):
vertices an (n, 3) float32 array, faces an (m, 3) uint32 array of vertex numbers oriented with
their normals out of the inside (values >= iso), normals (n, 3) float32 unit vertex normals.

Coordinates follow the library's (i, j, k) order, row, column, plane, that is axes 1, 2 and 0 of
the array (volume.array[k, i, j]), in voxels scaled by voxel_size (height, width, depth): the
VoxelMatrix's own calibration when it is one and no voxel_size is given. closed=True treats
everything outside the volume as outside, so every surface is closed; closed=False leaves it open
at the border. int32, float32, float64 and longdouble volumes are used as they are, smaller
integers as int32, others as float64 (integer volumes too when iso lies between two integers).)");

    m.def(
        "triangulate_contours",
        [](py::handle contours, int method, bool closed) {
            CurveStack<double> stack;
            stack.setOpen(!closed);
            int space = 0;
            for (py::handle contour : contours) {
                py::array points = contiguousAs(contour, 2, Element::Double, "triangulate_contours");
                if (space == 0)
                    space = static_cast<int>(points.shape(1));
                if (points.shape(1) != space || space < 2)
                    throw py::value_error("triangulate_contours: every contour is an (n, d) array of one dimension d >= 2");
                const int n = static_cast<int>(points.shape(0));
                Curve<double> curve(space, n, 0, 0, !closed);
                const double* p = dataOf<double>(points);
                for (int i = 0; i < n; ++i)
                    for (int c = 0; c < space; ++c)
                        curve.vertex(i)[c] = p[i * space + c];
                stack.append(curve);
            }
            if (method < 1 || method > 4)
                throw py::value_error("triangulate_contours: method must be 1, 2, 3 or 4");
            CurveStackTriangulation<double> triangulation(method);
            {
                py::gil_scoped_release release;
                triangulation.apply(stack);
            }
            return meshArrays(triangulation.getTriMesh(), Element::Double);
        },
        py::arg("contours"), py::arg("method") = 2, py::arg("closed") = true,
        R"((vertices, faces, normals) of the surface skinning a stack of contours, one (n, d) array per
level in stack order, all running the same way round. No vertex is created: the vertices are the
contours' own, level after level. Each band between two levels is tiled by method 1 (shortest
diagonal), 2 (normalised arc length, the rule used to measure surfaces), 3 (acute-triangle
preference) or 4 (minimal area); open contours (closed=False) by the shortest diagonal. A band
between closed contours of m and n vertices gets m + n triangles.)");
}

} // namespace plexanpy
