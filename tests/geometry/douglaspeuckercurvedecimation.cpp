#include "geometry/douglaspeuckercurvedecimation.h"

#include "geometry/curve.h"
#include "meshfixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct P {
    float x, y;
};

// Distance to the infinite line through a and b, in single precision, through
// the foot of the perpendicular.
float lineDistance(P p, P a, P b)
{
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float d2 = dx * dx + dy * dy;
    if (d2 == 0)
        return std::sqrt((p.x - a.x) * (p.x - a.x) + (p.y - a.y) * (p.y - a.y));
    const float t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / d2;
    const float fx = a.x + t * dx - p.x, fy = a.y + t * dy - p.y;
    return std::sqrt(fx * fx + fy * fy);
}

// The textbook recursion.
void reference(const std::vector<P>& p, std::vector<bool>& keep, int first, int last, float tolerance)
{
    if (last - first < 2)
        return;
    int best = first;
    float largest = -1;
    for (int i = first + 1; i < last; ++i) {
        const float d = lineDistance(p[i], p[first], p[last]);
        if (d > largest) {
            largest = d;
            best = i;
        }
    }
    if (largest <= tolerance)
        return;
    keep[best] = true;
    reference(p, keep, first, best, tolerance);
    reference(p, keep, best, last, tolerance);
}

std::vector<P> referenceDecimation(const std::vector<P>& p, bool closed, int tolerance)
{
    const int n = static_cast<int>(p.size());
    std::vector<bool> keep(p.size(), false);
    keep[0] = keep[n - 1] = true;
    reference(p, keep, 0, n - 1, float(tolerance));
    if (closed) {
        keep[n - 1] = lineDistance(p[n - 1], p[0], p[n - 2]) > tolerance;
        if (keep[n - 1])
            keep[0] = lineDistance(p[0], p[1], p[n - 1]) > tolerance;
    }
    std::vector<P> out;
    for (int i = 0; i < n; ++i)
        if (keep[i])
            out.push_back(p[i]);
    return out;
}

template <typename T>
class DouglasPeuckerTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(DouglasPeuckerTest, CoordinateTypes);

TYPED_TEST(DouglasPeuckerTest, AgreesWithRecursiveReference)
{
    using T = TypeParam;
    std::mt19937 rng(29);
    for (int trial = 0; trial < 150; ++trial) {
        const int n = 3 + trial % 60;
        const bool closed = trial % 3 != 0;
        // A noisy walk around a circle, so that every scale of detail occurs.
        std::normal_distribution<double> noise(0, 1 + trial % 5);
        std::vector<P> points;
        Curve<T> c(3, n, 0, 0, !closed);
        for (int k = 0; k < n; ++k) {
            const double t = 6.2831853 * k / n;
            const T x = static_cast<T>(50 * std::cos(t) + noise(rng));
            const T y = static_cast<T>(50 * std::sin(t) + noise(rng));
            c.vertex(k)[0] = x;
            c.vertex(k)[1] = y;
            c.vertex(k)[2] = T(7);
            points.push_back({float(x), float(y)});
        }
        const int tolerance = trial % 7;
        DouglasPeuckerCurveDecimation<T> dp;
        dp.setTolerance(tolerance);
        dp.apply(c);
        const std::vector<P> expected = referenceDecimation(points, closed, tolerance);
        ASSERT_EQ(c.getNumVertices(), static_cast<int>(expected.size())) << "trial " << trial;
        EXPECT_TRUE(c.isClosed());
        EXPECT_EQ(c.getSpace(), 2);
        for (int k = 0; k < c.getNumVertices(); ++k) {
            EXPECT_EQ(float(c.vertex(k)[0]), expected[k].x);
            EXPECT_EQ(float(c.vertex(k)[1]), expected[k].y);
        }
    }
}

TEST(DouglasPeucker, ToleranceExtremes)
{
    // A square with a midpoint on its bottom side and a notch on its top.
    Curve<float> c = fixtures::polygon<float>({{0, 0}, {5, 0}, {10, 0}, {10, 10}, {6, 10}, {5, 9}, {4, 10}, {0, 10}});
    Curve<float> exact = fixtures::polygon<float>({{0, 0}, {5, 0}, {10, 0}, {10, 10}, {6, 10}, {5, 9}, {4, 10}, {0, 10}});
    DouglasPeuckerCurveDecimation<float> dp;
    dp.apply(exact);
    EXPECT_EQ(exact.getNumVertices(), 7) << "only the midpoint lies on its chord";

    // Larger than the outline: the ends, then the closing review.
    dp.setTolerance(100);
    dp.apply(c);
    EXPECT_EQ(c.getNumVertices(), 1);
    EXPECT_EQ(c.vertex(0)[0], 0.0f);
}

TEST(DouglasPeucker, DistanceIsToTheUnclampedLine)
{
    const Vector<double> a{0, 0}, b{1, 0}, p{5, 3};
    EXPECT_FLOAT_EQ(DouglasPeuckerCurveDecimation<double>::findVertexDistance(p, a, b), 3.0f);
    EXPECT_FLOAT_EQ(DouglasPeuckerCurveDecimation<double>::findVertexDistance(p, a, a), std::hypot(5.0f, 3.0f));
}

} // namespace
