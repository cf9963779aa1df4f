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
        const long double tolerance = 20 * std::numeric_limits<T>::epsilon() * n;

        Vector<T> a = x, b = y;
        fft.forward(a, b);
        EXPECT_EQ(fft.getSize(), n);
        for (int k = 0; k < n; ++k) {
            EXPECT_NEAR(static_cast<double>(a[k] - fr[k]), 0.0, static_cast<double>(tolerance)) << n << ' ' << k;
            EXPECT_NEAR(static_cast<double>(b[k] - fi[k]), 0.0, static_cast<double>(tolerance)) << n << ' ' << k;
        }
        Vector<T> c = x, d = y;
        fft.backward(c, d);
        for (int k = 0; k < n; ++k) {
            EXPECT_NEAR(static_cast<double>(c[k] - br[k]), 0.0, static_cast<double>(tolerance));
            EXPECT_NEAR(static_cast<double>(d[k] - bi[k]), 0.0, static_cast<double>(tolerance));
        }
        // Backward after forward is n times the identity.
        fft.backward(a, b);
        for (int k = 0; k < n; ++k) {
            EXPECT_NEAR(static_cast<double>(a[k] / n - x[k]), 0.0, static_cast<double>(tolerance));
            EXPECT_NEAR(static_cast<double>(b[k] / n - y[k]), 0.0, static_cast<double>(tolerance));
        }
    }
}

// Vectors whose storage is not aligned as the plan's own arrays still
// transform correctly (through the plan's buffers).
TYPED_TEST(FourierTransformTest, UnalignedVectors)
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
    for (int k = 0; k < n; ++k) {
        EXPECT_EQ(re[k], expectedRe[k]);
        EXPECT_EQ(im[k], expectedIm[k]);
    }
}

TEST(FourierTransform, MismatchedPartsAreRefused)
{
    FourierTransform<double> fft;
    Vector<double> re(4u), im(5u);
    EXPECT_PLEXAN_THROW(fft.forward(re, im), SizeError,
                        "void FourierTransform<T>::forward(Vector<T>&, Vector<T>&)",
                        "Incompatible vector dimensions");
    Vector<double> empty1, empty2;
    fft.backward(empty1, empty2); // nothing to do
    EXPECT_EQ(fft.getSize(), 0);
}

// Plans made and dropped from several threads at once: the planner lock keeps
// them apart.
TEST(FourierTransform, ConcurrentPlanning)
{
    std::vector<std::thread> threads;
    std::vector<double> results(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &results] {
            double sum = 0;
            for (int n = 2; n < 60; ++n) {
                FourierTransform<double> fft(n + t);
                Vector<double> re(static_cast<unsigned>(n + t)), im(static_cast<unsigned>(n + t));
                re.setOnes();
                im.setZeros();
                fft.forward(re, im);
                sum += re[0] - (n + t);
            }
            results[t] = sum;
        });
    for (std::thread& thread : threads)
        thread.join();
    for (double r : results)
        EXPECT_NEAR(r, 0.0, 1e-9);
}

} // namespace
