// Curves: orientation and measures, point-in-polygon and segment
// intersections against independent implementations (winding numbers and
// exact rational arithmetic) on random polygons, edges and their iterator,
// splitting and joining.

#include "geometry/curve.h"

#include "geometry/edge.h"
#include "meshfixtures.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

template <typename T>
class CurveTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(CurveTest, CoordinateTypes);

using fixtures::polygon;

template <typename T>
Curve<T> randomPolygon(std::mt19937& rng, int n, int range)
{
    return fixtures::randomPolygon<T>(rng, n, 0, range);
}

TYPED_TEST(CurveTest, AreaOrientationAndLength)
{
    using T = TypeParam;
    Curve<T> square = polygon<T>({{0, 0}, {3, 0}, {3, 3}, {0, 3}});
    EXPECT_EQ(square.twiceArea(0, 1), T(18));
    EXPECT_FALSE(square.isClockwise());
    square.setClockwise(true, 0, 1);
    EXPECT_EQ(square.twiceArea(0, 1), T(-18));
    EXPECT_EQ(square[1], (Vector<T>{3, 3}));
    const std::vector<int> reversed = square.getIndexes();
    square.setClockwise(true, 0, 1);
    EXPECT_EQ(square.getIndexes(), reversed);
    EXPECT_EQ(square.twiceArea(1, 0), T(18)); // swapped axes mirror the plane
    EXPECT_EQ(square.length(), T(12));

    Curve<T> open(square);
    open.setOpen(true);
    EXPECT_EQ(open.twiceArea(), T(0));
    EXPECT_EQ(open.length(), T(9));
    EXPECT_EQ(polygon<T>({{0, 0}, {5, 5}}).twiceArea(), T(0));

    // The signature: squared distances to the centre of gravity.
    EXPECT_EQ(polygon<T>({{0, 0}, {4, 0}, {4, 4}, {0, 4}}).signature(), (Vector<T>{8, 8, 8, 8}));

    // Shoelace against a triangle fan from the origin on random polygons.
    std::mt19937 rng(3);
    for (int round = 0; round < 50; ++round) {
        const Curve<T> c = randomPolygon<T>(rng, 3 + round % 9, 40);
        double fan = 0;
        for (int k = 0, n = c.getNumVertices(); k < n; ++k)
            fan += double(c[k][0]) * double(c[(k + 1) % n][1]) - double(c[(k + 1) % n][0]) * double(c[k][1]);
        EXPECT_EQ(double(c.twiceArea()), fan);
    }
}

// Winding number by summed angles, an implementation independent of the
// crossing rule.
double windingNumber(const std::vector<std::pair<double, double>>& polygon, double x, double y)
{
    double total = 0;
    for (std::size_t k = 0; k < polygon.size(); ++k) {
        const auto [ax, ay] = polygon[k];
        const auto [bx, by] = polygon[(k + 1) % polygon.size()];
        total += std::atan2((ax - x) * (by - y) - (ay - y) * (bx - x), (ax - x) * (bx - x) + (ay - y) * (by - y));
    }
    return total / (2 * M_PI);
}

TYPED_TEST(CurveTest, ContainmentAgreesWithWindingNumbers)
{
    // Random integer polygons (self-intersecting too) and every lattice point
    // around them, on vertices and edges included. Inside means an odd
    // winding number; a point on an edge is decided as the point moved an
    // infinitesimal step left and a smaller one up (crossings count at or
    // right of the point, edges straddle with one end strictly above), and a
    // vertex is inside.
    using T = TypeParam;
    std::mt19937 rng(7);
    for (int round = 0; round < 60; ++round) {
        const int n = 3 + round % 10;
        const Curve<T> c = randomPolygon<T>(rng, n, 12);
        std::vector<std::pair<double, double>> vertices;
        for (int k = 0; k < n; ++k)
            vertices.emplace_back(double(c[k][0]), double(c[k][1]));
        for (int x = -1; x <= 13; ++x)
            for (int y = -1; y <= 13; ++y) {
                bool expected = false;
                for (const auto& [vx, vy] : vertices)
                    expected = expected || (vx == x && vy == y);
                if (!expected) {
                    const long w = std::lround(windingNumber(vertices, x - 1e-3, y + 1e-6));
                    expected = w % 2 != 0;
                }
                const Vector<T> p{static_cast<T>(x), static_cast<T>(y)};
                ASSERT_EQ(c.contains(p), expected) << "round " << round << " at " << x << ", " << y;
            }
        Curve<T> open(c);
        open.setOpen(true);
        EXPECT_FALSE(open.contains(c[0]));
    }
}

TYPED_TEST(CurveTest, ContainmentInOtherPlanes)
{
    using T = TypeParam;
    // A square in the (x, z) plane of 3-D space.
    Curve<T> c(3, 4);
    const int corners[4][2] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    for (int k = 0; k < 4; ++k)
        c[k] = Vector<T>{static_cast<T>(corners[k][0]), T(7), static_cast<T>(corners[k][1])};
    EXPECT_TRUE(c.contains(Vector<T>{2, -100, 1}, 0, 2));
    EXPECT_FALSE(c.contains(Vector<T>{5, 7, 1}, 0, 2));

    // One outline inside another, and one that crosses it.
    const Curve<T> outer = polygon<T>({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    const Curve<T> inner = polygon<T>({{2, 2}, {5, 2}, {3, 6}});
    const Curve<T> crossing = polygon<T>({{2, 2}, {15, 2}, {3, 6}});
    EXPECT_TRUE(outer.contains(inner));
    EXPECT_FALSE(inner.contains(outer));
    EXPECT_FALSE(outer.contains(crossing));
    EXPECT_TRUE(outer.intersects(crossing));
    EXPECT_FALSE(outer.intersects(inner));
}

// Exact segment intersection on integers through rational parameters: the
// closed segments ab and cd meet when a + s (b - a) = c + t (d - c) for some
// s, t in [0, 1]; collinear segments when their projections overlap.
bool segmentsMeet(const long long* a, const long long* b, const long long* c, const long long* d)
{
    const long long rx = b[0] - a[0], ry = b[1] - a[1], sx = d[0] - c[0], sy = d[1] - c[1];
    const long long qx = c[0] - a[0], qy = c[1] - a[1];
    const long long den = rx * sy - ry * sx;
    const long long sNum = qx * sy - qy * sx;
    const long long tNum = qx * ry - qy * rx;
    if (den != 0) {
        auto within = [den](long long num) { return den > 0 ? num >= 0 && num <= den : num <= 0 && num >= den; };
        return within(sNum) && within(tNum);
    }
    if (sNum != 0 || tNum != 0)
        return false; // parallel, apart
    // Collinear (or degenerate): compare positions along the common line.
    auto key = [&](const long long* p) {
        const bool useX = rx != 0 || sx != 0 || (ry == 0 && sy == 0);
        return useX ? p[0] : p[1];
    };
    if (rx == 0 && ry == 0 && sx == 0 && sy == 0)
        return a[0] == c[0] && a[1] == c[1];
    const long long lo1 = std::min(key(a), key(b)), hi1 = std::max(key(a), key(b));
    const long long lo2 = std::min(key(c), key(d)), hi2 = std::max(key(c), key(d));
    return std::max(lo1, lo2) <= std::min(hi1, hi2);
}

TYPED_TEST(CurveTest, IntersectionsAgreeWithExactArithmetic)
{
    using T = TypeParam;
    std::mt19937 rng(9);
    for (int round = 0; round < 80; ++round) {
        const Curve<T> a = randomPolygon<T>(rng, 3 + round % 6, 8); // a small grid: many touches and overlaps
        const Curve<T> b = randomPolygon<T>(rng, 3 + round % 5, 8);
        auto edge = [](const Curve<T>& c, int k, int end) {
            const Vector<T>& v = c[(k + end) % c.getNumVertices()];
            return std::array<long long, 2>{static_cast<long long>(v[0]), static_cast<long long>(v[1])};
        };
        std::vector<int> expected;
        for (int p = 0; p < a.getNumVertices(); ++p)
            for (int q = 0; q < b.getNumVertices(); ++q)
                if (segmentsMeet(edge(a, p, 0).data(), edge(a, p, 1).data(), edge(b, q, 0).data(),
                                 edge(b, q, 1).data()))
                    expected.push_back(p);
        const Vector<int> found = a.intersectionIndexes(b);
        ASSERT_EQ(found.getSize(), static_cast<int>(expected.size())) << "round " << round;
        for (int k = 0; k < found.getSize(); ++k)
            EXPECT_EQ(found[k], expected[static_cast<std::size_t>(k)]);
        EXPECT_EQ(a.intersects(b), !expected.empty());

        bool self = false;
        const int n = a.getNumVertices();
        for (int p = 0; p < n; ++p)
            for (int q = p + 2; q < n; ++q)
                if (!(p == 0 && q == n - 1) && segmentsMeet(edge(a, p, 0).data(), edge(a, p, 1).data(),
                                                            edge(a, q, 0).data(), edge(a, q, 1).data()))
                    self = true;
        EXPECT_EQ(a.selfIntersects(), self) << "round " << round;
    }
}

TYPED_TEST(CurveTest, EdgeIntersectionPoints)
{
    using T = TypeParam;
    Vertices<T> v(2, 0);
    for (auto [x, y] : {std::pair{0, 0}, {4, 4}, {0, 4}, {4, 0}, {2, 2}, {6, 6}, {8, 8}})
        v.append(Vector<T>{static_cast<T>(x), static_cast<T>(y)});
    const Edge<T> diagonal(v, 0, 1), antidiagonal(v, 2, 3), onward(v, 4, 5), far(v, 5, 6);
    Vector<T> point;
    EXPECT_TRUE(diagonal.projectionIntersects(antidiagonal, 0, 1, &point));
    EXPECT_EQ(point, (Vector<T>{2, 2}));
    EXPECT_TRUE(diagonal.projectionIntersects(onward, 0, 1, &point)); // collinear overlap: this edge's end
    EXPECT_EQ(point, (Vector<T>{4, 4}));
    EXPECT_TRUE(onward.projectionIntersects(diagonal, 0, 1, &point));
    EXPECT_EQ(point, (Vector<T>{2, 2}));
    EXPECT_FALSE(diagonal.projectionIntersects(far, 0, 1));
    EXPECT_TRUE(far.projectionIntersectsLine(diagonal, 0, 1, &point)); // on the line
    EXPECT_EQ(point, (Vector<T>{6, 6}));
    EXPECT_TRUE(antidiagonal.projectionIntersectsLine(far, 0, 1, &point));
    EXPECT_EQ(point, (Vector<T>{2, 2}));

    // Against a plane: crossing, missing, lying in it.
    Edge<T> e(3);
    e[0] = Vector<T>{0, 0, -2};
    e[1] = Vector<T>{4, 8, 6};
    EXPECT_EQ(e.intersects(Vector<T>{0, 0, 1}, T(2), point), 1);
    EXPECT_EQ(point, (Vector<T>{2, 4, 2}));
    EXPECT_EQ(e.intersects(Vector<T>{0, 0, 1}, T(7), point), 0);
    EXPECT_EQ(e.intersects(Vector<T>{1, 0, 0}, T(0), point), 1); // touching at an end
    EXPECT_EQ(point, (Vector<T>{0, 0, -2}));
    e[1][0] = 0;
    EXPECT_EQ(e.intersects(Vector<T>{1, 0, 0}, T(0), point), 2);
    EXPECT_EQ(point, (Vector<T>{0, 0, -2}));
}

TYPED_TEST(CurveTest, EdgeIteratorVisitsLiveEdges)
{
    using T = TypeParam;
    Curve<T> c = polygon<T>({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    Curve<T> open = polygon<T>({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, true);
    auto count = [](const Curve<T>& curve) {
        std::unique_ptr<ConcreteEdgeIterator<T>> it(curve.edgeIterator());
        int n = 0;
        for (; it->current(); (*it)++)
            ++n;
        return n;
    };
    EXPECT_EQ(count(c), 4);
    EXPECT_EQ(count(open), 3);
    EXPECT_EQ(count(polygon<T>({{5, 5}})), 0);

    // The closing edge comes last; the edge views the curve's pool.
    CurveEdgeIterator<T> last(c), openFirst(open), openLast(open);
    for (int k = 0; k < 3; ++k)
        last++;
    openLast++;
    openLast++;
    EXPECT_EQ((*last.current())[0], (Vector<T>{0, 1}));
    EXPECT_TRUE(last.isPrevious(CurveEdgeIterator<T>(c)));
    EXPECT_FALSE(openLast.isPrevious(openFirst));
    (*last.current())[1][0] = 9;
    EXPECT_EQ(c[0][0], T(9));
}

TYPED_TEST(CurveTest, SplitAndJoin)
{
    using T = TypeParam;
    // Two triangles joined through their closest vertices: 3 + 3 + 2
    // vertices, the bridge ends repeated.
    const Curve<T> left = polygon<T>({{0, 0}, {2, 1}, {0, 2}});
    const Curve<T> right = polygon<T>({{5, 1}, {7, 0}, {7, 2}});
    const Curve<T> joined = left.join(right);
    EXPECT_EQ(joined.toVector(),
              polygon<T>({{0, 0}, {2, 1}, {5, 1}, {7, 0}, {7, 2}, {5, 1}, {2, 1}, {0, 2}}).toVector());
    EXPECT_TRUE(joined.isClosed());
    EXPECT_NE(joined.getServer(), left.getServer());

    // A square cut by a vertical bar through edges 0 and 2.
    const Curve<T> square = polygon<T>({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    const Curve<T> bar = polygon<T>({{2, -1}, {3, -1}, {3, 5}, {2, 5}});
    EXPECT_EQ(square.intersectionIndexes(bar), (Vector<int>{0, 0, 2, 2}));
    const std::vector<Curve<T>> pieces = square.split(Vector<int>{0, 2});
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].getNumVertices(), 2); // positions 1 .. 2 removed
    EXPECT_EQ(pieces[0][1], (Vector<T>{0, 4}));
    EXPECT_EQ(pieces[1].getNumVertices(), 4); // positions 0 .. 3
    for (const Curve<T>& piece : pieces)
        EXPECT_EQ(piece.getServer()->getRefs(), 1); // detached copies
    EXPECT_EQ(square.split(bar).size(), 3u);
}

TYPED_TEST(CurveTest, NormalsClosestPointsAndResamplingErrors)
{
    using T = TypeParam;
    if constexpr (std::is_integral_v<T>) {
        EXPECT_THROW(polygon<T>({{0, 0}, {1, 0}}).normals(), TypeError);
        Vector<T> r;
        EXPECT_THROW(polygon<T>({{0, 0}, {1, 0}}).closestPoint(Vector<T>{0, 0}, r), TypeError);
    } else {
        // A counter-clockwise square: normals (-ty, tx) point inwards; an
        // open end's is one-sided, from the tangent (2, 0).
        const Curve<T> square = polygon<T>({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
        const Vertices<T> n = square.normals();
        const double h = std::sqrt(0.5);
        const double expected[4][2] = {{h, h}, {-h, h}, {-h, -h}, {h, -h}};
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(std::hypot(double(n[k][0]) - expected[k][0], double(n[k][1]) - expected[k][1]), 0, 1e-6);
        const Vector<T> end = polygon<T>({{0, 0}, {2, 0}, {2, 2}, {0, 2}}, true).normals()[0];
        EXPECT_NEAR(std::hypot(double(end[0]), double(end[1]) - 1), 0, 1e-6);

        // The nearest point of the outline against the nearest of its edges.
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> uniform(-3, 5);
        const Curve<T> c = polygon<T>({{0, 0}, {3, 1}, {1, 2}, {2, 4}, {-1, 3}});
        for (int round = 0; round < 100; ++round) {
            const Vector<T> p{static_cast<T>(uniform(rng)), static_cast<T>(uniform(rng))};
            Vector<T> r;
            c.closestPoint(p, r);
            double best = 1e30;
            for (int k = 0; k < 5; ++k)
                best = std::min(best, fixtures::segmentDistance(fixtures::point(p), fixtures::point(c[k]),
                                                                fixtures::point(c[(k + 1) % 5])));
            EXPECT_NEAR(std::hypot(double(r[0] - p[0]), double(r[1] - p[1])), best, 1e-5);
        }

        // The square resampled at its corners and midpoints holds every
        // vertex of the square: no deviation. The square of midpoints misses
        // the corners by the half diagonal.
        Curve<T> resampled(2, 8);
        square.resample(resampled);
        Vector<T> errors;
        square.resamplingError(resampled, errors);
        ASSERT_EQ(errors.getSize(), 4);
        EXPECT_NEAR(errors.max(), T(0), 1e-6);
        square.resamplingError(polygon<T>({{1, 0}, {2, 1}, {1, 2}, {0, 1}}), errors);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(errors[k], std::sqrt(T(0.5)), 1e-6);
    }
}

} // namespace
