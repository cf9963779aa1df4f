#include "stack/matrixprincipalaxesanalysis.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

template <typename T>
class PrincipalAxesTyped : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(PrincipalAxesTyped, RealTypes);

const double pi = 3.141592653589793;

} // namespace

TYPED_TEST(PrincipalAxesTyped, MomentsAgreeWithDirectSums)
{
    using T = TypeParam;
    std::mt19937 rng(47);
    std::uniform_real_distribution<double> value(0.0, 255.0);
    for (int run = 0; run < 10; ++run) {
        const int n = 5 + run * 7, p = 40 - run * 3;
        PixelMatrix<T> m(n, p);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j)
                m(i, j) = T(value(rng));
        double s = 0, si = 0, sj = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j)
                s += double(m(i, j)), si += i * double(m(i, j)), sj += j * double(m(i, j));
        const double mi = si / s, mj = sj / s;
        double i00 = 0, i11 = 0, i01 = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j) {
                const double w = double(m(i, j)) / s;
                i00 += (i - mi) * (i - mi) * w, i11 += (j - mj) * (j - mj) * w, i01 += (i - mi) * (j - mj) * w;
            }
        MatrixPrincipalAxesAnalysis<T> a;
        a.apply(m);
        const double tol = std::is_same_v<T, float> ? 1e-3 : 1e-9;
        EXPECT_NEAR(double(a.getInertiaCenter()[0]), mi, tol * n);
        EXPECT_NEAR(double(a.getInertiaCenter()[1]), mj, tol * p);
        EXPECT_NEAR(double(a.getInertiaMatrix()(0, 0)), i00, tol * n * n);
        EXPECT_NEAR(double(a.getInertiaMatrix()(1, 1)), i11, tol * p * p);
        EXPECT_NEAR(double(a.getInertiaMatrix()(1, 0)), i01, tol * n * p);
        // The angle is that of an eigenvector of the inertia matrix: the
        // direction (cos a, sin a) is turned by the matrix into a multiple of itself.
        const double c = std::cos(double(a.getAngle())), sn = std::sin(double(a.getAngle()));
        EXPECT_NEAR((i00 * c + i01 * sn) * sn - (i01 * c + i11 * sn) * c, 0.0, 1e-2 * (i00 + i11));
        EXPECT_GE(double(a.getAngle()), 0.0);
        EXPECT_LE(double(a.getAngle()), pi / 2 + 1e-6);
    }
}

TEST(MatrixPrincipalAxesAnalysis, GettersRefuseBeforeAnAnalysis)
{
    const MatrixPrincipalAxesAnalysis<double> a;
    EXPECT_PLEXAN_THROW(a.getAngle(), UsageError, "T MatrixPrincipalAxesAnalysis<T>::getAngle() const",
                        "No image was analyzed yet");
}
