#include "imageprocessing/marchingcubes.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <set>
#include <utility>

namespace {

using Edge = std::pair<unsigned int, unsigned int>;

// How often every directed edge (a, b) occurs in the triangles.
std::map<Edge, int> directedEdges(const TriMesh<float>& mesh)
{
    std::map<Edge, int> edges;
    for (int t = 0; t < mesh.getNumTriangles(); ++t) {
        const auto& v = mesh.triangleIndexes(static_cast<unsigned int>(t));
        for (int c = 0; c < 3; ++c)
            ++edges[{v[c], v[(c + 1) % 3]}];
    }
    return edges;
}

// A closed, consistently oriented 2-manifold: every directed edge occurs
// once and its reverse once, no triangle repeats a vertex, every vertex is
// used.
void expectClosedManifold(const TriMesh<float>& mesh)
{
    const std::map<Edge, int> edges = directedEdges(mesh);
    int bad = 0;
    for (const auto& [edge, count] : edges) {
        const auto reverse = edges.find({edge.second, edge.first});
        if ((count != 1 || reverse == edges.end() || reverse->second != 1 || edge.first == edge.second) && ++bad < 5)
            ADD_FAILURE() << "edge " << edge.first << " -> " << edge.second << " occurs " << count
                          << " times, its reverse " << (reverse == edges.end() ? 0 : reverse->second);
    }
    EXPECT_EQ(bad, 0);
    std::vector<bool> used(static_cast<size_t>(mesh.getNumVertices()), false);
    for (int t = 0; t < mesh.getNumTriangles(); ++t)
        for (unsigned int v : mesh.triangleIndexes(static_cast<unsigned int>(t)))
            used[v] = true;
    EXPECT_EQ(std::count(used.begin(), used.end(), false), 0) << "unused vertices";
}

// Euler characteristic V - E + F of a mesh.
int euler(const TriMesh<float>& mesh)
{
    return mesh.getNumVertices() - static_cast<int>(directedEdges(mesh).size()) / 2 + mesh.getNumTriangles();
}

template <typename T>
VoxelMatrix<T> randomVolume(int s1, int s2, int s3, std::mt19937& rng, double lo, double hi)
{
    std::uniform_real_distribution<double> u(lo, hi);
    VoxelMatrix<T> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                v(i, j, k) = static_cast<T>(u(rng));
    return v;
}

template <typename T>
class MarchingCubesTyped : public ::testing::Test {};
using MarchingCubesTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(MarchingCubesTyped, MarchingCubesTypes);

// Random values around the iso level exercise every case and subcase; in
// closed mode each surface must come out closed, oriented and enclosing a
// positive volume whatever the ambiguous faces and interiors decided.
TYPED_TEST(MarchingCubesTyped, RandomVolumesGiveClosedOrientedSurfaces)
{
    using T = TypeParam;
    std::mt19937 rng(1234);
    MarchingCubes<T> mc;
    for (int trial = 0; trial < 30; ++trial) {
        const int s1 = 1 + trial % 7, s2 = 2 + trial % 5, s3 = 1 + trial % 9;
        const VoxelMatrix<T> v = randomVolume<T>(s1, s2, s3, rng, -100, 100);
        const T iso = static_cast<T>(std::is_integral_v<T> ? 1 : 0.5); // no ties for the integers either
        const TriMesh<float> mesh = mc.buildMesh(v, iso, true);
        SCOPED_TRACE(::testing::Message() << "trial " << trial);
        expectClosedManifold(mesh);
        EXPECT_GT(mesh.volume(), 0.0f);
        EXPECT_EQ(mesh.getNormals().getNumVertices(), mesh.getNumVertices());
        // Every vertex lies on a grid edge, or inside a cube.
        if (mesh.getNumVertices() > 0) {
            const BoundingBox<float> box = mesh.boundingBox();
            EXPECT_GE(box.getVertex1().min(), 0.0f);
            EXPECT_LT(box.getVertex2()[0], s1);
            EXPECT_LT(box.getVertex2()[1], s2);
            EXPECT_LT(box.getVertex2()[2], s3);
        }
    }
}

TYPED_TEST(MarchingCubesTyped, OpenSurfacesEndOnTheBorder)
{
    using T = TypeParam;
    std::mt19937 rng(99);
    MarchingCubes<T> mc;
    for (int trial = 0; trial < 20; ++trial) {
        const int s1 = 2 + trial % 6, s2 = 2 + trial % 4, s3 = 2 + trial % 5;
        const VoxelMatrix<T> v = randomVolume<T>(s1, s2, s3, rng, -100, 100);
        const TriMesh<float> mesh = mc.buildMesh(v, T(1), false);
        SCOPED_TRACE(::testing::Message() << "trial " << trial);
        const std::map<Edge, int> edges = directedEdges(mesh);
        const int size[3] = {s1, s2, s3};
        for (const auto& [edge, count] : edges) {
            ASSERT_EQ(count, 1);
            if (edges.count({edge.second, edge.first}))
                continue;
            // An edge used once lies on a face of the volume: both ends share
            // a coordinate 0 or size - 1.
            const Vector<float>& a = mesh[static_cast<int>(edge.first)];
            const Vector<float>& b = mesh[static_cast<int>(edge.second)];
            bool onFace = false;
            for (int d = 0; d < 3; ++d)
                for (float face : {0.0f, static_cast<float>(size[d] - 1)})
                    onFace = onFace || (a[d] == face && b[d] == face);
            ASSERT_TRUE(onFace) << "open edge inside the volume";
        }
    }
}

// Long rows of one sign, with the surface somewhere along them, at their
// ends, or nowhere: the extractor only visits the cubes between the first
// and the last sign change of each row of cubes. A cube it skipped or cut
// short would lose its triangles: the open mesh must have as many as every
// cube extracted on its own, and the closed mesh must stay closed.
TEST(MarchingCubes, CubesAlongLongUniformRowsAreAllTriangulated)
{
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::uniform_int_distribution<int> column(0, 39);
    MarchingCubes<float> mc;
    for (int trial = 0; trial < 6; ++trial) {
        const int s1 = 4 + trial % 3, s2 = 40, s3 = 3 + trial % 2;
        // Outside, or inside on whole rows at odd trials.
        VoxelMatrix<float> v(s1, s2, s3);
        for (int k = 0; k < s3; ++k)
            for (int i = 0; i < s1; ++i) {
                const float background = trial % 2 == 1 && (i + k) % 3 == 0 ? 1.0f : -1.0f;
                for (int j = 0; j < s2; ++j)
                    v(i, j, k) = background;
            }
        // A few runs of values around the level, some at the row ends.
        for (int run = 0; run < 6; ++run) {
            int a = column(rng), b = column(rng);
            if (run == 0)
                a = 0;
            if (run == 1)
                b = s2 - 1;
            const int i = run % s1, k = run % s3;
            for (int j = std::min(a, b); j <= std::max(a, b); ++j)
                v(i, j, k) = static_cast<float>(u(rng));
        }
        SCOPED_TRACE(::testing::Message() << "trial " << trial);
        int perCube = 0;
        VoxelMatrix<float> cube(2, 2, 2);
        for (int k = 0; k + 1 < s3; ++k)
            for (int i = 0; i + 1 < s1; ++i)
                for (int j = 0; j + 1 < s2; ++j) {
                    for (int c = 0; c < 8; ++c)
                        cube(c & 1, c >> 1 & 1, c >> 2) = v(i + (c & 1), j + (c >> 1 & 1), k + (c >> 2));
                    perCube += mc.buildMesh(cube, 0.0f, false).getNumTriangles();
                }
        EXPECT_EQ(mc.buildMesh(v, 0.0f, false).getNumTriangles(), perCube);
        expectClosedManifold(mc.buildMesh(v, 0.0f, true));
    }
}

TEST(MarchingCubes, SingleVoxelGivesAnOctahedron)
{
    VoxelMatrix<float> v(3, 3, 3);
    v.setZeros();
    v(1, 1, 1) = 1.0f;
    MarchingCubes<float> mc;
    for (bool closed : {true, false}) {
        const TriMesh<float> mesh = mc.buildMesh(v, 0.5f, closed);
        ASSERT_EQ(mesh.getNumTriangles(), 8);
        ASSERT_EQ(mesh.getNumVertices(), 6);
        expectClosedManifold(mesh);
        for (int n = 0; n < 6; ++n) {
            EXPECT_EQ(mesh.star(n).size(), 4u);
            // Halfway along the six edges from the centre.
            const Vector<float>& p = mesh[n];
            EXPECT_FLOAT_EQ(std::fabs(p[0] - 1) + std::fabs(p[1] - 1) + std::fabs(p[2] - 1), 0.5f);
        }
        // The octahedron |x| + |y| + |z| <= 1/2: volume 4/3 x (1/2)^3.
        EXPECT_NEAR(mesh.volume(), 1.0f / 6.0f, 1e-6);
        EXPECT_EQ(euler(mesh), 2);
    }
}

TEST(MarchingCubes, ConstantVolumes)
{
    MarchingCubes<double> mc;
    VoxelMatrix<double> v(4, 3, 5);
    v.fill(-2.0);
    EXPECT_EQ(mc.buildMesh(v, 0.0, true).getNumVertices(), 0);
    v.fill(2.0);
    EXPECT_EQ(mc.buildMesh(v, 0.0, false).getNumVertices(), 0);

    // Closed: a box around the whole volume, its vertices on the border
    // planes at 0 or at size - 1 + f, f = a / (a + 1) = 2/3 for a = value -
    // iso = 2; the far edges and corner are chamfered (the excesses e beyond
    // size - 1 sum to at most f), the near ones are not (their vertices sit
    // on the border itself).
    const TriMesh<float> box = mc.buildMesh(v, 0.0, true);
    expectClosedManifold(box);
    EXPECT_EQ(euler(box), 2);
    const int size[3] = {4, 3, 5};
    for (int n = 0; n < box.getNumVertices(); ++n) {
        const Vector<float>& p = box[n];
        int onBorder = 0;
        for (int a = 0; a < 3; ++a) {
            ASSERT_GE(p[a], 0.0f);
            ASSERT_LE(p[a], size[a] - 1 + 2.0f / 3.0f);
            if (p[a] == 0.0f || std::fabs(p[a] - (size[a] - 1 + 2.0f / 3.0f)) < 1e-6f)
                ++onBorder;
        }
        EXPECT_GE(onBorder, 1);
    }
    const double f = 2.0 / 3, a = 3, b = 2, c = 4;
    const double expected = a * b * c + f * (a * b + b * c + a * c) + f * f / 2 * (a + b + c) + f * f * f / 6;
    EXPECT_NEAR(box.volume(), expected, 1e-3);

    // Empty and one-plane volumes.
    EXPECT_EQ(mc.buildMesh(VoxelMatrix<double>(), 0.0, true).getNumTriangles(), 0);
    VoxelMatrix<double> flat(3, 3, 1);
    flat.fill(1.0);
    EXPECT_EQ(mc.buildMesh(flat, 0.0, false).getNumTriangles(), 0);
    expectClosedManifold(mc.buildMesh(flat, 0.0, true));
}

// Distance-like fields of spheres and ellipsoids sampled ever more finely:
// the enclosed volume converges to the analytic one.
TEST(MarchingCubes, VolumesOfSpheresAndEllipsoidsConverge)
{
    MarchingCubes<float> mc;
    const double axes[][3] = {{1, 1, 1}, {1, 0.6, 0.35}};
    for (const auto& axis : axes) {
        const double exact = 4.0 / 3.0 * std::numbers::pi * axis[0] * axis[1] * axis[2];
        double previous = 3;
        for (int n : {12, 24, 48}) {
            // Voxel size h; the body of semi-axes axis x (n / 2.5) voxels
            // centred in the volume.
            const int size = n + 3;
            const double scale = n / 2.5, c = (size - 1) / 2.0 + 0.1;
            VoxelMatrix<float> v(size, size, size);
            for (int k = 0; k < size; ++k)
                for (int i = 0; i < size; ++i)
                    for (int j = 0; j < size; ++j) {
                        const double x = (i - c) / (scale * axis[0]), y = (j - c) / (scale * axis[1]),
                                     z = (k - c) / (scale * axis[2]);
                        v(i, j, k) = static_cast<float>(1 - std::sqrt(x * x + y * y + z * z));
                    }
            const TriMesh<float> mesh = mc.buildMesh(v, 0.0f, true);
            expectClosedManifold(mesh);
            EXPECT_EQ(euler(mesh), 2);
            const double volume = mesh.volume() / (scale * scale * scale);
            const double error = std::fabs(volume - exact) / exact;
            SCOPED_TRACE(::testing::Message() << "n = " << n << ", volume " << volume << " for " << exact);
            // Second order: halving the voxel size quarters the error.
            EXPECT_LT(error, 0.3 * previous);
            EXPECT_LT(error, 0.15);
            previous = error;
        }
        EXPECT_LT(previous, 0.01);
    }
}

// The 26-connected components of the sampled region {f >= 0} (or f < 0) of
// the trilinear interpolant of a cube's corners, on an n^3 grid.
int sampledComponents(const VoxelMatrix<float>& cube, bool positive, int n)
{
    std::vector<int> label(static_cast<size_t>(n) * n * n, -1);
    auto value = [&](int a, int b, int c) {
        const double x = a / (n - 1.0), y = b / (n - 1.0), z = c / (n - 1.0);
        double f = 0;
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j)
                for (int k = 0; k < 2; ++k)
                    f += cube(i, j, k) * (i ? x : 1 - x) * (j ? y : 1 - y) * (k ? z : 1 - z);
        return f;
    };
    for (size_t m = 0; m < label.size(); ++m) {
        const int a = static_cast<int>(m / (n * n)), b = static_cast<int>(m / n % n), c = static_cast<int>(m % n);
        label[m] = (value(a, b, c) >= 0) == positive ? 0 : -1;
    }
    int components = 0;
    std::vector<int> stack;
    for (size_t m = 0; m < label.size(); ++m) {
        if (label[m] != 0)
            continue;
        ++components;
        label[m] = components;
        stack.push_back(static_cast<int>(m));
        while (!stack.empty()) {
            const int q = stack.back();
            stack.pop_back();
            const int a = q / (n * n), b = q / n % n, c = q % n;
            for (int da = -1; da <= 1; ++da)
                for (int db = -1; db <= 1; ++db)
                    for (int dc = -1; dc <= 1; ++dc) {
                        const int x = a + da, y = b + db, z = c + dc;
                        if (x < 0 || y < 0 || z < 0 || x >= n || y >= n || z >= n)
                            continue;
                        const int r = (x * n + y) * n + z;
                        if (label[static_cast<size_t>(r)] == 0) {
                            label[static_cast<size_t>(r)] = components;
                            stack.push_back(r);
                        }
                    }
        }
    }
    return components;
}

// Corners in the numbering of the tables: 0 (0, 0, 0), 1 (1, 0, 0),
// 2 (1, 1, 0), 3 (0, 1, 0), 4 (0, 0, 1), 5 (1, 0, 1), 6 (1, 1, 1), 7 (0, 1, 1).
template <typename T = float>
VoxelMatrix<T> cubeOf(const float (&corner)[8])
{
    constexpr int offset[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                  {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    VoxelMatrix<T> cube(2, 2, 2);
    for (int n = 0; n < 8; ++n)
        cube(offset[n][0], offset[n][1], offset[n][2]) = static_cast<T>(corner[n]);
    return cube;
}

// Two diagonal corners of one sign and six of the other. Two inside corners
// are joined by a tunnel (six triangles) exactly when the trilinear
// interpolant joins them inside the cube. Two outside corners get a tunnel
// whenever the interpolant joins them, and in some cubes where it does not.
TEST(MarchingCubes, DiagonalCornersAreJoinedWhereverTheInterpolantJoinsThem)
{
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> magnitude(0.05f, 1.0f);
    const int diagonal[4][2] = {{0, 6}, {1, 7}, {2, 4}, {3, 5}};
    MarchingCubes<float> mc;
    int outcomes[2][2] = {}; // [minority inside][tunnel]
    for (int trial = 0; trial < 160; ++trial) {
        const bool minorityInside = trial % 2 == 0;
        const auto& d = diagonal[trial / 2 % 4];
        float corner[8];
        for (int n = 0; n < 8; ++n) {
            const bool onDiagonal = n == d[0] || n == d[1];
            // Strong diagonal corners make tunnels likely.
            const float m = onDiagonal ? 3 * magnitude(rng) : magnitude(rng);
            corner[n] = onDiagonal == minorityInside ? m : -m;
        }
        const VoxelMatrix<float> cube = cubeOf(corner);
        const int triangles = mc.buildMesh(cube, 0.0f, false).getNumTriangles();
        const bool joined = sampledComponents(cube, minorityInside, 33) == 1;
        SCOPED_TRACE(::testing::Message() << "trial " << trial);
        ASSERT_TRUE(triangles == 2 || triangles == 6);
        if (minorityInside || joined) {
            EXPECT_EQ(triangles, joined ? 6 : 2);
        }
        ++outcomes[minorityInside][triangles == 6];
    }
    for (const auto& sign : outcomes)
        for (int count : sign)
            EXPECT_GT(count, 5);
}

// Cubes of six inside corners with the two outside ones on each diagonal,
// and the triangles the independent implementation of the tables builds for
// them (recorded from it): apart only where the section across the first
// axis, on the plane where its saddle is extreme, has at most one outside
// corner; a tunnel where that plane leaves the cube, where the interpolant
// joins the two corners, and also where it keeps them apart but the section
// has both outside.
TEST(MarchingCubes, OutsideDiagonalCornersAreJoinedAsTheTablesDecide)
{
    struct Recorded {
        float corner[8];
        int triangles;
    };
    const Recorded recorded[] = {
        // Joined by the interpolant.
        {{-2.4f, 0.5f, 0.9f, 0.7f, 0.2f, 1.0f, -2.4f, 0.8f}, 6},
        {{0.8f, -3.0f, 0.6f, 0.2f, 0.1f, 0.3f, 0.2f, -2.1f}, 6},
        {{0.6f, 0.2f, -2.4f, 0.7f, -2.4f, 0.4f, 1.0f, 0.9f}, 6},
        {{0.2f, 0.6f, 0.2f, -2.1f, 0.5f, -1.2f, 0.4f, 0.7f}, 6},
        // Apart in the interpolant, both outside on the section.
        {{-1.2f, 0.4f, 0.5f, 0.3f, 0.2f, 0.5f, -0.9f, 0.7f}, 6},
        {{0.2f, -1.5f, 0.4f, 0.9f, 0.7f, 0.8f, 0.5f, -0.9f}, 6},
        {{0.7f, 0.5f, -2.4f, 0.3f, -0.3f, 0.2f, 0.8f, 0.5f}, 6},
        {{0.5f, 0.6f, 0.2f, -0.6f, 0.7f, -1.5f, 0.6f, 0.8f}, 6},
        // Apart, one of the two inside on the section.
        {{-0.6f, 0.8f, 0.3f, 0.9f, 0.7f, 0.1f, -0.3f, 0.1f}, 2},
        {{0.2f, -0.6f, 0.2f, 1.0f, 0.7f, 0.6f, 1.0f, -0.6f}, 2},
        {{0.7f, 0.9f, -0.3f, 0.3f, -0.6f, 0.6f, 0.8f, 0.7f}, 2},
        {{0.8f, 0.7f, 0.4f, -0.6f, 0.8f, -0.9f, 0.9f, 0.3f}, 2},
        // Apart, the section's plane outside the cube.
        {{1.0f, 0.8f, 0.4f, -0.3f, 0.2f, -0.5f, 0.9f, 0.3f}, 6},
        {{-0.7f, 0.1f, 0.2f, 1.0f, 0.4f, 0.4f, -0.1f, 0.8f}, 6},
        {{-0.3f, 0.2f, 0.8f, 0.8f, 0.1f, 0.8f, -0.9f, 0.1f}, 6},
        {{0.9f, 0.1f, 0.1f, -0.3f, 0.9f, -0.6f, 0.8f, 0.9f}, 6},
    };
    MarchingCubes<float> mc;
    for (const Recorded& r : recorded) {
        const VoxelMatrix<float> cube = cubeOf(r.corner);
        const TriMesh<float> mesh = mc.buildMesh(cube, 0.0f, false);
        SCOPED_TRACE(::testing::Message() << "cube " << (&r - recorded));
        EXPECT_EQ(mesh.getNumVertices(), 6);
        EXPECT_EQ(mesh.getNumTriangles(), r.triangles);
        // The decision does not depend on the type the values are in.
        EXPECT_EQ(MarchingCubes<double>().buildMesh(cubeOf<double>(r.corner), 0.0, false).getNumTriangles(),
                  r.triangles);
    }
}

} // namespace

namespace {

// The signed distance r - |p - c| sampled on a matrix of the given size.
VoxelMatrix<float> ball(int s1, int s2, int s3, const std::array<double, 3>& c, double r)
{
    VoxelMatrix<float> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                v(i, j, k) = static_cast<float>(r - std::hypot(i - c[0], j - c[1], k - c[2]));
    return v;
}

} // namespace

// Regression: closed surfaces were capped a fraction of a voxel beyond the
// last row, column and plane (a corner outside the matrix counts as one
// below the level), though exactly on the first ones. Closed on the faces,
// a matrix all inside is the box through its first and last grid points:
// (n1 - 1)(n2 - 1)(n3 - 1) voxel volumes, each vertex on a face of that box.
TEST(MarchingCubes, ClosingOnTheFacesCapsTheBlockOnItsGridPoints)
{
    MarchingCubes<double> mc;
    for (const auto& [a, b, c] : {std::array<int, 3>{5, 6, 7}, {2, 2, 2}, {1, 4, 3}, {9, 3, 2}}) {
        VoxelMatrix<double> block(a, b, c);
        block.fill(3.0);
        const TriMesh<float> faces = mc.buildMesh(block, 1.0, MarchingCubes<double>::Border::Faces);
        expectClosedManifold(faces);
        EXPECT_NEAR(faces.volume(), double((a - 1) * (b - 1) * (c - 1)), 1e-9) << a << " " << b << " " << c;
        for (int n = 0; n < faces.getNumVertices(); ++n) {
            const Vector<float>& p = faces[n];
            const int size[3] = {a, b, c};
            int onFace = 0;
            for (int d = 0; d < 3; ++d) {
                EXPECT_GE(p[d], 0.0f);
                EXPECT_LE(p[d], float(size[d] - 1));
                onFace += p[d] == 0.0f || p[d] == float(size[d] - 1);
            }
            EXPECT_GT(onFace, 0) << n;
        }
        // The overhanging closure reaches 2/3 of a voxel beyond the far faces.
        if (a > 1 && b > 1 && c > 1)
            EXPECT_GT(mc.buildMesh(block, 1.0, true).volume(), (a - 0.5) * (b - 0.5) * (c - 0.5));
    }
}

// A ball of radius r encloses 4/3 pi r^3 to 1 % whether it floats inside
// the matrix or touches its first or last faces; cut through its centre by
// a face, the half left encloses half that, where the overhanging closure
// adds a slab beyond the face.
TEST(MarchingCubes, ClosingOnTheFacesKeepsBallsTouchingThem)
{
    MarchingCubes<float> mc;
    const double r = 9.5, exact = 4.0 / 3.0 * std::numbers::pi * r * r * r;
    const auto faces = MarchingCubes<float>::Border::Faces;
    const int s1 = 23, s2 = 22, s3 = 21;
    const std::array<std::array<double, 3>, 4> centres{{{11.2, 10.6, 10.1}, {r, r, 10.2},
                                                       {s1 - 1 - r, 10.4, s3 - 1 - r}, {r, s2 - 1 - r, s3 - 1 - r}}};
    double floating = 0;
    for (const auto& c : centres) {
        const TriMesh<float> mesh = mc.buildMesh(ball(s1, s2, s3, c, r), 0.0f, faces);
        expectClosedManifold(mesh);
        const double volume = mesh.volume();
        EXPECT_NEAR(volume, exact, 0.01 * exact) << c[0] << " " << c[1] << " " << c[2];
        // Touching a face changes nothing beyond the sampling.
        floating = floating == 0 ? volume : floating;
        EXPECT_NEAR(volume, floating, 0.002 * floating) << c[0] << " " << c[1] << " " << c[2];
    }
    const VoxelMatrix<float> half = ball(s1, s2, s3, {11.1, 10.3, s3 - 1.0}, r);
    EXPECT_NEAR(mc.buildMesh(half, 0.0f, faces).volume(), exact / 2, 0.01 * exact / 2);
    EXPECT_GT(mc.buildMesh(half, 0.0f, true).volume(), 1.05 * exact / 2);
}
