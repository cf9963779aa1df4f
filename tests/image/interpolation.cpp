#include "image/linearinterpolation.h"
#include "image/nearestinterpolation.h"

#include "imagesupport.h"

#include <cmath>

using namespace imagetest;

namespace {

template <typename T>
class InterpolationTyped : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(InterpolationTyped, RealTypes);

// Positions inside, on the last row and column, and outside on every side.
std::vector<float> coordinates(int n, std::mt19937& rng)
{
    const float last = static_cast<float>(n - 1);
    std::vector<float> xs = {-3.2f, -0.6f, -0.4f, 0.0f, 0.49f, 0.5f, last, last - 0.5f, last + 0.49f, last + 3.0f};
    for (int r = 0; r < 5; ++r)
        xs.push_back(std::uniform_real_distribution<float>(0.0f, last)(rng));
    return xs;
}

// Nearest: each index rounded half up and clamped. Linear: the weighted
// neighbours inside the last row, column and plane, the nearest value from
// there on. Checked in 3D; a pixel matrix is a single plane.
TYPED_TEST(InterpolationTyped, AgreeWithTheDirectFormulas)
{
    using T = TypeParam;
    std::mt19937 rng(41);
    const VoxelMatrix<T> m = randomVoxelMatrix<T>(4, 5, 3, rng, -50, 50);
    const NearestInterpolation<T> nearest;
    const LinearInterpolation<T> linear;
    const Interpolation<T>& base = linear;
    const auto round = [](float x, int n) { return std::clamp(static_cast<int>(std::floor(x + 0.5f)), 0, n - 1); };
    const int sizes[3] = {4, 5, 3};
    for (float x1 : coordinates(4, rng))
        for (float x2 : coordinates(5, rng))
            for (float x3 : coordinates(3, rng)) {
                const float x[3] = {x1, x2, x3};
                const int p = round(x3, 3);
                const T n = m(round(x1, 4), round(x2, 5), p);
                EXPECT_EQ(nearest.eval(x1, x2, x3, m), n);
                EXPECT_EQ(nearest.eval(x1, x2, m[p]), n);
                int corner[3];
                T w[3];
                bool inside[4] = {true, true, true, true}; // inside[a]: for the first a axes
                for (int a = 0; a < 3; ++a) {
                    corner[a] = static_cast<int>(std::floor(x[a]));
                    w[a] = static_cast<T>(x[a] - static_cast<float>(corner[a]));
                    inside[a + 1] = inside[a] && corner[a] >= 0 && corner[a] < sizes[a] - 1;
                }
                const auto weight = [&](int d, int axes) {
                    T v = 1;
                    for (int a = 0; a < axes; ++a)
                        v *= d >> a & 1 ? w[a] : 1 - w[a];
                    return v;
                };
                T trilinear = inside[3] ? T(0) : n, bilinear = inside[2] ? T(0) : n;
                for (int d = 0; d < 8 && inside[3]; ++d)
                    trilinear += weight(d, 3) * m(corner[0] + (d & 1), corner[1] + (d >> 1 & 1), corner[2] + (d >> 2));
                for (int d = 0; d < 4 && inside[2]; ++d)
                    bilinear += weight(d, 2) * m(corner[0] + (d & 1), corner[1] + (d >> 1), p);
                EXPECT_NEAR(double(base.eval(Vector<float>{x1, x2, x3}, m)), double(trilinear), 1e-4)
                    << x1 << ", " << x2 << ", " << x3;
                EXPECT_NEAR(double(base.eval(Vector<float>{x1, x2}, m[p])), double(bilinear), 1e-4) << x1 << ", " << x2;
            }
}

} // namespace

TEST(Interpolation, EdgesEmptyMatricesAndNonFinitePositions)
{
    PixelMatrix<float> m(3, 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m(i, j) = static_cast<float>(10 * i + j);
    const LinearInterpolation<float> linear;
    // A coordinate that is no number reads the first row, an infinite one the edge it points to.
    EXPECT_EQ(linear.eval(std::nanf(""), 1.0f, m), 1.0f);
    EXPECT_EQ(linear.eval(INFINITY, -INFINITY, m), 20.0f);

    const NearestInterpolation<double> nearest;
    EXPECT_THROW(nearest.eval(0.0f, 0.0f, PixelMatrix<double>()), SizeError);
    EXPECT_THROW(nearest.eval(0.0f, 0.0f, 0.0f, VoxelMatrix<double>(2, 0, 2)), SizeError);
    EXPECT_PLEXAN_THROW(nearest.eval(Vector<float>{1.0f, 1.0f}, VoxelMatrix<double>(2, 2, 2)), SizeError,
                        "T Interpolation<T>::eval(const Vector<float>&,const VoxelMatrix<T>&) const",
                        "Position vector has too few coordinates");
}
