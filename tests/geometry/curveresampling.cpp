#include "geometry/curveresampling.h"

#include "geometry/curve.h"
#include "meshfixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

template <typename T>
class CurveResamplingTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(CurveResamplingTest, RealTypes);

// The arc length at which point p lies on the outline, found by brute force:
// the edge nearest to p, and the distance walked to p along it.
template <typename T>
double arcPosition(const Curve<T>& c, double x, double y)
{
    const int n = c.getNumVertices();
    const int edges = c.isOpen() ? n - 1 : n;
    double walked = 0, best = 1e300, position = 0;
    for (int e = 0; e < edges; ++e) {
        const double ax = double(c.vertex(e)[0]), ay = double(c.vertex(e)[1]);
        const double bx = double(c.vertex((e + 1) % n)[0]), by = double(c.vertex((e + 1) % n)[1]);
        const double length = std::hypot(bx - ax, by - ay);
        const double t = std::clamp(((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / (length * length), 0.0, 1.0);
        const double d = std::hypot(ax + t * (bx - ax) - x, ay + t * (by - ay) - y);
        if (d < best - 1e-9) {
            best = d;
            position = walked + t * length;
        }
        walked += length;
    }
    EXPECT_LT(best, 1e-3) << "the resampled vertex lies on the outline";
    return position;
}

template <typename T>
double perimeter(const Curve<T>& c)
{
    const int n = c.getNumVertices();
    double total = 0;
    for (int e = 0; e < (c.isOpen() ? n - 1 : n); ++e)
        total += std::hypot(double(c.vertex((e + 1) % n)[0] - c.vertex(e)[0]),
                            double(c.vertex((e + 1) % n)[1] - c.vertex(e)[1]));
    return total;
}

// On random outlines, open and closed, the resampled vertices sit on the
// outline at arc lengths k L / m (closed) or k L / (m - 1) (open).
TYPED_TEST(CurveResamplingTest, VerticesAreEvenlySpacedAlongTheOutline)
{
    using T = TypeParam;
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> u(-10, 10);
    const CurveResampling<T> resampler;
    for (int trial = 0; trial < 12; ++trial) {
        const bool open = trial % 2 == 1;
        const int n = 3 + trial;
        Curve<T> c(2, n, 0, 0, open);
        for (int k = 0; k < n; ++k)
            c[k] = Vector<T>{static_cast<T>(u(rng)), static_cast<T>(u(rng))};
        const double length = perimeter(c);
        for (int m : {2, 5, 17, 64}) {
            Curve<T> out(3, 1); // wrong size and dimension: replaced
            resampler.apply(c, out, m);
            ASSERT_EQ(out.getNumVertices(), m);
            ASSERT_EQ(out.getSpace(), 2);
            EXPECT_EQ(out.isOpen(), open);
            const double step = open ? length / (m - 1) : length / m;
            for (int k = 0; k < m; ++k) {
                const double s = arcPosition(c, double(out.vertex(k)[0]), double(out.vertex(k)[1]));
                // A closed outline's start is also its end.
                const double expected = k * step;
                EXPECT_NEAR(std::min(std::abs(s - expected), std::abs(s + length - expected)), 0.0,
                            1e-3 * length)
                    << "trial " << trial << " m " << m << " k " << k;
            }
            if (open) {
                EXPECT_EQ(out.vertex(m - 1), c.vertex(n - 1));
            }
            EXPECT_EQ(out.vertex(0), c.vertex(0));
        }
    }
}

// Resampling a curve onto itself reads every input vertex first; a pool
// shared with another curve is left to that curve.
TYPED_TEST(CurveResamplingTest, InPlaceAndSharedPools)
{
    using T = TypeParam;
    Curve<T> c = fixtures::polygon<T>({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    const Curve<T> witness(c);
    CurveResampling<T>().apply(c, c, 4);
    EXPECT_EQ(c.vertex(1)[0], T(4));
    EXPECT_EQ(witness.vertex(1)[0], T(4));
    CurveResampling<T>().resamplePolygon(c, c, 8);
    ASSERT_EQ(c.getNumVertices(), 8);
    EXPECT_EQ(c.vertex(1)[0], T(2));
    EXPECT_EQ(witness.getNumVertices(), 4);
    EXPECT_EQ(witness.vertex(1)[0], T(4)) << "the shared pool was not written";
}

TEST(CurveResampling, IntegerCurvesRoundToNearest)
{
    Curve<int> out;
    CurveResampling<int>().apply(fixtures::polygon<int>({{0, 0}, {10, 3}}, true), out, 4);
    EXPECT_EQ(out.toVector(), (Vector<int>{0, 0, 3, 1, 7, 2, 10, 3}));
    // Degenerate inputs do not reach past the outline.
    CurveResampling<int>().apply(fixtures::polygon<int>({{5, 0}}), out, 3);
    EXPECT_EQ(out.toVector(), (Vector<int>{5, 0, 5, 0, 5, 0}));
    CurveResampling<int>().apply(Curve<int>(2, 0), out, 0);
    EXPECT_EQ(out.getNumVertices(), 0);
}

} // namespace
