#include "geometry/fouriertransform.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

namespace {

template <typename T>
class FourierTransformTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(FourierTransformTest, RealTypes);

// The direct O(n^2) sum, in long double, with the sign of the exponent given.
void directTransform(const std::vector<long double>& re, const std::vector<long double>& im, int sign,
                     std::vector<long double>& outRe, std::vector<long double>& outIm)
{
    const std::size_t n = re.size();
    outRe.assign(n, 0);
    outIm.assign(n, 0);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t j = 0; j < n; ++j) {
            // Reduce j k mod n first, so that the angle stays accurate.
            const long double angle = sign * 2 * std::numbers::pi_v<long double> * ((j * k) % n) / n;
            const long double c = std::cos(angle), s = std::sin(angle);
            outRe[k] += re[j] * c - im[j] * s;
            outIm[k] += re[j] * s + im[j] * c;
        }
}

TYPED_TEST(FourierTransformTest, AgreesWithDirectSumBothWays)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-1, 1);
    FourierTransform<T> fft;
    for (int n : {1, 2, 3, 5, 8, 12, 17, 64, 100, 127}) {
        std::vector<long double> re(n), im(n), fr, fi, br, bi;
        Vector<T> x(static_cast<unsigned>(n)), y(static_cast<unsigned>(n));
        for (int j = 0; j < n; ++j) {
            x[j] = static_cast<T>(u(rng));
            y[j] = static_cast<T>(u(rng));
            re[j] = x[j];
            im[j] = y[j];
        }
        directTransform(re, im, -1, fr, fi);
        directTransform(re, im, +1, br, bi);
        // Rounding grows like log n relative to the sum of magnitudes.
        const double tolerance = 20 * std::numeric_limits<T>::epsilon() * n;
        auto expectNear = [&](const Vector<T>& a, const Vector<T>& b, const std::vector<long double>& ra,
                              const std::vector<long double>& rb, int scale) {
            for (int k = 0; k < n; ++k) {
                EXPECT_NEAR(static_cast<double>(a[k] / scale - ra[k]), 0.0, tolerance) << n << ' ' << k;
                EXPECT_NEAR(static_cast<double>(b[k] / scale - rb[k]), 0.0, tolerance) << n << ' ' << k;
            }
        };
        Vector<T> a = x, b = y, c = x, d = y;
        fft.forward(a, b);
        expectNear(a, b, fr, fi, 1);
        fft.backward(c, d);
        expectNear(c, d, br, bi, 1);
        // Backward after forward is n times the identity.
        fft.backward(a, b);
        expectNear(a, b, re, im, n);
    }
}

// Vectors whose storage is not aligned as the plan's own arrays still
// transform correctly (through the plan's buffers); parts of different
// sizes are refused.
TYPED_TEST(FourierTransformTest, UnalignedAndMismatchedVectors)
{
    using T = TypeParam;
    const int n = 16;
    std::vector<T> storage(2 * n + 2, T(0));
    Vector<T> re, im;
    re.setShallow(storage.data() + 1, n);
    im.setShallow(storage.data() + n + 1, n);
    for (int j = 0; j < n; ++j)
        re[j] = static_cast<T>(j % 3);
    Vector<T> expectedRe(re), expectedIm(im);
    FourierTransform<T>(n).forward(expectedRe, expectedIm);
    FourierTransform<T> fft(n);
    fft.forward(re, im);
    EXPECT_EQ(re, expectedRe);
    EXPECT_EQ(im, expectedIm);
    Vector<T> five(5u);
    EXPECT_PLEXAN_THROW(fft.forward(re, five), SizeError, "void FourierTransform<T>::forward(Vector<T>&, Vector<T>&)",
                        "Incompatible vector dimensions");
}

// Plans made and dropped from several threads at once: the planner lock keeps
// them apart.
TEST(FourierTransform, ConcurrentPlanning)
{
    std::vector<std::thread> threads;
    std::vector<double> errors(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &errors] {
            for (int n = 2 + t; n < 60 + t; ++n) {
                Vector<double> re(static_cast<unsigned>(n)), im(static_cast<unsigned>(n));
                re.setOnes();
                im.setZeros();
                FourierTransform<double>(n).forward(re, im);
                errors[t] += std::abs(re[0] - n);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    for (double e : errors)
        EXPECT_NEAR(e, 0.0, 1e-9);
}

} // namespace
