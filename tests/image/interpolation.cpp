#include "image/linearinterpolation.h"
#include "image/nearestinterpolation.h"

#include "randomfill.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using imagetest::randomPixelMatrix;
using imagetest::randomVoxelMatrix;

namespace {

template <typename T>
class InterpolationTyped : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(InterpolationTyped, RealTypes);

int clampedRound(float x, int n)
{
    const int i = static_cast<int>(std::floor(x + 0.5f));
    return std::clamp(i, 0, n - 1);
}

// Positions inside, on the last row and column, and outside on every side.
std::vector<float> coordinates(int n, std::mt19937& rng)
{
    std::vector<float> xs = {-3.2f, -0.6f, -0.4f, 0.0f, 0.49f, 0.5f, static_cast<float>(n - 1),
                             static_cast<float>(n) - 1.5f, static_cast<float>(n) - 0.51f, static_cast<float>(n) + 2.0f};
    std::uniform_real_distribution<float> d(0.0f, static_cast<float>(n - 1));
    for (int r = 0; r < 6; ++r)
        xs.push_back(d(rng));
    return xs;
}

TYPED_TEST(InterpolationTyped, PixelMatricesAgreeWithTheDirectFormulas)
{
    using T = TypeParam;
    std::mt19937 rng(41);
    const PixelMatrix<T> m = randomPixelMatrix<T>(5, 7, rng, -50, 50);
    const NearestInterpolation<T> nearest;
    const LinearInterpolation<T> linear;
    for (float x1 : coordinates(5, rng))
        for (float x2 : coordinates(7, rng)) {
            const T n = m(clampedRound(x1, 5), clampedRound(x2, 7));
            EXPECT_EQ(nearest.eval(x1, x2, m), n) << x1 << ", " << x2;
            EXPECT_EQ(nearest.eval(Vector<float>{x1, x2}, m), n);
            const int i = static_cast<int>(std::floor(x1));
            const int j = static_cast<int>(std::floor(x2));
            if (i >= 0 && i < 4 && j >= 0 && j < 6) {
                const T a = static_cast<T>(x1 - static_cast<float>(i));
                const T b = static_cast<T>(x2 - static_cast<float>(j));
                const T expected = (1 - a) * (1 - b) * m(i, j) + a * (1 - b) * m(i + 1, j) +
                                   (1 - a) * b * m(i, j + 1) + a * b * m(i + 1, j + 1);
                EXPECT_NEAR(static_cast<double>(linear.eval(x1, x2, m)), static_cast<double>(expected), 1e-4)
                    << x1 << ", " << x2;
            } else {
                EXPECT_EQ(linear.eval(x1, x2, m), n) << x1 << ", " << x2;
            }
        }
}

TYPED_TEST(InterpolationTyped, VoxelMatricesAgreeWithTheDirectFormulas)
{
    using T = TypeParam;
    std::mt19937 rng(42);
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(4, 5, 3, rng, -50, 50);
    const NearestInterpolation<T> nearest;
    const LinearInterpolation<T> linear;
    const Interpolation<T>& base = linear;
    for (float x1 : coordinates(4, rng))
        for (float x2 : coordinates(5, rng))
            for (float x3 : coordinates(3, rng)) {
                const T n = m(clampedRound(x1, 4), clampedRound(x2, 5), clampedRound(x3, 3));
                EXPECT_EQ(nearest.eval(x1, x2, x3, m), n);
                const int i = static_cast<int>(std::floor(x1));
                const int j = static_cast<int>(std::floor(x2));
                const int k = static_cast<int>(std::floor(x3));
                const T value = base.eval(Vector<float>{x1, x2, x3}, m);
                if (i >= 0 && i < 3 && j >= 0 && j < 4 && k >= 0 && k < 2) {
                    const T w[3] = {static_cast<T>(x1 - static_cast<float>(i)),
                                    static_cast<T>(x2 - static_cast<float>(j)),
                                    static_cast<T>(x3 - static_cast<float>(k))};
                    T expected = 0;
                    for (int di = 0; di < 2; ++di)
                        for (int dj = 0; dj < 2; ++dj)
                            for (int dk = 0; dk < 2; ++dk)
                                expected += (di ? w[0] : 1 - w[0]) * (dj ? w[1] : 1 - w[1]) *
                                            (dk ? w[2] : 1 - w[2]) * m(i + di, j + dj, k + dk);
                    EXPECT_NEAR(static_cast<double>(value), static_cast<double>(expected), 1e-4)
                        << x1 << ", " << x2 << ", " << x3;
                } else {
                    EXPECT_EQ(value, n) << x1 << ", " << x2 << ", " << x3;
                }
            }
}

} // namespace

TEST(Interpolation, LinearOnTheLastRowIsTheNearestValue)
{
    PixelMatrix<float> m(3, 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m(i, j) = static_cast<float>(10 * i + j);
    const LinearInterpolation<float> linear;
    // No extrapolation from the last row: the nearest element.
    EXPECT_EQ(linear.eval(2.0f, 0.0f, m), 20.0f);
    EXPECT_EQ(linear.eval(2.0f, 0.4f, m), 20.0f);
    EXPECT_EQ(linear.eval(1.0f, 2.0f, m), 12.0f);
    // Inside, a plane is reproduced exactly.
    EXPECT_FLOAT_EQ(linear.eval(1.5f, 0.25f, m), 15.25f);
    EXPECT_FLOAT_EQ(linear.eval(0.0f, 0.0f, m), 0.0f);
}

TEST(Interpolation, EmptyMatricesAndNonFinitePositions)
{
    const NearestInterpolation<double> nearest;
    EXPECT_THROW(nearest.eval(0.0f, 0.0f, PixelMatrix<double>()), SizeError);
    EXPECT_THROW(nearest.eval(0.0f, 0.0f, 0.0f, VoxelMatrix<double>(2, 0, 2)), SizeError);
    EXPECT_PLEXAN_THROW(nearest.eval(Vector<float>{1.0f, 1.0f}, VoxelMatrix<double>(2, 2, 2)), SizeError,
                        "T Interpolation<T>::eval(const Vector<float>&,const VoxelMatrix<T>&) const",
                        "Position vector has too few coordinates");
    PixelMatrix<double> m(2, 2);
    m(0, 0) = 1;
    m(0, 1) = 2;
    m(1, 0) = 3;
    m(1, 1) = 4;
    const LinearInterpolation<double> linear;
    EXPECT_EQ(linear.eval(std::nanf(""), 1.0f, m), 2.0);
    EXPECT_EQ(linear.eval(INFINITY, -INFINITY, m), 3.0);
}
