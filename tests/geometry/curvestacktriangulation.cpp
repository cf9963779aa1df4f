#include "geometry/curvestacktriangulation.h"

#include "meshfixtures.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Point = std::array<double, 3>;
using Level = std::vector<Point>;
constexpr double pi = std::numbers::pi;

// A stack built level by level, each level on a pool of its own.
template <typename T>
CurveStack<T> makeStack(const std::vector<Level>& levels, bool open = false)
{
    CurveStack<T> stack(3, 0, 0, 0, 0, open);
    for (const Level& level : levels) {
        Curve<T> curve(3, 0, 0, 0, open);
        for (const Point& p : level)
            curve.append(Vector<T>{static_cast<T>(p[0]), static_cast<T>(p[1]), static_cast<T>(p[2])});
        stack.append(curve);
    }
    return stack;
}

// A regular polygon around (cx, cy) at height z, counter-clockwise, its first
// vertex at angle phase.
Level polygon(int n, double radius, double z, double phase = 0, double cx = 0, double cy = 0)
{
    Level level;
    for (int t = 0; t < n; ++t) {
        const double a = phase + 2 * pi * t / n;
        level.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a), z});
    }
    return level;
}

// Star-shaped counter-clockwise contours of random sizes (3 to maxSize
// vertices) and radii, on levels of random spacing, drifting sideways.
std::vector<Level> randomLevels(std::mt19937& rng, int height, int maxSize)
{
    std::uniform_int_distribution<int> size(3, maxSize);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<Level> levels;
    double z = 0;
    double cx = 0, cy = 0;
    for (int k = 0; k < height; ++k) {
        const int n = size(rng);
        std::vector<double> angles(static_cast<std::size_t>(n));
        for (double& a : angles)
            a = 2 * pi * u(rng);
        std::sort(angles.begin(), angles.end());
        // Rotate the list so that the contour starts anywhere.
        std::rotate(angles.begin(), angles.begin() + static_cast<long>(u(rng) * n), angles.end());
        Level level;
        for (double a : angles) {
            const double r = 5 * (1 + 0.4 * u(rng));
            level.push_back({cx + r * std::cos(a), cy + r * std::sin(a), z});
        }
        levels.push_back(level);
        z += 0.5 + 2 * u(rng);
        cx += u(rng) - 0.5;
        cy += u(rng) - 0.5;
    }
    return levels;
}

// The level of every global vertex number, and the first number of every
// level (and one past the last).
struct Numbering {
    std::vector<int> level, first{0};
    explicit Numbering(const std::vector<Level>& levels)
    {
        for (std::size_t k = 0; k < levels.size(); ++k) {
            level.insert(level.end(), levels[k].size(), static_cast<int>(k));
            first.push_back(static_cast<int>(level.size()));
        }
    }
};

// Checks the structure of every band: each triangle has two vertices
// adjacent on one contour of its band and one vertex on the other; each
// contour edge is used by exactly one triangle of each band it borders, in
// one direction on the lower contour and the other on the upper one
// (lowerForward tells which); and the edges between the two contours are
// used as often in each direction, except the two end edges of an open
// band. Returns the triangle count of every band.
template <typename T>
std::vector<int> checkBands(const TriMesh<T>& mesh, const std::vector<Level>& levels, bool open, bool lowerForward)
{
    const Numbering numbering(levels);
    const int bands = static_cast<int>(levels.size()) - 1;
    std::vector<int> counts(static_cast<std::size_t>(std::max(bands, 0)), 0);
    // Directed edges per band: (from, to) -> uses.
    std::vector<std::map<std::pair<unsigned, unsigned>, int>> edges(counts.size());
    for (int t = 0; t < mesh.getNumTriangles(); ++t) {
        const auto& tri = mesh.triangleIndexes(static_cast<unsigned>(t));
        int lo = numbering.level[tri[0]], hi = lo;
        for (unsigned v : tri) {
            lo = std::min(lo, numbering.level[v]);
            hi = std::max(hi, numbering.level[v]);
        }
        EXPECT_EQ(hi, lo + 1) << "triangle " << t << " does not span one band";
        if (hi != lo + 1)
            continue;
        ++counts[static_cast<std::size_t>(lo)];
        for (int e = 0; e < 3; ++e)
            ++edges[static_cast<std::size_t>(lo)][{tri[e], tri[(e + 1) % 3]}];
    }
    for (int b = 0; b < bands; ++b) {
        auto& used = edges[static_cast<std::size_t>(b)];
        auto uses = [&](unsigned from, unsigned to) { return used.count({from, to}) ? used[{from, to}] : 0; };
        for (int k : {b, b + 1}) {
            const int offset = numbering.first[k], n = numbering.first[k + 1] - offset;
            for (int p = 0; p < (open ? n - 1 : n); ++p) {
                unsigned from = unsigned(offset + p), to = unsigned(offset + (p + 1) % n);
                if ((k == b) != lowerForward)
                    std::swap(from, to);
                EXPECT_EQ(uses(from, to), 1) << "band " << b << " level " << k << " edge " << p;
                EXPECT_EQ(uses(to, from), 0) << "band " << b << " level " << k << " edge " << p << " reversed";
                used.erase({from, to});
            }
        }
        // What is left are the edges between the contours, each used as
        // often in one direction as in the other (a tiling that sweeps one
        // whole contour first passes the starting pair twice), but for the
        // two ends of an open band.
        int unpaired = 0;
        for (const auto& [edge, count] : used) {
            EXPECT_NE(numbering.level[edge.first], numbering.level[edge.second])
                << "band " << b << ": contour edge " << edge.first << "-" << edge.second << " not on the outline";
            const auto it = used.find({edge.second, edge.first});
            unpaired += count != (it == used.end() ? 0 : it->second);
        }
        EXPECT_EQ(unpaired, open ? 2 : 0) << "band " << b;
    }
    return counts;
}

template <typename T>
class TriangulationTyped : public ::testing::Test {};
using TriangulationTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(TriangulationTyped, TriangulationTypes);

// Counts, band structure and winding of every method on random stacks; the
// mesh's vertices are the stack's, in stack order. One triangulation object
// serves all stacks in turn.
TYPED_TEST(TriangulationTyped, EveryBandIsTiledExactlyOnce)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    CurveStackTriangulation<T> triangulation;
    for (int trial = 0; trial < 12; ++trial) {
        const int height = 2 + trial % 5;
        const std::vector<Level> levels = randomLevels(rng, height, trial < 6 ? 9 : 40);
        for (bool open : {false, true}) {
            const CurveStack<T> stack = makeStack<T>(levels, open);
            for (int method = 1; method <= 4; ++method) {
                SCOPED_TRACE(::testing::Message() << "trial " << trial << " method " << method
                                                  << (open ? " open" : " closed"));
                triangulation.setMethod(method);
                triangulation.apply(stack);
                const TriMesh<T>& mesh = triangulation.getTriMesh();
                ASSERT_EQ(mesh.toVector(), stack.toVector());
                // Methods 1 to 3 and the open rule run the lower contour
                // forwards; the minimal-area tiling winds the other way.
                const std::vector<int> counts = checkBands(mesh, levels, open, open || method != 4);
                for (int b = 0; b + 1 < height; ++b)
                    EXPECT_EQ(counts[static_cast<std::size_t>(b)],
                              static_cast<int>(levels[b].size() + levels[b + 1].size()) - (open ? 2 : 0));
            }
        }
    }
}

// All tilings made by the marches are monotone tilings from the closest pair,
// among which the minimal-area one is the least: on small contours it equals
// the least area found by enumerating every such tiling, and on any stack no
// march beats it.
std::pair<int, int> closestPair(const Level& a, const Level& b)
{
    std::pair<int, int> best{0, 0};
    double d = INFINITY;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j)
            if (const Point e = fixtures::minus(a[i], b[j]); fixtures::dot(e, e) < d) {
                d = fixtures::dot(e, e);
                best = {static_cast<int>(i), static_cast<int>(j)};
            }
    return best;
}

double area(const Point& p, const Point& q, const Point& r)
{
    const Point n = fixtures::cross(fixtures::minus(q, p), fixtures::minus(r, p));
    return std::sqrt(fixtures::dot(n, n)) / 2;
}

// Every path of n steps along B and m along A, by recursion.
double leastTiling(const Level& a, const Level& b, int a0, int b0)
{
    const int m = static_cast<int>(a.size());
    const int n = static_cast<int>(b.size());
    auto A = [&](int t) { return a[static_cast<std::size_t>((t + a0) % m)]; };
    auto B = [&](int t) { return b[static_cast<std::size_t>((t + b0) % n)]; };
    double best = INFINITY;
    std::function<void(int, int, double)> walk = [&](int i, int j, double sum) {
        if (i == m && j == n) {
            best = std::min(best, sum);
            return;
        }
        if (i < m)
            walk(i + 1, j, sum + area(A(i), A(i + 1), B(j)));
        if (j < n)
            walk(i, j + 1, sum + area(B(j), B(j + 1), A(i)));
    };
    walk(0, 0, 0);
    return best;
}

TEST(CurveStackTriangulation, MinimalAreaIsTheLeastOverAllTilings)
{
    std::mt19937 rng(3);
    for (int trial = 0; trial < 40; ++trial) {
        const std::vector<Level> levels = randomLevels(rng, 2, 7);
        const auto [a0, b0] = closestPair(levels[0], levels[1]);
        const double least = leastTiling(levels[0], levels[1], a0, b0);
        const CurveStackTriangulation<double> optimal(makeStack<double>(levels), 4);
        EXPECT_NEAR(optimal.getTriMesh().area(), least, 1e-9 * least) << "trial " << trial;
    }
}

TYPED_TEST(TriangulationTyped, NoMarchHasLessAreaThanTheMinimalTiling)
{
    using T = TypeParam;
    std::mt19937 rng(17);
    const double tolerance = std::is_same_v<T, float> ? 1e-5 : 1e-12;
    for (int trial = 0; trial < 10; ++trial) {
        const CurveStack<T> stack = makeStack<T>(randomLevels(rng, 4, 60));
        const double least = double(CurveStackTriangulation<T>(stack, 4).getTriMesh().area());
        for (int method = 1; method <= 3; ++method)
            EXPECT_GE(double(CurveStackTriangulation<T>(stack, method).getTriMesh().area()), least * (1 - tolerance))
                << "trial " << trial << " method " << method;
    }
}

// The minimal tiling reads the vertices of a stack kept on one pool in stack
// order (as a stack read from its file is) exactly as those of a stack built
// level by level.
TEST(CurveStackTriangulation, MinimalTilingOfAStackOnOnePool)
{
    std::mt19937 rng(5);
    const CurveStack<double> built = makeStack<double>(randomLevels(rng, 5, 20));
    std::stringstream text;
    built.write(text);
    CurveStack<double> read;
    read.read(text);
    ASSERT_EQ(read.getHeight(), 5);
    const CurveStackTriangulation<double> fromBuilt(built, 4);
    const CurveStackTriangulation<double> fromRead(read, 4);
    const TriMesh<double>& a = fromBuilt.getTriMesh();
    const TriMesh<double>& b = fromRead.getTriMesh();
    ASSERT_EQ(a.getNumTriangles(), b.getNumTriangles());
    for (int t = 0; t < a.getNumTriangles(); ++t)
        EXPECT_EQ(a.triangleIndexes(unsigned(t)), b.triangleIndexes(unsigned(t)));
}

// Which contour each triangle of a two-level mesh advanced: 'B' when two of
// its vertices are on the upper contour (of `lower` vertices below it).
std::string steps(const TriMesh<double>& mesh, unsigned lower)
{
    std::string s;
    for (int t = 0; t < mesh.getNumTriangles(); ++t) {
        int onUpper = 0;
        for (unsigned v : mesh.triangleIndexes(unsigned(t)))
            onUpper += v >= lower;
        s += onUpper == 2 ? 'B' : 'A';
    }
    return s;
}

// Two identical squares one above the other.
TEST(CurveStackTriangulation, StackedSquares)
{
    const std::vector<Level> levels = {polygon(4, 1, 0, pi / 4), polygon(4, 1, 3, pi / 4)};
    // The shortest-diagonal march alternates between the contours: the
    // upper first (a tie), then the lower, and so on.
    EXPECT_EQ(steps(CurveStackTriangulation<double>(makeStack<double>(levels), 1).getTriMesh(), 4).substr(0, 6),
              "BABABA");
    // The minimal tiling is listed from the end of the band: its first
    // triangle joins the two vertices of the closest pair (positions 0).
    const CurveStackTriangulation<double> optimal(makeStack<double>(levels), 4);
    // By symmetry the two ways into the last cell cost the same: the tie
    // goes to the upper contour, whose last vertex closes the first
    // triangle.
    EXPECT_EQ(optimal.getTriMesh().triangleIndexes(0), (std::array<unsigned, 3>{4, 0, 7}));
}

// One step where the rules part: at the closest pair A0-B0, advancing the
// lower contour gives the acute triangle A0 B0 A1 (squared sides 1.25,
// 1.25, 1) and the short new edge B0-A1, advancing the upper one the
// obtuse A0 B0 B1 (1.25, 6.25, 10). The shortest diagonal takes A1; the
// acute-triangle rule, with one acute candidate, scores the other one just
// below it and takes B1.
TEST(CurveStackTriangulation, FirstStepOfShortestDiagonalAndAcuteRules)
{
    const std::vector<Level> levels = {{{0, 0, 0}, {1, 0, 0}, {0.5, -1, 0}}, {{0.5, 0, 1}, {3, 0, 1}, {1, -2, 1}}};
    const CurveStackTriangulation<double> shortest(makeStack<double>(levels), 1);
    const CurveStackTriangulation<double> acute(makeStack<double>(levels), 3);
    EXPECT_EQ(shortest.getTriMesh().triangleIndexes(0), (std::array<unsigned, 3>{3, 0, 1}));
    EXPECT_EQ(acute.getTriMesh().triangleIndexes(0), (std::array<unsigned, 3>{3, 0, 4}));
}

// Two identical polylines: each step of the open march is a tie between the
// two diagonals until it is not, so the upper one leads and they alternate.
TEST(CurveStackTriangulation, OpenMarchOverIdenticalPolylines)
{
    const Level line = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
    Level above = line;
    for (Point& p : above)
        p[2] = 2;
    const CurveStackTriangulation<double> open(makeStack<double>({line, above}, true), 1);
    const TriMesh<double>& mesh = open.getTriMesh();
    ASSERT_EQ(mesh.getNumTriangles(), 6);
    EXPECT_DOUBLE_EQ(mesh.area(), 3 * 2);
    for (int t = 0; t < 6; ++t) {
        const unsigned j = unsigned(t / 2), i = unsigned((t + 1) / 2);
        const std::array<unsigned, 3> expected =
            t % 2 == 0 ? std::array<unsigned, 3>{4 + j, i, 5 + j} : std::array<unsigned, 3>{4 + j + 1, i - 1, i};
        EXPECT_EQ(mesh.triangleIndexes(unsigned(t)), expected) << "triangle " << t;
    }
}

int triangles(const std::vector<Level>& levels, int method, bool open = false)
{
    return CurveStackTriangulation<double>(makeStack<double>(levels, open), method).getTriMesh().getNumTriangles();
}

// The worked counts, fewer than two levels, and bands outside what the
// methods are meant for, which still end with their count: contours of one
// or two vertices, a contour running the other way round; a band with an
// empty contour gets none.
TEST(CurveStackTriangulation, CountsOfSmallAndDegenerateStacks)
{
    const std::vector<Level> triangleOctagon = {polygon(3, 2, 0, 0.3), polygon(8, 3, 1, 1.0)};
    const std::vector<Level> octagonTriangle = {polygon(8, 3, 0, 1.0), polygon(3, 2, 1, 0.3)};
    const std::vector<Level> three = {polygon(10, 4, 0), polygon(12, 5, 1, 0.2), polygon(10, 4, 2.5, 0.1)};
    Level reversed = polygon(7, 3, 3, 0.5);
    std::reverse(reversed.begin(), reversed.end());
    const std::vector<Level> odd = {{{0, 0, 0}}, {{0, 0, 1}, {1, 0, 1}}, polygon(5, 2, 2), reversed, {{0, 1, 4}}};
    const std::vector<Level> gap = {polygon(5, 2, 0), {}, polygon(6, 2, 2), polygon(4, 2, 3)};
    const CurveStack<double> one = makeStack<double>({polygon(5, 1, 0)});
    EXPECT_FALSE(CurveStackTriangulation<double>::check(one));
    for (int method = 1; method <= 4; ++method) {
        SCOPED_TRACE(::testing::Message() << "method " << method);
        EXPECT_EQ(triangles(triangleOctagon, method), 11);
        EXPECT_EQ(triangles(octagonTriangle, method), 11);
        EXPECT_EQ(triangles(three, method), 44);
        EXPECT_EQ(triangles(three, method, true), 40);
        EXPECT_EQ(triangles(odd, method), 3 + 7 + 12 + 8);
        EXPECT_EQ(triangles(odd, method, true), 1 + 5 + 10 + 6);
        EXPECT_EQ(triangles(gap, method), 10);
        EXPECT_EQ(CurveStackTriangulation<double>(one, method).getTriMesh().getNumVertices(), 0);
        EXPECT_EQ(CurveStackTriangulation<double>(CurveStack<double>(), method).getTriMesh().getNumVertices(), 0);
    }
}

TEST(CurveStackTriangulation, UnknownMethodKeepsTheVerticesOnly)
{
    const CurveStack<double> stack = makeStack<double>({polygon(5, 1, 0), polygon(6, 1, 1)});
    ::testing::internal::CaptureStderr();
    const CurveStackTriangulation<double> triangulation(stack, 7);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "no such method\n");
    EXPECT_EQ(triangulation.getTriMesh().getNumVertices(), 11);
    EXPECT_EQ(triangulation.getTriMesh().getNumTriangles(), 0);

    // Open stacks have one rule whatever the number.
    ::testing::internal::CaptureStderr();
    const CurveStackTriangulation<double> open(makeStack<double>({polygon(5, 1, 0), polygon(6, 1, 1)}, true), 7);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(open.getTriMesh().getNumTriangles(), 9);
}

// Arc-length sweeping keeps the normalised positions of the contours level.
// Two concentric circles of 24 vertices, one twice the other: the positions
// stay equal, so the march advances the lower and the upper contour in turn.
// A circle of 24 under one of 12 at every other angle: the lower advances
// once, then the march repeats upper, lower, lower, and both reach their
// last vertex together. (The last two triangles close the band.)
TEST(CurveStackTriangulation, ArcLengthSweepKeepsContoursInStep)
{
    const Level inner = polygon(24, 1, 0, 0.1);
    Level outer;
    for (const Point& p : inner)
        outer.push_back({2 * p[0], 2 * p[1], 1});
    std::string alternate;
    for (int t = 0; t < 23; ++t)
        alternate += "AB";
    EXPECT_EQ(steps(CurveStackTriangulation<double>(makeStack<double>({inner, outer}), 2).getTriMesh(), 24).substr(0, 46),
              alternate);
    std::string inStep = "A";
    for (int t = 0; t < 11; ++t)
        inStep += "BAA";
    EXPECT_EQ(steps(CurveStackTriangulation<double>(makeStack<double>({polygon(24, 1, 0), polygon(12, 2, 1)}), 2)
                        .getTriMesh(),
                    24)
                  .substr(0, 34),
              inStep);
}

// On a prism of regular polygons every triangle is half of a lateral
// rectangle, so any tiling has the prism's lateral area; the vertex normals
// are unit vectors in the horizontal plane, pointing outwards for the
// marches and inwards for the minimal tiling, within the angle between two
// faces.
TYPED_TEST(TriangulationTyped, PrismAreaAndNormals)
{
    using T = TypeParam;
    const int n = 16;
    const double radius = 3, step = 2;
    std::vector<Level> levels;
    for (int k = 0; k < 4; ++k)
        levels.push_back(polygon(n, radius, k * step, 0.25));
    const double lateral = 3 * step * n * 2 * radius * std::sin(pi / n);
    const double tolerance = std::is_same_v<T, float> ? 1e-4 : 1e-10;
    for (int method = 1; method <= 4; ++method) {
        const CurveStackTriangulation<T> triangulation(makeStack<T>(levels), method);
        const TriMesh<T>& mesh = triangulation.getTriMesh();
        EXPECT_NEAR(double(mesh.area()), lateral, tolerance * lateral) << "method " << method;
        ASSERT_TRUE(mesh.hasNormals());
        const double sign = method == 4 ? -1 : 1;
        for (int v = 0; v < mesh.getNumVertices(); ++v) {
            const Vector<T>& normal = mesh.getNormal(v);
            const double x = double(mesh.vertex(v)[0]) / radius, y = double(mesh.vertex(v)[1]) / radius;
            EXPECT_NEAR(std::hypot(double(normal[0]), double(normal[1]), double(normal[2])), 1, 1e-5);
            EXPECT_NEAR(double(normal[2]), 0, 1e-5);
            EXPECT_GT(sign * (double(normal[0]) * x + double(normal[1]) * y), std::cos(pi / n) - 1e-5)
                << "method " << method << " vertex " << v;
        }
    }
}

} // namespace

namespace {

// The sections of an ellipsoid of semi-axes (a, b, c) at the given heights
// from its centre, traced as pixel outlines (vertices rounded to whole
// units), each with 40 to 59 vertices, starting anywhere and drawn either
// way round; the sections drift sideways by up to drift units.
std::vector<Level> tracedSections(std::mt19937& rng, double a, double b, double c, const std::vector<double>& heights,
                                  double drift = 3)
{
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<Level> levels;
    for (double z : heights) {
        const double s = std::sqrt(1 - z * z / (c * c));
        const int n = 40 + static_cast<int>(20 * u(rng));
        const double cx = std::round(drift * (2 * u(rng) - 1)), cy = std::round(drift * (2 * u(rng) - 1));
        Level level;
        for (int t = 0; t < n; ++t) {
            const double phi = 2 * pi * t / n;
            level.push_back({cx + std::round(a * s * std::cos(phi)), cy + std::round(b * s * std::sin(phi)), z});
        }
        level.erase(std::unique(level.begin(), level.end()), level.end());
        std::rotate(level.begin(), level.begin() + static_cast<long>(u(rng) * static_cast<double>(level.size())),
                    level.end());
        if (u(rng) < 0.5)
            std::reverse(level.begin(), level.end());
        levels.push_back(level);
    }
    return levels;
}

double surfaceArea(CurveStack<double> stack, bool matched)
{
    CurveStackTriangulation<double> triangulation(2);
    if (matched) {
        stack.matchStarts();
        triangulation.setFromStarts(true);
    }
    triangulation.apply(stack);
    return triangulation.getTriMesh().area();
}

// The first coordinate-wise angle of a point about a level's centre.
double polarAngle(const Curve<double>& level, int t)
{
    double cx = 0, cy = 0;
    for (int i = 0; i < level.getNumVertices(); ++i) {
        cx += level.vertex(i)[0] / level.getNumVertices();
        cy += level.vertex(i)[1] / level.getNumVertices();
    }
    return std::atan2(level.vertex(t)[1] - cy, level.vertex(t)[0] - cx);
}

} // namespace

// Matched starts turn every level the first level's way round and start it
// where the level below starts: on similar sections, at the same polar
// angle to within a vertex step; the first level at its rightmost vertex.
TEST(CurveStackTriangulation, MatchedStartsFollowTheShapeNotTheTracing)
{
    std::mt19937 rng(11);
    const std::vector<double> heights{-20, -16, -12, -8, -4, 0, 4, 8, 12, 16, 20};
    CurveStack<double> stack = makeStack<double>(tracedSections(rng, 30, 18, 26, heights));
    const bool clockwise = stack.level(0).isClockwise();
    stack.matchStarts();
    const Curve<double>& first = stack.level(0);
    for (int t = 1; t < first.getNumVertices(); ++t)
        EXPECT_LE(first.vertex(t)[0], first.vertex(0)[0]);
    for (int k = 0; k < stack.getHeight(); ++k) {
        EXPECT_EQ(stack.level(k).isClockwise(), clockwise) << k;
        const double step = 2 * pi / stack.level(k).getNumVertices();
        double turn = polarAngle(stack.level(k), 0) - polarAngle(first, 0);
        turn = std::remainder(turn, 2 * pi);
        EXPECT_LT(std::fabs(turn), 2 * step) << k;
    }
}

// The area of the skin through traced sections follows the shape alone:
// it stays within 0.1 % whatever the outlines' starts and directions, and
// within 1.5 % of the ellipsoid's side surface (midpoint rule).
TEST(CurveStackTriangulation, MatchedStartsMakeTheAreaIndependentOfTheTracing)
{
    const double a = 30, b = 18, c = 26;
    const std::vector<double> heights{-20, -16, -12, -8, -4, 0, 4, 8, 12, 16, 20};
    double side = 0;
    const int n = 400;
    for (int i = 0; i < n; ++i) {
        const double z = -20 + (i + 0.5) * 40.0 / n;
        const double s = std::sqrt(1 - z * z / (c * c)), ds = -z / (c * c * s);
        for (int j = 0; j < n; ++j) {
            const double phi = (j + 0.5) * 2 * pi / n;
            side += s * std::sqrt(b * b * std::pow(std::cos(phi), 2) + a * a * std::pow(std::sin(phi), 2) +
                                  a * a * b * b * ds * ds);
        }
    }
    side *= 40.0 / n * 2 * pi / n;

    std::mt19937 rng(5);
    const std::vector<Level> levels = tracedSections(rng, a, b, c, heights, 0);
    const double matched = surfaceArea(makeStack<double>(levels), true);
    EXPECT_NEAR(matched, side, 0.015 * side);
    std::uniform_real_distribution<double> u(0, 1);
    for (int trial = 0; trial < 6; ++trial) {
        std::vector<Level> redrawn = levels;
        for (Level& level : redrawn) {
            std::rotate(level.begin(), level.begin() + static_cast<long>(u(rng) * static_cast<double>(level.size())),
                        level.end());
            if (u(rng) < 0.5)
                std::reverse(level.begin(), level.end());
        }
        EXPECT_NEAR(surfaceArea(makeStack<double>(redrawn), true), matched, 1e-3 * matched) << trial;
    }
}
