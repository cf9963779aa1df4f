#include "imageprocessing/derichegradient.h"

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"

#include "randomimages.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

using plexan::test::randomPixels;
using plexan::test::randomVoxels;

namespace {

template <typename T>
class DericheTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(DericheTest, RealTypes);

template <typename T>
T tolerance()
{
    return std::is_same_v<T, float> ? T(1e-5) : T(1e-12);
}

// The impulse responses in closed form, with e = exp(-alpha):
// smoothing c (1 + alpha |k|) e^|k|, derivative -(1 - e)^2 k e^(|k| - 1).
TYPED_TEST(DericheTest, ImpulseResponsesHaveTheirClosedForms)
{
    using T = TypeParam;
    for (T alpha : {T(0.5), T(1), T(2.5)}) {
        const DericheGradient<T> d(alpha);
        const T e = std::exp(-alpha);
        const T c = std::pow(T(1) - e, T(4)) / (T(1) + T(2) * alpha * e - e * e);
        const int n = 101, p = 50;
        Vector<T> smooth(static_cast<unsigned>(n)), derive(static_cast<unsigned>(n));
        smooth.setZeros();
        smooth[p] = T(1);
        derive = smooth;
        DericheGradient<T>::recursiveFiltering1D(smooth, d.getSmoothingCoefficient(0), d.getSmoothingCoefficient(1),
                                                 d.getSmoothingCoefficient(2), d.getSmoothingCoefficient(3),
                                                 d.getB1(), d.getB2(), d.getSmoothingScale());
        DericheGradient<T>::recursiveFiltering1D(derive, d.getDerivativeCoefficient(0),
                                                 d.getDerivativeCoefficient(1), d.getDerivativeCoefficient(2),
                                                 d.getDerivativeCoefficient(3), d.getB1(), d.getB2(),
                                                 d.getDerivativeScale());
        for (int k = -20; k <= 20; ++k) {
            const T ak = T(std::abs(k));
            EXPECT_NEAR(smooth[p + k], c * (T(1) + alpha * ak) * std::pow(e, ak), tolerance<T>()) << k;
            const T expected = k == 0 ? T(0) : -(T(1) - e) * (T(1) - e) * T(k) * std::pow(e, ak - T(1));
            EXPECT_NEAR(derive[p + k], expected, tolerance<T>()) << k;
        }
    }
}

// A ramp of slope 1 along x has, away from the borders, the derivative
// 2 (1 + e) / (1 - e) times the smoothing gain (1 - e)^2, that is
// 2 (1 - e^2), and no derivative along y.
TYPED_TEST(DericheTest, RampHasAConstantGradient)
{
    using T = TypeParam;
    const T alpha = T(1);
    const T e = std::exp(-alpha);
    PixelMatrix<T> ramp(80, 90);
    for (int i = 0; i < 80; ++i)
        for (int j = 0; j < 90; ++j)
            ramp(i, j) = T(j);
    DericheGradient<T> d(alpha);
    PixelMatrix<T> gx(ramp), gy(ramp), g2(ramp), g1(ramp);
    d.hGradient(gx);
    d.vGradient(gy);
    d.gradient2(g2);
    d.gradient1(g1);
    EXPECT_EQ(gx, g2);
    EXPECT_EQ(gy, g1);
    for (int i = 30; i < 50; ++i)
        for (int j = 30; j < 60; ++j) {
            ASSERT_NEAR(gx(i, j), T(2) * (T(1) - e * e), 1e-4);
            ASSERT_NEAR(gy(i, j), T(0), 1e-4);
        }
    // The ramp along each volume axis: its derivative there, smoothed along
    // the two others ((1 - e)^2 twice); none across.
    auto gradient = [&](int axis, VoxelMatrix<T>& m) {
        axis == 0 ? d.gradient1(m) : axis == 1 ? d.gradient2(m) : d.gradient3(m);
    };
    VoxelMatrix<T> v(40, 40, 40);
    for (int axis = 0; axis < 3; ++axis) {
        for (int k = 0; k < 40; ++k)
            for (int i = 0; i < 40; ++i)
                for (int j = 0; j < 40; ++j)
                    v(i, j, k) = T(axis == 0 ? i : axis == 1 ? j : k);
        VoxelMatrix<T> along(v), across(v);
        gradient(axis, along);
        gradient((axis + 1) % 3, across);
        ASSERT_NEAR(along(20, 20, 20), T(2) * (T(1) - e * e) * (T(1) - e) * (T(1) - e), 1e-4) << "axis " << axis;
        ASSERT_NEAR(across(20, 20, 20), T(0), 1e-4) << "axis " << axis;
    }
}

// Each pass filters whole lines, whatever the blocking of columns.
TYPED_TEST(DericheTest, ColumnsAreFilteredAsSingleLines)
{
    using T = TypeParam;
    std::mt19937 rng(16);
    const PixelMatrix<T> in = randomPixels<T>(37, 300, rng, 0, 255);
    DericheGradient<T> d(T(1.5));
    PixelMatrix<T> out(in);
    d.vGradient(out);
    PixelMatrix<T> expected(in);
    for (int i = 0; i < 37; ++i)
        DericheGradient<T>::recursiveFiltering1D(expected[i], d.getSmoothingCoefficient(0),
                                                 d.getSmoothingCoefficient(1), d.getSmoothingCoefficient(2),
                                                 d.getSmoothingCoefficient(3), d.getB1(), d.getB2(), T(1));
    for (int j = 0; j < 300; ++j) {
        Vector<T> column = expected.getColumn(j);
        DericheGradient<T>::recursiveFiltering1D(column, T(0), T(1), T(-1), T(0), d.getB1(), d.getB2(),
                                                 d.getDerivativeScale());
        expected.setColumn(j, column);
    }
    EXPECT_EQ(out, expected);
}

TYPED_TEST(DericheTest, StepEdgeGivesAOnePixelRidge)
{
    using T = TypeParam;
    // A vertical edge centred on column 20. Outside the image the filters see
    // zeros, so the borders make edges too: only the middle is looked at.
    PixelMatrix<T> m(60, 41);
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j < 41; ++j)
            m(i, j) = j < 20 ? T(0) : j == 20 ? T(50) : T(100);
    DericheGradient<T> d(T(1));
    PixelMatrix<T> gx(m), gy(m), norm;
    d.hGradient(gx);
    d.vGradient(gy);
    d.norm(norm, gx, gy);
    PixelMatrix<T> fine(norm), n4(norm), n8(norm);
    d.fineNonmaxSuppression(fine, gx, gy);
    d.nonmaxSuppressionN4(n4, gx, gy);
    d.nonmaxSuppressionN8(n8, gx, gy);
    PixelMatrix<T> twoArgument(gx);
    d.fineNonmaxSuppression(twoArgument, gy);
    EXPECT_EQ(twoArgument, fine);
    for (const PixelMatrix<T>* thin : {&fine, &n4, &n8})
        for (int i = 5; i < 55; ++i)
            for (int j = 5; j < 36; ++j)
                ASSERT_EQ((*thin)(i, j) != T(0), j == 20) << i << "," << j;

    // The same edge turned by a right angle.
    PixelMatrix<T> t(41, 60);
    for (int i = 0; i < 41; ++i)
        for (int j = 0; j < 60; ++j)
            t(i, j) = m(j, i);
    PixelMatrix<T> thin(t);
    d.nonmaxSuppression(thin);
    for (int i = 5; i < 36; ++i)
        for (int j = 5; j < 55; ++j)
            ASSERT_EQ(thin(i, j) != T(0), i == 20) << i << "," << j;
}

TYPED_TEST(DericheTest, NormAndAngle)
{
    using T = TypeParam;
    std::mt19937 rng(17);
    const PixelMatrix<T> in = randomPixels<T>(20, 25, rng, 0, 100);
    DericheGradient<T> d(T(1));
    PixelMatrix<T> gx(in), gy(in), n(in), a(in);
    d.hGradient(gx);
    d.vGradient(gy);
    d.apply(n);
    d.angle(a);
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 25; ++j) {
            ASSERT_NEAR(n(i, j), std::hypot(gx(i, j), gy(i, j)), 10 * tolerance<T>() * (1 + n(i, j)));
            ASSERT_NEAR(a(i, j), std::atan2(gy(i, j), gx(i, j)), 10 * tolerance<T>());
        }
    const VoxelMatrix<T> volume = randomVoxels<T>(8, 9, 10, rng);
    VoxelMatrix<T> g[3] = {volume, volume, volume}, norm3(volume);
    d.gradient1(g[0]);
    d.gradient2(g[1]);
    d.gradient3(g[2]);
    d.apply(norm3);
    for (int k = 0; k < 10; ++k)
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 9; ++j)
                ASSERT_NEAR(norm3(i, j, k), std::hypot(g[0](i, j, k), g[1](i, j, k), g[2](i, j, k)),
                            10 * tolerance<T>() * (1 + norm3(i, j, k)));
}

// Hysteresis by flood fill: from every interior element at or above high,
// through interior 8-neighbours at or above low.
template <typename T>
PixelMatrix<T> floodFill(const PixelMatrix<T>& in, T low, T high)
{
    const int rows = in.getSize1(), columns = in.getSize2();
    PixelMatrix<T> out(in);
    std::vector<char> reached(static_cast<std::size_t>(rows) * columns, 0);
    std::deque<std::pair<int, int>> queue;
    auto interior = [&](int i, int j) { return i > 0 && i < rows - 1 && j > 0 && j < columns - 1; };
    for (int i = 1; i < rows - 1; ++i)
        for (int j = 1; j < columns - 1; ++j)
            if (in(i, j) >= high) {
                reached[i * columns + j] = 1;
                queue.emplace_back(i, j);
            }
    while (!queue.empty()) {
        const auto [i, j] = queue.front();
        queue.pop_front();
        for (int a = -1; a <= 1; ++a)
            for (int b = -1; b <= 1; ++b)
                if (interior(i + a, j + b) && !reached[(i + a) * columns + j + b] && in(i + a, j + b) >= low) {
                    reached[(i + a) * columns + j + b] = 1;
                    queue.emplace_back(i + a, j + b);
                }
    }
    for (int i = 1; i < rows - 1; ++i)
        for (int j = 1; j < columns - 1; ++j)
            out(i, j) = reached[i * columns + j] ? T(1) : T(0);
    return out;
}

TYPED_TEST(DericheTest, HysteresisEqualsFloodFill)
{
    using T = TypeParam;
    std::mt19937 rng(18);
    DericheGradient<T> d;
    for (auto [low, high] : {std::pair{30, 80}, std::pair{50, 50}, std::pair{10, 95}, std::pair{0, 200}}) {
        const PixelMatrix<T> in = randomPixels<T>(33, 41, rng, 0, 100);
        PixelMatrix<T> out(in);
        d.hysteresisThresholding(out, T(low), T(high));
        EXPECT_EQ(out, floodFill(in, T(low), T(high))) << low << " " << high;
    }
}

} // namespace
