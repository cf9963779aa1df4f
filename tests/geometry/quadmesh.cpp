#include "geometry/quadmesh.h"

#include "geometry/shapeinterpolation.h"
#include "geometry/shapeset.h"
#include "image/colormap.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <sstream>

namespace {

constexpr double pi = std::numbers::pi;

// A closed tube: height rings of width vertices, counter-clockwise seen from
// above, ring r at z = r, radius 2 + 0.25 r (a truncated cone).
template <typename T>
QuadMesh<T> cone(int height, int width, bool open = false)
{
    QuadMesh<T> mesh(3, height, width, 0, 0, open);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const double radius = 2 + 0.25 * r, angle = 2 * pi * c / width;
            mesh[r][c] = Vector<T>{static_cast<T>(radius * std::cos(angle)),
                                   static_cast<T>(radius * std::sin(angle)), static_cast<T>(r)};
        }
    return mesh;
}

using RealTypes = ::testing::Types<float, double, long double>;
template <typename T>
class QuadMeshRealTest : public ::testing::Test {};
TYPED_TEST_SUITE(QuadMeshRealTest, RealTypes);

// Edges keyed by their end coordinates, so that the tube and its caps (on
// separate pools) can be matched; each key counts the triangles using it.
using Key = std::array<long long, 6>;

template <typename T>
void countEdges(const TriMesh<T>& mesh, std::map<Key, int>& edges)
{
    auto quantise = [](T x) { return std::llround(double(x) * 1e6); };
    for (int i = 0; i < mesh.getNumTriangles(); ++i) {
        const auto& t = mesh.triangleIndexes(static_cast<unsigned>(i));
        for (int e = 0; e < 3; ++e) {
            const Vector<T>& a = mesh.getServer()->vertex(static_cast<int>(t[e]));
            const Vector<T>& b = mesh.getServer()->vertex(static_cast<int>(t[(e + 1) % 3]));
            Key p{quantise(a[0]), quantise(a[1]), quantise(a[2]), quantise(b[0]), quantise(b[1]), quantise(b[2])};
            Key q{p[3], p[4], p[5], p[0], p[1], p[2]};
            ++edges[std::min(p, q)];
        }
    }
}

// The caps close the tube at both ends: every edge of the tube and caps is
// shared by two triangles, except around the two 1 % rings at the tips.
TYPED_TEST(QuadMeshRealTest, CapsCloseTheTube)
{
    using T = TypeParam;
    const int height = 5, width = 12;
    QuadMesh<T> mesh = cone<T>(height, width);
    // Two triangles per quad, the closing column included when closed.
    EXPECT_EQ(mesh.toTriMesh().getNumTriangles(), 2 * (height - 1) * width);
    EXPECT_EQ(cone<T>(height, width, true).toTriMesh().getNumTriangles(), 2 * (height - 1) * (width - 1));
    mesh.buildCaps();
    ASSERT_TRUE(mesh.hasBeginCap() && mesh.hasEndCap());
    std::map<Key, int> edges;
    countEdges(mesh.toTriMesh(), edges);
    countEdges(mesh.getBeginCap()->toTriMesh(), edges);
    countEdges(mesh.getEndCap()->toTriMesh(), edges);
    int single = 0;
    for (const auto& [key, count] : edges) {
        EXPECT_LE(count, 2);
        if (count == 1) {
            ++single;
            // An open edge lies on a tip ring, 1 % of the ring's radius.
            const double radius = std::hypot(key[0] * 1e-6, key[1] * 1e-6);
            EXPECT_LT(radius, 0.0301);
        }
    }
    EXPECT_EQ(single, 2 * width);

    // Extended, the mesh runs from tip to tip, and its volume is the cone's
    // (up to the tessellation of the circles and the tiny tip holes).
    mesh.extendToCaps();
    EXPECT_FALSE(mesh.hasBeginCap() || mesh.hasEndCap());
    ASSERT_EQ(mesh.getHeight(), height + 18);
    EXPECT_NEAR(double(mesh[0].vertex(0)[0]), 0.02, 1e-5);
    EXPECT_NEAR(double(mesh[mesh.getHeight() - 1].vertex(0)[0]), 0.03, 1e-5);
    const double polygon = width / 2.0 * std::sin(2 * pi / width); // area of the unit polygon
    const double h = height - 1, r0 = 2, r1 = 2 + 0.25 * h;
    const double frustum = polygon * h * (r0 * r0 + r0 * r1 + r1 * r1) / 3;
    EXPECT_NEAR(double(mesh.toTriMesh().volume()), frustum, 1e-3 * frustum);
}

TYPED_TEST(QuadMeshRealTest, CapRingsAreTheShapeInterpolation)
{
    using T = TypeParam;
    QuadMesh<T> mesh = cone<T>(3, 9);
    mesh.buildEndCap();
    const QuadMesh<T>& cap = *mesh.getEndCap();
    ASSERT_EQ(cap.getHeight(), 10);
    EXPECT_EQ(mesh.getExtensions().getNumShapes(), 1);
    const Vector<T> g = mesh.getLastCurve().cog();
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(cap[0].vertex(c), mesh.getLastCurve().vertex(c));
        for (int d = 0; d < 3; ++d)
            EXPECT_NEAR(double(cap[9].vertex(c)[d]),
                        double(g[d]) + 0.01 * (double(mesh.getLastCurve().vertex(c)[d]) - double(g[d])), 1e-5);
    }
    for (int k = 1; k < 9; ++k) {
        Curve<T> expected;
        ShapeInterpolation<T>(cap[0], cap[9]).apply(static_cast<T>(1 - std::sqrt((9.0 - k) / 9)), expected);
        for (int c = 0; c < 9; ++c)
            for (int d = 0; d < 3; ++d)
                EXPECT_NEAR(double(cap[k].vertex(c)[d]), double(expected.vertex(c)[d]), 1e-5);
    }
    mesh.destroyCaps();
    EXPECT_EQ(mesh.getExtensions().getNumShapes(), 0);
}

TEST(QuadMesh, CapFailuresOpenMeshesAndRaggedStacks)
{
    QuadMesh<double> empty;
    EXPECT_PLEXAN_THROW(empty.buildBeginCap(), SizeError, "void QuadMesh<T>::buildBeginCap()",
                        "This mesh contains no contour");
    QuadMesh<double> open = cone<double>(3, 5, true);
    open.buildCaps();
    EXPECT_FALSE(open.hasBeginCap() || open.hasEndCap());

    CurveStack<float> stack(2, 2, 5);
    stack.append(Curve<float>(2, 6));
    EXPECT_PLEXAN_THROW(QuadMesh<float> mesh(stack), SizeError, "QuadMesh<T>::QuadMesh(const Curvestack<T>&)",
                        "Curve size is not constant along the curve stack");
    QuadMesh<float> mesh(2, 2, 5);
    EXPECT_PLEXAN_THROW(mesh.append(Curve<float>(2, 6)), SizeError,
                        "void QuadMesh<T>::insert(unsigned int, const Vertices<T>&)",
                        "Curve size does not match the mesh width");
    std::istringstream ragged("# 4\n# 2\n# 2\n# 2\n0 0\n1 0\n# 3\n0 1\n1 1\n2 1\n");
    EXPECT_PLEXAN_THROW(mesh.read(ragged), FileFormatError, "void QuadMesh<T>::read(istream&)",
                        "Curve size is not constant along the curve stack");
}

// A mesh whose columns are turned by k is matched back by k.
TYPED_TEST(QuadMeshRealTest, MatchFindsTheColumnShift)
{
    using T = TypeParam;
    const QuadMesh<T> reference = cone<T>(4, 10);
    for (int k : {0, 1, 7}) {
        QuadMesh<T> turned = cone<T>(4, 10);
        for (int r = 0; r < 4; ++r)
            turned[r].setOrigin((10 - k) % 10);
        turned.buildCaps();
        EXPECT_EQ(turned.match(reference), k);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 10; ++c)
                for (int d = 0; d < 3; ++d)
                    EXPECT_NEAR(double(turned[r].vertex(c)[d]), double(reference[r].vertex(c)[d]), 1e-5);
        // The caps turned with it.
        EXPECT_EQ(turned.getBeginCap()->level(0).vertex(1), turned[0].vertex(1));
        EXPECT_EQ(turned.getEndCap()->level(0).vertex(1), turned[3].vertex(1));
    }
    EXPECT_EQ(cone<T>(4, 10, true).findMatch(reference), 0);
    EXPECT_EQ(cone<T>(3, 10).findMatch(reference), 0);
}

TYPED_TEST(QuadMeshRealTest, MeanAndVarianceOfMeshes)
{
    using T = TypeParam;
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, 0.1);
    std::vector<QuadMesh<T>> meshes(5, cone<T>(3, 6));
    std::vector<const QuadMesh<T>*> list;
    for (QuadMesh<T>& mesh : meshes) {
        mesh.detach();
        for (VertexIterator<T> it(mesh); it.current(); ++it)
            for (T& x : *it.current())
                x += static_cast<T>(noise(rng));
        list.push_back(&mesh);
    }
    const QuadMesh<T> mean = QuadMesh<T>::mean(list);
    const Matrix<T> variance = QuadMesh<T>::varianceMap(mean, list);
    ASSERT_EQ(variance.getSize1(), 3);
    ASSERT_EQ(variance.getSize2(), 6);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 6; ++c) {
            double m[3] = {0, 0, 0}, v = 0;
            for (const QuadMesh<T>& mesh : meshes)
                for (int d = 0; d < 3; ++d)
                    m[d] += double(mesh[r][c][d]) / 5;
            for (const QuadMesh<T>& mesh : meshes)
                for (int d = 0; d < 3; ++d)
                    v += std::pow(double(mesh[r][c][d]) - m[d], 2) / 5;
            for (int d = 0; d < 3; ++d)
                EXPECT_NEAR(double(mean[r][c][d]), m[d], 1e-5);
            EXPECT_NEAR(double(variance(r, c)), v, 1e-5);
        }
    const QuadMesh<T> other = cone<T>(4, 6);
    list.push_back(&other);
    EXPECT_THROW(QuadMesh<T>::mean(list), SizeError);
}

TEST(QuadMesh, VertexColoursFollowTheColormap)
{
    QuadMesh<double> mesh = cone<double>(2, 3);
    Matrix<double> values(2u, 3u);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            values(r, c) = 10 * (3 * r + c); // 0 .. 50
    const Colormap map = Colormap::cold2Hot(8);
    mesh.buildVertexColors(values, map);
    ASSERT_TRUE(mesh.hasVertexColors());
    const QuadMesh<int>& colours = *mesh.getVertexColors();
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) {
            const int cell = static_cast<int>(std::lround(values(r, c) / 50 * 7));
            EXPECT_EQ(colours[r][c], (Vector<int>{map.getRed()[cell], map.getGreen()[cell], map.getBlue()[cell]}));
        }
    // A fixed range clamps the values outside it to the end cells.
    mesh.buildVertexColors(values, map, 20.0, 30.0);
    EXPECT_EQ(mesh.getVertexColors()->level(0).vertex(0)[2], map.getBlue()[0]);
    EXPECT_EQ(mesh.getVertexColors()->level(1).vertex(2)[0], map.getRed()[7]);

    EXPECT_PLEXAN_THROW(mesh.setVertexColors(std::make_unique<QuadMesh<int>>(3, 3, 3)), SizeError,
                        "void QuadMesh<T>::setVertexColors(...)", "Incompatible color array dimensions");
    EXPECT_PLEXAN_THROW(mesh.buildVertexColors(Matrix<double>(3u, 3u), map), SizeError,
                        "void QuadMesh<T>::buildVertexColors(...)", "Incompatible value array dimensions");
}

} // namespace
