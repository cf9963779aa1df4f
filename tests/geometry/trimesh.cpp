#include "geometry/trimesh.h"

#include "geometry/triangle.h"
#include "meshfixtures.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double pi = std::numbers::pi;

template <typename T>
const T* at(const TriMesh<T>& mesh, unsigned v)
{
    return mesh.getServer()->vertex(static_cast<int>(v)).data();
}

// Independent measures: the area by Heron's formula from the side lengths,
// the volume by the divergence theorem with the field (0, 0, z), i.e. the
// signed area of every triangle projected on the xy plane times its mean z.
template <typename T>
double heronArea(const TriMesh<T>& mesh)
{
    double total = 0;
    for (int i = 0; i < mesh.getNumTriangles(); ++i) {
        const auto& t = mesh.triangleIndexes(static_cast<unsigned>(i));
        double side[3];
        for (int e = 0; e < 3; ++e) {
            const T* p = at(mesh, t[e]);
            const T* q = at(mesh, t[(e + 1) % 3]);
            side[e] = std::hypot(double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]);
        }
        const double s = (side[0] + side[1] + side[2]) / 2;
        total += std::sqrt(std::max(0.0, s * (s - side[0]) * (s - side[1]) * (s - side[2])));
    }
    return total;
}

template <typename T>
double projectedVolume(const TriMesh<T>& mesh)
{
    double total = 0;
    for (int i = 0; i < mesh.getNumTriangles(); ++i) {
        const auto& t = mesh.triangleIndexes(static_cast<unsigned>(i));
        const T* a = at(mesh, t[0]);
        const T* b = at(mesh, t[1]);
        const T* c = at(mesh, t[2]);
        const double projected =
            ((double(b[0]) - a[0]) * (double(c[1]) - a[1]) - (double(b[1]) - a[1]) * (double(c[0]) - a[0])) / 2;
        total += projected * (double(a[2]) + b[2] + c[2]) / 3;
    }
    return total;
}

template <typename T>
class TriMeshMeasures : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(TriMeshMeasures, RealTypes);

TYPED_TEST(TriMeshMeasures, UnitCubeAndItsReverse)
{
    using T = TypeParam;
    const double lo[3] = {0, 0, 0}, hi[3] = {1, 1, 1};
    TriMesh<T> cube = fixtures::box<T>(lo, hi, 1);
    ASSERT_EQ(cube.getNumTriangles(), 12);
    EXPECT_NEAR(double(cube.area()), 6.0, 1e-6);
    EXPECT_NEAR(double(cube.volume()), 1.0, 1e-6);
    const T radius = cube.equivalentRadius();
    EXPECT_NEAR(double(radius), std::cbrt(3 / (4 * pi)), 1e-6);

    std::vector<Vector<unsigned int>> reversed;
    for (int i = 0; i < cube.getNumTriangles(); ++i) {
        const Vector<unsigned int> t = cube.getTriangleIndexes(static_cast<unsigned>(i));
        reversed.push_back(Vector<unsigned int>{t[0], t[2], t[1]});
    }
    cube.setTriangles(reversed);
    EXPECT_NEAR(double(cube.volume()), -1.0, 1e-6);
    EXPECT_NEAR(double(cube.area()), 6.0, 1e-6);
    EXPECT_EQ(cube.equivalentRadius(), radius);
}

// Tessellated solids approach their analytic area and volume as the
// resolution doubles, and agree with the independent sums at every one.
TYPED_TEST(TriMeshMeasures, ConvergeToAnalyticValues)
{
    using T = TypeParam;
    const double tolerance = std::is_same_v<T, float> ? 1e-5 : 1e-10;
    double sphereError = 1, torusError = 1;
    for (int n : {8, 16, 32, 64}) {
        const TriMesh<T> s = fixtures::sphere<T>(2.0, n, 2 * n);
        const TriMesh<T> t = fixtures::torus<T>(3.0, 1.0, 2 * n, n);
        for (const TriMesh<T>* mesh : {&s, &t}) {
            EXPECT_NEAR(double(mesh->area()), heronArea(*mesh), tolerance * heronArea(*mesh));
            EXPECT_NEAR(double(mesh->volume()), projectedVolume(*mesh), tolerance * heronArea(*mesh));
        }
        // Inscribed polyhedra: below the smooth values, and the gap shrinks
        // about fourfold per doubling (second-order convergence).
        const double sphereVolume = 4 * pi * 8 / 3, sphereArea = 4 * pi * 4;
        const double torusVolume = 2 * pi * pi * 3, torusArea = 4 * pi * pi * 3;
        EXPECT_LT(double(s.volume()), sphereVolume);
        EXPECT_LT(double(s.area()), sphereArea);
        const double e1 = (sphereVolume - double(s.volume())) / sphereVolume;
        const double e2 = std::abs(torusVolume - double(t.volume())) / torusVolume;
        EXPECT_LT(e1, 6.0 / (n * n));
        EXPECT_LT(e2, 10.0 / (n * n));
        EXPECT_LT(std::abs(torusArea - double(t.area())) / torusArea, 10.0 / (n * n));
        EXPECT_LT(e1, sphereError / 3);
        EXPECT_LT(e2, torusError / 3);
        sphereError = e1;
        torusError = e2;
    }
    const double lo[3] = {-1, 0.5, 2}, hi[3] = {2, 1.5, 4.5};
    for (int n : {1, 3, 8}) {
        const TriMesh<T> b = fixtures::box<T>(lo, hi, n);
        EXPECT_NEAR(double(b.volume()), 3 * 1 * 2.5, 1e-5);
        EXPECT_NEAR(double(b.area()), 2 * (3 * 1 + 3 * 2.5 + 1 * 2.5), 1e-5);
    }
}

// contains against the analytic solids, away from the band where the
// tessellation and the smooth surface disagree.
TYPED_TEST(TriMeshMeasures, ContainsAgreesWithAnalyticSolids)
{
    using T = TypeParam;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-4.5, 4.5);
    const int n = 24;
    const TriMesh<T> s = fixtures::sphere<T>(2.0, n, 2 * n);
    const TriMesh<T> t = fixtures::torus<T>(3.0, 1.0, 2 * n, n);
    const double lo[3] = {-1, -2, -0.5}, hi[3] = {2, 1, 3};
    const TriMesh<T> b = fixtures::box<T>(lo, hi, 3);
    const double band = 0.06;
    int inside[3] = {0, 0, 0}, tested = 0;
    for (int k = 0; k < 3000; ++k) {
        const double x = u(rng), y = u(rng), z = u(rng);
        const Vector<T> p{static_cast<T>(x), static_cast<T>(y), static_cast<T>(z)};
        const double rs = std::sqrt(x * x + y * y + z * z) - 2.0;
        if (std::abs(rs) > band) {
            EXPECT_EQ(s.contains(p), rs < 0) << x << ' ' << y << ' ' << z;
            inside[0] += rs < 0;
        }
        const double rt = std::hypot(std::hypot(x, y) - 3.0, z) - 1.0;
        if (std::abs(rt) > band) {
            EXPECT_EQ(t.contains(p), rt < 0) << x << ' ' << y << ' ' << z;
            inside[1] += rt < 0;
        }
        bool in = true;
        double gap = 1e9;
        const double q[3] = {x, y, z};
        for (int a = 0; a < 3; ++a) {
            in = in && q[a] > lo[a] && q[a] < hi[a];
            gap = std::min({gap, std::abs(q[a] - lo[a]), std::abs(q[a] - hi[a])});
        }
        if (gap > 1e-4) {
            EXPECT_EQ(b.contains(p), in) << x << ' ' << y << ' ' << z;
            inside[2] += in;
        }
        ++tested;
    }
    // The samples reach the inside of every solid.
    EXPECT_GT(inside[0], 100);
    EXPECT_GT(inside[1], 100);
    EXPECT_GT(inside[2], 100);
}

// The first ray from the centre of the box [0, 2]^3 ends at (-1, -1, -1) and
// passes exactly through the corner (0, 0, 0), where six triangles meet: the
// test must cast again rather than count them.
TYPED_TEST(TriMeshMeasures, RayThroughVertexIsCastAgain)
{
    using T = TypeParam;
    const double lo[3] = {0, 0, 0}, hi[3] = {2, 2, 2};
    const TriMesh<T> cube = fixtures::box<T>(lo, hi, 1);
    EXPECT_TRUE(cube.contains(Vector<T>{1, 1, 1}));
    // Starting on the surface every ray touches it; the answer comes from
    // the last direction and does not hang.
    const bool onVertex = cube.contains(Vector<T>{2, 2, 2});
    EXPECT_EQ(cube.contains(Vector<T>{2, 2, 2}), onVertex);
    EXPECT_FALSE(cube.contains(Vector<T>{3, 1, 1}));
    EXPECT_FALSE(TriMesh<T>().contains(Vector<T>{0, 0, 0}));
}

// The independent reference: nearest point of a triangle as the best of its
// plane projection (when inside) and of its three edges.
template <typename T>
double referenceDistance(const TriMesh<T>& mesh, const double* p)
{
    double best = 1e300;
    auto segment = [&](const double* a, const double* b) {
        double ab[3], ap[3];
        for (int k = 0; k < 3; ++k) {
            ab[k] = b[k] - a[k];
            ap[k] = p[k] - a[k];
        }
        const double l2 = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
        double t = l2 > 0 ? (ap[0] * ab[0] + ap[1] * ab[1] + ap[2] * ab[2]) / l2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        return std::hypot(ap[0] - t * ab[0], ap[1] - t * ab[1], ap[2] - t * ab[2]);
    };
    for (int i = 0; i < mesh.getNumTriangles(); ++i) {
        const auto& t = mesh.triangleIndexes(static_cast<unsigned>(i));
        double v[3][3];
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                v[c][k] = double(at(mesh, t[c])[k]);
        best = std::min({best, segment(v[0], v[1]), segment(v[1], v[2]), segment(v[2], v[0])});
        double e1[3], e2[3], n[3];
        for (int k = 0; k < 3; ++k) {
            e1[k] = v[1][k] - v[0][k];
            e2[k] = v[2][k] - v[0][k];
        }
        n[0] = e1[1] * e2[2] - e1[2] * e2[1];
        n[1] = e1[2] * e2[0] - e1[0] * e2[2];
        n[2] = e1[0] * e2[1] - e1[1] * e2[0];
        const double nn = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        const double h = ((p[0] - v[0][0]) * n[0] + (p[1] - v[0][1]) * n[1] + (p[2] - v[0][2]) * n[2]) / nn;
        double f[3];
        for (int k = 0; k < 3; ++k)
            f[k] = p[k] - h * n[k] / nn;
        // The foot is inside when it is on the inner side of every edge.
        bool inside = true;
        for (int e = 0; e < 3; ++e) {
            const double* a = v[e];
            const double* b = v[(e + 1) % 3];
            double ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            double af[3] = {f[0] - a[0], f[1] - a[1], f[2] - a[2]};
            const double w = (ab[1] * af[2] - ab[2] * af[1]) * n[0] + (ab[2] * af[0] - ab[0] * af[2]) * n[1]
                             + (ab[0] * af[1] - ab[1] * af[0]) * n[2];
            inside = inside && w >= 0;
        }
        if (inside)
            best = std::min(best, std::abs(h));
    }
    return best;
}

TYPED_TEST(TriMeshMeasures, ClosestPointAgreesWithReference)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-4, 4);
    const TriMesh<T> t = fixtures::torus<T>(2.0, 0.7, 16, 8);
    for (int k = 0; k < 200; ++k) {
        const double p[3] = {u(rng), u(rng), u(rng)};
        Vector<T> result;
        t.closestPoint(Vector<T>{T(p[0]), T(p[1]), T(p[2])}, result);
        ASSERT_EQ(result.getSize(), 3);
        const double d = std::hypot(double(result[0]) - p[0], double(result[1]) - p[1], double(result[2]) - p[2]);
        EXPECT_NEAR(d, referenceDistance(t, p), 1e-4);
    }
}

// Triangles, stars and neighbours ------------------------------------------------

TEST(TriMeshTopology, StarsFollowTriangleRemoval)
{
    TriMesh<double> mesh(3, 4);
    mesh.addTriangle(0, 1, 2);
    mesh.addTriangle(1, 3, 2);
    EXPECT_EQ(mesh.star(1), (std::vector<unsigned>{0, 1}));
    EXPECT_EQ(mesh.neighbours(1), (std::vector<unsigned>{0, 2, 3}));
    EXPECT_EQ(mesh.neighbours(0), (std::vector<unsigned>{1, 2}));
    mesh.removeTriangle(0);
    EXPECT_EQ(mesh.getNumTriangles(), 1);
    for (unsigned v : {1u, 2u, 3u})
        EXPECT_EQ(mesh.star(static_cast<int>(v)), (std::vector<unsigned>{0}));
    EXPECT_TRUE(mesh.star(0).empty());
    EXPECT_PLEXAN_THROW(mesh.removeTriangle(1), ValueError,
                        "Vector< unsigned int > TriMesh<T>::removeTriangle(unsigned int i)",
                        "Wrong value for removing a Triangle");
    EXPECT_PLEXAN_THROW(mesh.triangle(1), ValueError,
                        "Vector< unsigned int > TriMesh<T>::triangle(const unsigned int i)",
                        "Wrong value for searching a Triangle");
}

TEST(TriMeshTopology, RemovingAVertexRemovesItsStar)
{
    TriMesh<float> mesh = fixtures::sphere<float>(1.0, 4, 6);
    const int triangles = mesh.getNumTriangles();
    const int vertices = mesh.getNumVertices();
    const std::size_t star = mesh.star(0).size();
    mesh.computeNormals();
    mesh.remove(0);
    EXPECT_EQ(mesh.getNumTriangles(), triangles - static_cast<int>(star));
    EXPECT_EQ(mesh.getNumVertices(), vertices - 1);
    EXPECT_EQ(mesh.getNormals().getNumVertices(), vertices - 1);
    for (int i = 0; i < mesh.getNumTriangles(); ++i)
        for (unsigned v : mesh.triangleIndexes(static_cast<unsigned>(i)))
            EXPECT_NE(v, 0u);
}

TEST(TriMeshTopology, TriangleViewSharesThePool)
{
    TriMesh<double> mesh(3, 3);
    mesh.vertex(1)[0] = 1;
    mesh.vertex(2)[1] = 1;
    mesh.addTriangle(0, 1, 2);
    Triangle<double> t = mesh.triangle(0);
    const Vector<double> n = t.normal(true);
    EXPECT_DOUBLE_EQ(n[2], 1.0);
    t.vertex(0)[2] = 5; // a view: the mesh sees the change
    EXPECT_DOUBLE_EQ(mesh.vertex(0)[2], 5.0);
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
            const Vector<double>& n = s.getNormal(v);
            const Vector<double>& x = s.vertex(v);
            EXPECT_NEAR(n.norm(), 1.0, 1e-12);
            EXPECT_GT(n.scalarProduct(x) / 3.0, 0.99);
        }
    }
}

// Files ---------------------------------------------------------------------------

// An STL reader written from the format, not from the writer: tokens, checked
// keywords, and facets of a normal and three vertices.
struct StlFacet {
    double normal[3];
    double vertex[3][3];
};

bool parseStl(const std::string& text, std::string& name, std::vector<StlFacet>& facets)
{
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line.rfind("solid ", 0) != 0)
        return false;
    name = line.substr(6);
    std::string word;
    auto expect = [&](const char* w) { return (in >> word) && word == w; };
    auto number = [&](double& x) {
        if (!(in >> word))
            return false;
        char* end = nullptr;
        x = std::strtod(word.c_str(), &end);
        return *end == '\0';
    };
    while (in >> word) {
        if (word == "endsolid") {
            std::string rest;
            std::getline(in, rest);
            return rest == (name.empty() ? "" : " " + name) && !(in >> word);
        }
        StlFacet f;
        if (word != "facet" || !expect("normal"))
            return false;
        for (double& x : f.normal)
            if (!number(x))
                return false;
        if (!expect("outer") || !expect("loop"))
            return false;
        for (auto& v : f.vertex) {
            if (!expect("vertex"))
                return false;
            for (double& x : v)
                if (!number(x))
                    return false;
        }
        if (!expect("endloop") || !expect("endfacet"))
            return false;
        facets.push_back(f);
    }
    return false;
}

TYPED_TEST(TriMeshMeasures, StlTextGivesTheSameFacets)
{
    using T = TypeParam;
    TriMesh<T> mesh = fixtures::torus<T>(2.5, 0.75, 12, 7);
    mesh.setName("torus model");
    std::ostringstream out;
    mesh.export2AsciiSTL(out);
    std::string name;
    std::vector<StlFacet> facets;
    ASSERT_TRUE(parseStl(out.str(), name, facets));
    EXPECT_EQ(name, "torus model");
    ASSERT_EQ(static_cast<int>(facets.size()), mesh.getNumTriangles());
    for (int i = 0; i < mesh.getNumTriangles(); ++i) {
        const auto& t = mesh.triangleIndexes(static_cast<unsigned>(i));
        const Vector<T> n = mesh.triangle(static_cast<unsigned>(i)).normal(true);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(facets[i].normal[k], double(n[k]), 1e-5);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(facets[i].vertex[c][k], double(at(mesh, t[c])[k]), 1e-5 * 3.25);
        }
    }
}

TEST(TriMeshFiles, StlTextHasTheExactLayout)
{
    TriMesh<float> mesh(3, 6);
    const float big = -123456789.0f;
    const float coordinates[6][3] = {{0.5f, 0, 0}, {2, 0, 0}, {0.5f, 1e-7f, 0},
                                     {0, 0, big}, {1, 0, big}, {0, 1, big}};
    for (int v = 0; v < 6; ++v)
        for (int k = 0; k < 3; ++k)
            mesh.vertex(v)[k] = coordinates[v][k];
    mesh.addTriangle(0, 1, 2);
    mesh.addTriangle(3, 4, 5);
    std::ostringstream out;
    mesh.export2AsciiSTL(out);
    // Numbers as the default stream format writes them.
    std::ostringstream expected;
    expected << "solid \n  facet normal 0 0 1\n    outer loop\n"
             << "      vertex 0.5 0 0\n      vertex 2 0 0\n      vertex 0.5 " << 1e-7f << " 0\n"
             << "    endloop\n  endfacet\n"
             << "  facet normal 0 0 1\n    outer loop\n"
             << "      vertex 0 0 " << big << "\n      vertex 1 0 " << big << "\n      vertex 0 1 " << big
             << "\n    endloop\n  endfacet\nendsolid \n";
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
    std::string line;
    for (int k = 0; k < 3; ++k)
        std::getline(in, line);
    std::string token;
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
    ASSERT_EQ(back.getNumVertices(), mesh.getNumVertices());
    ASSERT_EQ(back.getNumTriangles(), mesh.getNumTriangles());
    for (int v = 0; v < mesh.getNumVertices(); ++v) {
        EXPECT_EQ(back.vertex(v), mesh.vertex(v));
        EXPECT_EQ(back.getNormal(v), mesh.getNormal(v));
    }
    for (int i = 0; i < mesh.getNumTriangles(); ++i)
        EXPECT_EQ(back.getTriangleIndexes(static_cast<unsigned>(i)),
                  mesh.getTriangleIndexes(static_cast<unsigned>(i)));
}

TEST(TriMeshFiles, MalformedFilesAreRefused)
{
    const char* where = "void TriMesh<T>::read(istream&)";
    struct Case {
        const char* text;
        const char* what;
    } cases[] = {
        {"# 8\n# 3\n# 3\n0 0 0\n1 0 0\n0 1 0\n# 1\n0 1 3\n# 0\n", "Triangle vertex out of range"},
        {"# 8\n# 3\n# 3\n0 0 0\n1 0 0\n0 1 0\n# 1\n0 -1 2\n# 0\n", "Triangle vertex out of range"},
        {"# 8\n# 3\n# 3\n0 0 0\n1 0 0\n0 1 0\n# 2000000000\n0 1 2\n", "Truncated or malformed triangle data"},
        {"# 8\n# 3\n# 3\n0 0 0\n1 0 0\n0 1 0\n# -4\n", "Invalid number of triangles"},
        {"# 8\n# 3\n# 3\n0 0 0\n1 0 0\n0 1 0\n# 1\n0 1 2\n# 7\n", "Invalid normals flag"},
        {"# 8\n# 3\n# 3\n0 0 0\n1 0 0\n0 1 0\n# 1\n0 1 2\n# 1\n0 0 1\n", "Truncated or malformed normal data"},
        {"# 6\n# 3\n# 1\n0 0 0\n", "Shape type mismatch"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        TriMesh<double> mesh(3, 2);
        EXPECT_PLEXAN_THROW(mesh.read(in), FileFormatError, where, c.what);
        EXPECT_EQ(mesh.getNumVertices(), 2) << "a failed read leaves the mesh as it was";
    }
    // The normals part may be left out.
    std::istringstream in("# 8\n# 3\n# 3\n0 0 0\n1 0 0\n0 1 0\n# 1\n0 1 2\n");
    TriMesh<double> mesh;
    mesh.read(in);
    EXPECT_EQ(mesh.getNumTriangles(), 1);
    EXPECT_FALSE(mesh.hasNormals());
}

} // namespace
