// Triangle meshes against independent computations: areas by Heron's
// formula, volumes by the divergence theorem, analytic solids, containment
// and nearest points; stars after removals; the mesh and STL texts.

#include "geometry/trimesh.h"

#include "geometry/triangle.h"
#include "meshfixtures.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using fixtures::Point;
constexpr double pi = std::numbers::pi;

template <typename T>
std::array<Point, 3> corners(const TriMesh<T>& mesh, int i)
{
    const auto& t = mesh.triangleIndexes(static_cast<unsigned>(i));
    return {fixtures::point(mesh.vertex(int(t[0]))), fixtures::point(mesh.vertex(int(t[1]))),
            fixtures::point(mesh.vertex(int(t[2])))};
}

// The area by Heron's formula from the side lengths; the volume by the
// divergence theorem with the field (0, 0, z): the signed area of every
// triangle projected on the xy plane times its mean z.
template <typename T>
std::pair<double, double> referenceMeasures(const TriMesh<T>& mesh)
{
    double area = 0, volume = 0;
    for (int i = 0; i < mesh.getNumTriangles(); ++i) {
        const auto [a, b, c] = corners(mesh, i);
        const Point ab = fixtures::minus(b, a), bc = fixtures::minus(c, b), ca = fixtures::minus(a, c);
        const double x = std::sqrt(fixtures::dot(ab, ab)), y = std::sqrt(fixtures::dot(bc, bc));
        const double z = std::sqrt(fixtures::dot(ca, ca)), s = (x + y + z) / 2;
        area += std::sqrt(std::max(0.0, s * (s - x) * (s - y) * (s - z)));
        volume += ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])) / 2 * (a[2] + b[2] + c[2]) / 3;
    }
    return {area, volume};
}

template <typename T>
class TriMeshMeasures : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(TriMeshMeasures, RealTypes);

// Tessellated solids agree with the independent sums at every resolution and
// approach their analytic area and volume as it doubles; a reversed cube has
// the negative volume and the same area and equivalent radius.
TYPED_TEST(TriMeshMeasures, AgreeWithIndependentSumsAndAnalyticSolids)
{
    using T = TypeParam;
    const double tolerance = std::is_same_v<T, float> ? 1e-5 : 1e-10;
    for (int n : {8, 32}) {
        const TriMesh<T> s = fixtures::sphere<T>(2.0, n, 2 * n);
        const TriMesh<T> t = fixtures::torus<T>(3.0, 1.0, 2 * n, n);
        for (const TriMesh<T>* mesh : {&s, &t}) {
            const auto [area, volume] = referenceMeasures(*mesh);
            EXPECT_NEAR(double(mesh->area()), area, tolerance * area);
            EXPECT_NEAR(double(mesh->volume()), volume, tolerance * area);
        }
        // Inscribed polyhedra: close below the smooth values.
        const double sphereVolume = 4 * pi * 8 / 3, torusVolume = 2 * pi * pi * 3;
        EXPECT_LT(double(s.volume()), sphereVolume);
        EXPECT_GT(double(s.volume()), sphereVolume * (1 - 6.0 / (n * n)));
        EXPECT_NEAR(double(t.volume()), torusVolume, torusVolume * 10.0 / (n * n));
    }
    const double lo[3] = {-1, 0.5, 2}, hi[3] = {2, 1.5, 4.5};
    for (int n : {1, 3, 8}) {
        const TriMesh<T> b = fixtures::box<T>(lo, hi, n);
        EXPECT_NEAR(double(b.volume()), 3 * 1 * 2.5, 1e-5);
        EXPECT_NEAR(double(b.area()), 2 * (3 * 1 + 3 * 2.5 + 1 * 2.5), 1e-5);
    }

    const double zero[3] = {0, 0, 0}, one[3] = {1, 1, 1};
    TriMesh<T> cube = fixtures::box<T>(zero, one, 1);
    const T radius = cube.equivalentRadius();
    EXPECT_NEAR(double(radius), std::cbrt(3 / (4 * pi)), 1e-6);
    std::vector<Vector<unsigned int>> reversed;
    for (int i = 0; i < cube.getNumTriangles(); ++i) {
        const auto& t = cube.triangleIndexes(static_cast<unsigned>(i));
        reversed.push_back(Vector<unsigned int>{t[0], t[2], t[1]});
    }
    cube.setTriangles(reversed);
    EXPECT_NEAR(double(cube.volume()), -1.0, 1e-6);
    EXPECT_NEAR(double(cube.area()), 6.0, 1e-6);
    EXPECT_EQ(cube.equivalentRadius(), radius);
}

// contains against the analytic solids, away from the band where the
// tessellation and the smooth surface disagree.
TYPED_TEST(TriMeshMeasures, ContainsAgreesWithAnalyticSolids)
{
    using T = TypeParam;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-4.5, 4.5);
    const TriMesh<T> s = fixtures::sphere<T>(2.0, 24, 48);
    const TriMesh<T> t = fixtures::torus<T>(3.0, 1.0, 48, 24);
    const double lo[3] = {-1, -2, -0.5}, hi[3] = {2, 1, 3};
    const TriMesh<T> b = fixtures::box<T>(lo, hi, 3);
    int inside[3] = {0, 0, 0};
    for (int k = 0; k < 3000; ++k) {
        const double q[3] = {u(rng), u(rng), u(rng)};
        const Vector<T> p{T(q[0]), T(q[1]), T(q[2])};
        // Signed distances to the smooth surfaces (the box's sign only).
        double box = -1, gap = 1e9;
        for (int a = 0; a < 3; ++a) {
            box = std::max(box, std::max(lo[a] - q[a], q[a] - hi[a]));
            gap = std::min({gap, std::abs(q[a] - lo[a]), std::abs(q[a] - hi[a])});
        }
        const double distance[3] = {std::hypot(q[0], q[1], q[2]) - 2.0,
                                    std::hypot(std::hypot(q[0], q[1]) - 3.0, q[2]) - 1.0, gap > 1e-4 ? box : 0};
        const TriMesh<T>* solids[3] = {&s, &t, &b};
        for (int m = 0; m < 3; ++m)
            if (std::abs(distance[m]) > (m < 2 ? 0.06 : 0)) {
                EXPECT_EQ(solids[m]->contains(p), distance[m] < 0) << m << ": " << q[0] << ' ' << q[1] << ' ' << q[2];
                inside[m] += distance[m] < 0;
            }
    }
    for (int m = 0; m < 3; ++m)
        EXPECT_GT(inside[m], 100) << "the samples reach inside solid " << m;

    // The first ray from the centre of the box [0, 2]^3 passes exactly
    // through the corner (0, 0, 0), where six triangles meet: the test must
    // cast again rather than count them. From the surface every ray touches
    // it; the answer comes from the last direction and does not hang.
    const double zero[3] = {0, 0, 0}, two[3] = {2, 2, 2};
    const TriMesh<T> cube = fixtures::box<T>(zero, two, 1);
    EXPECT_TRUE(cube.contains(Vector<T>{1, 1, 1}));
    EXPECT_EQ(cube.contains(Vector<T>{2, 2, 2}), cube.contains(Vector<T>{2, 2, 2}));
    EXPECT_FALSE(cube.contains(Vector<T>{3, 1, 1}));
    EXPECT_FALSE(TriMesh<T>().contains(Vector<T>{0, 0, 0}));
}

TYPED_TEST(TriMeshMeasures, ClosestPointAgreesWithReference)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-4, 4);
    const TriMesh<T> t = fixtures::torus<T>(2.0, 0.7, 16, 8);
    for (int k = 0; k < 200; ++k) {
        const Point p = {u(rng), u(rng), u(rng)};
        Vector<T> result;
        t.closestPoint(Vector<T>{T(p[0]), T(p[1]), T(p[2])}, result);
        ASSERT_EQ(result.getSize(), 3);
        double best = 1e300;
        for (int i = 0; i < t.getNumTriangles(); ++i) {
            const auto [a, b, c] = corners(t, i);
            best = std::min(best, fixtures::triangleDistance(p, a, b, c));
        }
        const Point gap = fixtures::minus(fixtures::point(result), p);
        EXPECT_NEAR(std::sqrt(fixtures::dot(gap, gap)), best, 1e-4);
    }
}

TEST(TriMeshTopology, StarsFollowRemovals)
{
    TriMesh<double> mesh(3, 4);
    mesh.vertex(1)[0] = 1;
    mesh.vertex(2)[1] = 1;
    mesh.addTriangle(0, 1, 2);
    mesh.addTriangle(1, 3, 2);
    EXPECT_EQ(mesh.star(1), (std::vector<unsigned>{0, 1}));
    EXPECT_EQ(mesh.neighbours(1), (std::vector<unsigned>{0, 2, 3}));
    // A triangle is a view on the pool: the mesh sees changes made through it.
    mesh.triangle(0).vertex(0)[2] = 5;
    EXPECT_DOUBLE_EQ(mesh.vertex(0)[2], 5.0);
    mesh.removeTriangle(0);
    for (int v : {0, 1, 2, 3})
        EXPECT_EQ(mesh.star(v), (v ? std::vector<unsigned>{0} : std::vector<unsigned>{}));
    EXPECT_PLEXAN_THROW(mesh.removeTriangle(1), ValueError,
                        "Vector< unsigned int > TriMesh<T>::removeTriangle(unsigned int i)",
                        "Wrong value for removing a Triangle");

    // Removing a vertex removes its star and its normal, and renumbers.
    TriMesh<float> sphere = fixtures::sphere<float>(1.0, 4, 6);
    const int triangles = sphere.getNumTriangles(), vertices = sphere.getNumVertices();
    const int star = static_cast<int>(sphere.star(0).size());
    sphere.computeNormals();
    sphere.remove(0);
    EXPECT_EQ(sphere.getNumTriangles(), triangles - star);
    EXPECT_EQ(sphere.getNumVertices(), vertices - 1);
    EXPECT_EQ(sphere.getNormals().getNumVertices(), vertices - 1);
    for (int i = 0; i < sphere.getNumTriangles(); ++i)
        for (unsigned v : sphere.triangleIndexes(static_cast<unsigned>(i)))
            EXPECT_NE(v, 0u);
}

// Normals of a sphere point away from its centre; smoothing keeps them unit.
TEST(TriMeshNormals, SphereNormalsAreRadial)
{
    TriMesh<double> s = fixtures::sphere<double>(3.0, 16, 32);
    s.computeNormals();
    ASSERT_EQ(s.getNormals().getNumVertices(), s.getNumVertices());
    for (int smoothing : {0, 3}) {
        if (smoothing)
            s.smoothNormals(smoothing);
        for (int v = 0; v < s.getNumVertices(); ++v) {
            EXPECT_NEAR(s.getNormal(v).norm(), 1.0, 1e-12);
            EXPECT_GT(s.getNormal(v).scalarProduct(s.vertex(v)) / 3.0, 0.99);
        }
    }
}

// Handing a mesh over ------------------------------------------------------------

// Regression: a mesh moved out of a function or into another must keep the
// pool alive exactly as long as someone uses it (one reference per mesh, no
// double release), carry its triangles, normals and measures along, and
// leave the source an empty mesh that can be reused. Under the address
// sanitizer a wrong reference count shows as a use after free.
TEST(TriMeshHandOver, MovesKeepThePoolAndLeaveAnEmptySource)
{
    TriMesh<double> source = fixtures::sphere<double>(2.0, 8, 16);
    source.computeNormals();
    const auto [area, volume] = referenceMeasures(source);
    const int vertices = source.getNumVertices();
    const int triangles = source.getNumTriangles();
    const Vector<double> lastNormal = source.getNormal(vertices - 1);

    TriMesh<double> moved(std::move(source));
    EXPECT_EQ(source.getNumVertices(), 0);
    EXPECT_EQ(source.getNumTriangles(), 0);
    EXPECT_FALSE(source.hasNormals());
    {
        // A copy shares the pool; moving it away must not release the pool
        // under the other meshes.
        TriMesh<double> copy(moved);
        TriMesh<double> target;
        target = std::move(copy);
        EXPECT_EQ(target.getServer(), moved.getServer());
        EXPECT_EQ(target.getServer()->getRefs(), 4); // moved, the two emptied ones, target
    }
    EXPECT_EQ(moved.getServer()->getRefs(), 2); // moved and the emptied source
    ASSERT_EQ(moved.getNumVertices(), vertices);
    ASSERT_EQ(moved.getNumTriangles(), triangles);
    EXPECT_NEAR(static_cast<double>(moved.area()), area, 1e-9 * area);
    EXPECT_NEAR(static_cast<double>(moved.volume()), volume, 1e-9 * std::abs(volume));
    EXPECT_EQ(moved.getNormal(vertices - 1)[2], lastNormal[2]);

    // The emptied source takes new vertices on its own again.
    source = TriMesh<double>(3, 3);
    source.addTriangle(0, 1, 2);
    EXPECT_EQ(source.getNumTriangles(), 1);
    EXPECT_NE(source.getServer(), moved.getServer());
    EXPECT_EQ(moved.getServer()->getRefs(), 1);
}

// Files ---------------------------------------------------------------------------

TEST(TriMeshFiles, StlTextHasTheExactLayout)
{
    TriMesh<float> mesh(3, 6);
    const float big = -123456789.0f;
    const float coordinates[6][3] = {{0.5f, 0, 0}, {2, 0, 0}, {0.5f, 1e-7f, 0},
                                     {0, 0, big},    {0, 1, big}, {0, 0, big + 64}};
    for (int v = 0; v < 6; ++v)
        mesh.vertex(v) = Vector<float>{coordinates[v][0], coordinates[v][1], coordinates[v][2]};
    mesh.addTriangle(0, 1, 2);
    mesh.addTriangle(3, 4, 5);
    mesh.setName("two facets");
    std::ostringstream out;
    mesh.export2AsciiSTL(out);
    // Numbers as the default stream format writes them; unit normals.
    std::ostringstream expected;
    expected << "solid two facets\n  facet normal 0 0 1\n    outer loop\n"
             << "      vertex 0.5 0 0\n      vertex 2 0 0\n      vertex 0.5 " << 1e-7f << " 0\n"
             << "    endloop\n  endfacet\n"
             << "  facet normal 1 0 0\n    outer loop\n"
             << "      vertex 0 0 " << big << "\n      vertex 0 1 " << big << "\n      vertex 0 0 " << big + 64
             << "\n    endloop\n  endfacet\nendsolid two facets\n";
    EXPECT_EQ(out.str(), expected.str());
}

// Every number of the mesh texts is written as the stream itself writes it,
// across magnitudes and at the rounding boundaries of the sixth digit.
template <typename T>
void checkNumberForms(std::mt19937& rng)
{
    std::vector<T> values = {T(0), -T(0), T(1), T(-1), T(0.5), T(1234565), T(999999.5), T(9999995),
                             T(99999.95), T(1e-5), T(1e-4), T(0.0001234565), T(123456), T(1e6), T(999999),
                             T(1e30), T(1e-30), T(3e33), T(2e-38), T(100000), T(0.1), T(0.3)};
    std::uniform_real_distribution<double> mantissa(1, 10);
    std::uniform_int_distribution<int> exponent(-36, 36);
    std::uniform_int_distribution<long> digits(100000, 9999999);
    for (int i = 0; i < 20000; ++i) {
        const double sign = i % 2 ? -1 : 1;
        values.push_back(static_cast<T>(sign * mantissa(rng) * std::pow(10.0, exponent(rng))));
        // Seven-digit decimals, halfway cases among them.
        values.push_back(static_cast<T>(sign * digits(rng) * std::pow(10.0, exponent(rng) / 4)));
    }
    while (values.size() % 3)
        values.push_back(T(7));
    TriMesh<T> mesh(3, static_cast<int>(values.size() / 3));
    for (std::size_t i = 0; i < values.size(); ++i)
        mesh.vertex(static_cast<int>(i / 3))[static_cast<int>(i % 3)] = values[i];
    std::ostringstream out;
    mesh.write(out);
    std::istringstream in(out.str());
    std::string token;
    for (int k = 0; k < 3; ++k)
        std::getline(in, token);
    for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(in >> token);
        std::ostringstream expected;
        expected << values[i];
        ASSERT_EQ(token, expected.str()) << "value " << i;
    }
}

TEST(TriMeshFiles, NumbersAsTheStreamWritesThem)
{
    std::mt19937 rng(31);
    checkNumberForms<float>(rng);
    checkNumberForms<double>(rng);
    checkNumberForms<long double>(rng);
}

// Written at full precision, a mesh with normals reads back exactly.
TYPED_TEST(TriMeshMeasures, FileRoundTrip)
{
    using T = TypeParam;
    TriMesh<T> mesh = fixtures::sphere<T>(1.5, 5, 7);
    mesh.computeNormals();
    std::stringstream file;
    file.precision(std::numeric_limits<T>::max_digits10);
    mesh.write(file);
    TriMesh<T> back;
    back.read(file);
    EXPECT_EQ(back.toVector(), mesh.toVector());
    EXPECT_EQ(back.getNormals().toVector(), mesh.getNormals().toVector());
    std::ostringstream a, b;
    back.write(a);
    mesh.write(b);
    EXPECT_EQ(a.str(), b.str()); // the triangles too
}

TEST(TriMeshFiles, MalformedFilesAreRefused)
{
    const std::string header = "# 8\n# 3\n# 3\n0 0 0\n1 0 0\n0 1 0\n";
    const struct {
        std::string text;
        const char* what;
    } cases[] = {
        {header + "# 1\n0 1 3\n# 0\n", "Triangle vertex out of range"},
        {header + "# 1\n0 -1 2\n# 0\n", "Triangle vertex out of range"},
        {header + "# 2000000000\n0 1 2\n", "Truncated or malformed triangle data"},
        {header + "# -4\n", "Invalid number of triangles"},
        {header + "# 1\n0 1 2\n# 7\n", "Invalid normals flag"},
        {header + "# 1\n0 1 2\n# 1\n0 0 1\n", "Truncated or malformed normal data"},
        {"# 6\n# 3\n# 1\n0 0 0\n", "Shape type mismatch"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        TriMesh<double> mesh(3, 2);
        EXPECT_PLEXAN_THROW(mesh.read(in), FileFormatError, "void TriMesh<T>::read(istream&)", c.what);
        EXPECT_EQ(mesh.getNumVertices(), 2) << "a failed read leaves the mesh as it was";
    }
    // The normals part may be left out.
    std::istringstream in(header + "# 1\n0 1 2\n");
    TriMesh<double> mesh;
    mesh.read(in);
    EXPECT_EQ(mesh.getNumTriangles(), 1);
    EXPECT_FALSE(mesh.hasNormals());
}

} // namespace
