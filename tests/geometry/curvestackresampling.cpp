#include "geometry/curvestack.h"

#include "geometry/quadmesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr double pi = std::numbers::pi;

// An ellipse of n vertices at height z, the first at angle phase.
template <typename T>
Curve<T> ellipse(int n, double a, double b, double phase, double z)
{
    Curve<T> c(3, n);
    for (int i = 0; i < n; ++i) {
        const double t = phase + 2 * pi * i / n;
        c[i] = Vector<T>{static_cast<T>(a * std::cos(t)), static_cast<T>(b * std::sin(t)), static_cast<T>(z)};
    }
    return c;
}

// Contours of an ellipsoid-like body: level k at z = 2 k, an ellipse of
// semi-axes growing then shrinking, each with its own vertex count and start.
template <typename T>
CurveStack<T> body(int levels, std::mt19937& rng)
{
    std::uniform_int_distribution<int> count(20, 60);
    std::uniform_real_distribution<double> start(0, 2 * pi);
    CurveStack<T> stack;
    for (int k = 0; k < levels; ++k) {
        const double s = std::sin(pi * (k + 0.5) / levels);
        const double a = 5 + 20 * s, b = 4 + 12 * s, phase = start(rng);
        stack.append(ellipse<T>(count(rng), a, b, phase, 2 * k));
    }
    return stack;
}

template <typename T>
class CurveStackResamplingTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(CurveStackResamplingTest, RealTypes);

// Resampling a stack of circles of equal radius gives a cylinder: every mesh
// vertex on it, rows evenly spaced in z from the first contour to the last,
// and columns straight (matched contours).
TYPED_TEST(CurveStackResamplingTest, CylinderBecomesAGrid)
{
    using T = TypeParam;
    CurveStack<T> stack;
    for (int k = 0; k < 4; ++k)
        stack.append(ellipse<T>(30 + 7 * k, 10, 10, 2 * pi * 0.3 * k / (30 + 7 * k), 3 * k));
    const QuadMesh<T> mesh = stack.resample(7, 24);
    ASSERT_EQ(mesh.getHeight(), 7);
    ASSERT_EQ(mesh.getWidth(), 24);
    EXPECT_TRUE(mesh.isClosed());
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 24; ++c) {
            const Vector<T>& v = mesh[r].vertex(c);
            EXPECT_NEAR(std::hypot(double(v[0]), double(v[1])), 10.0, 0.1);
            // The columns lean a little where the contours start apart.
            EXPECT_NEAR(double(v[2]), 9.0 * r / 6, 0.05);
            // Straight columns: every row turned like the first, to within
            // half a column (turns are by whole columns).
            EXPECT_NEAR(double(v[0]), double(mesh[0].vertex(c)[0]), 1.4);
            EXPECT_NEAR(double(v[1]), double(mesh[0].vertex(c)[1]), 1.4);
        }
    // Evenly spaced around each row.
    for (int c = 0; c < 24; ++c)
        EXPECT_NEAR(double(mesh[0].vertex(c).distance(mesh[0].vertex((c + 1) % 24))), 2 * pi * 10 / 24, 0.05);
}

// Interpolating a fine mesh at the contours' heights gives back rings close
// to the contours; the error shrinks as the mesh grows finer.
TYPED_TEST(CurveStackResamplingTest, ResamplingErrorShrinksWithResolution)
{
    using T = TypeParam;
    std::mt19937 rng(4);
    const CurveStack<T> stack = body<T>(8, rng);
    double previous = 1e9;
    for (int width : {16, 32, 64, 128}) {
        const QuadMesh<T> mesh = stack.resample(29, width);
        const QuadMesh<T> rings = stack.interpolate(mesh);
        ASSERT_EQ(rings.getHeight(), 8);
        ASSERT_EQ(rings.getWidth(), width);
        for (int k = 0; k < 8; ++k)
            EXPECT_NEAR(double(rings[k].vertex(0)[2]), 2.0 * k, 1e-3);
        const Vector<T> errors = stack.resamplingError(mesh);
        ASSERT_EQ(errors.getSize(), 8);
        // The error of a level is the largest distance from one of its
        // vertices to the nearest ring vertex: check one level by brute force.
        double largest = 0;
        for (int i = 0; i < stack[3].getNumVertices(); ++i) {
            double nearest = 1e300;
            for (int c = 0; c < width; ++c)
                nearest = std::min(nearest, double(stack[3].vertex(i).distance(rings[3].vertex(c))));
            largest = std::max(largest, nearest);
        }
        EXPECT_NEAR(double(errors[3]), largest, 1e-4);
        EXPECT_LT(double(errors.max()), previous);
        previous = double(errors.max());
    }
}

// The chosen width meets the tolerance, and one column fewer does not (the
// bisection keeps the passing side).
TYPED_TEST(CurveStackResamplingTest, OptimalResamplingMeetsTheTolerance)
{
    using T = TypeParam;
    std::mt19937 rng(8);
    const CurveStack<T> stack = body<T>(10, rng);
    int largest = 0;
    for (int k = 0; k < stack.getHeight(); ++k)
        largest = std::max(largest, stack[k].getNumVertices());
    for (double tolerance : {1.5, 0.6}) {
        int height = 0, width = 0;
        const T error = stack.optimalResampling(static_cast<T>(tolerance), height, width);
        EXPECT_LE(double(error), tolerance);
        EXPECT_GE(width, largest);
        EXPECT_GE(height, 2);
        const Vector<T> errors = stack.resamplingError(stack.resample(height, width));
        EXPECT_EQ(errors.max(), error);
    }
    // A width below the largest contour is never chosen; a generous
    // tolerance takes the first width at once.
    int height = 0, width = 0;
    stack.optimalResampling(T(1000), height, width);
    EXPECT_EQ(width, largest);
}

TEST(CurveStackResampling, OpenStacksKeepTheirEnds)
{
    CurveStack<double> stack(3, 0, 0, 0, 0, true);
    for (int k = 0; k < 3; ++k) {
        Curve<double> c(3, 5, 0, 0, true);
        for (int i = 0; i < 5; ++i)
            c[i] = Vector<double>{double(i * (1 + k)), 0, double(k)};
        stack.append(c);
    }
    const QuadMesh<double> mesh = stack.resample(5, 9);
    EXPECT_TRUE(mesh.isOpen());
    EXPECT_DOUBLE_EQ(mesh[0].vertex(0)[0], 0.0);
    EXPECT_DOUBLE_EQ(mesh[0].vertex(8)[0], 4.0);
    EXPECT_DOUBLE_EQ(mesh[4].vertex(8)[0], 12.0);
    EXPECT_DOUBLE_EQ(mesh[2].vertex(8)[2], 1.0);
}

} // namespace
