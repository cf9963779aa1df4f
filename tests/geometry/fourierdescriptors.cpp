#include "geometry/fourierdescriptors.h"

#include "geometry/curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

namespace {

constexpr double pi = std::numbers::pi;

// A closed star-shaped outline: radius 40 + random bumps of a few harmonics.
template <typename T>
Curve<T> randomContour(int n, std::mt19937& rng)
{
    std::uniform_real_distribution<double> u(-1, 1);
    double a[6], b[6];
    for (int h = 0; h < 6; ++h) {
        a[h] = u(rng) * 6 / (h + 1);
        b[h] = u(rng) * 6 / (h + 1);
    }
    Curve<T> c(2, n);
    for (int k = 0; k < n; ++k) {
        const double t = 2 * pi * k / n;
        double r = 40;
        for (int h = 0; h < 6; ++h)
            r += a[h] * std::cos((h + 2) * t) + b[h] * std::sin((h + 2) * t);
        c[k] = Vector<T>{static_cast<T>(100 + r * std::cos(t)), static_cast<T>(-50 + r * std::sin(t))};
    }
    return c;
}

template <typename T>
class FourierDescriptorsTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(FourierDescriptorsTest, CoordinateTypes);

// Descriptors against the direct definition c_m = (1/N) sum_k z_k e^(-2 pi i k m / N).
TYPED_TEST(FourierDescriptorsTest, DescriptorsAreTheFourierCoefficients)
{
    using T = TypeParam;
    std::mt19937 rng(5);
    const Curve<T> c = randomContour<T>(37, rng);
    Vector<float> re, im;
    FourierDescriptors<T>().computeForward(c, re, im);
    const int n = c.getNumVertices();
    ASSERT_EQ(re.getSize(), n);
    for (int m = 0; m < n; ++m) {
        std::complex<double> sum = 0;
        for (int k = 0; k < n; ++k)
            sum += std::complex<double>(double(c.vertex(k)[0]), double(c.vertex(k)[1]))
                   * std::polar(1.0, -2 * pi * ((k * m) % n) / n);
        sum /= n;
        EXPECT_NEAR(re[m], sum.real(), 2e-4);
        EXPECT_NEAR(im[m], sum.imag(), 2e-4);
    }
    // c_0 is the centre of gravity.
    const Vector<T> g = c.cog();
    EXPECT_NEAR(re[0], double(g[0]), std::is_integral_v<T> ? 0.5 : 1e-3);
    EXPECT_NEAR(im[0], double(g[1]), std::is_integral_v<T> ? 0.5 : 1e-3);
}

// All descriptors give the contour back; none leaves its centre.
TYPED_TEST(FourierDescriptorsTest, AllDescriptorsReproduceTheContourNoneItsCentre)
{
    using T = TypeParam;
    std::mt19937 rng(9);
    const double tolerance = std::is_integral_v<T> ? 1.0 : 1e-3;
    for (int n : {3, 16, 51, 200}) {
        const Curve<T> original = randomContour<T>(n, rng);
        Curve<T> c(original), centre(original);
        c.setOpen(true); // the result is closed whatever the input
        EXPECT_FLOAT_EQ(FourierDescriptors<T>().filter(c, n), 1.0f);
        EXPECT_EQ(FourierDescriptors<T>().filter(centre, 0), 0.0f);
        ASSERT_EQ(c.getNumVertices(), n);
        EXPECT_TRUE(c.isClosed());
        EXPECT_NE(c.getServer(), original.getServer()) << "the outline gets a pool of its own";
        const Vector<T> g = original.cog();
        for (int k = 0; k < n; ++k)
            for (int d = 0; d < 2; ++d) {
                if constexpr (std::is_integral_v<T>)
                    EXPECT_EQ(c.vertex(k)[d], original.vertex(k)[d]);
                else
                    EXPECT_NEAR(double(c.vertex(k)[d]), double(original.vertex(k)[d]), 1e-3);
                EXPECT_NEAR(double(centre.vertex(k)[d]), double(g[d]), tolerance);
            }
    }
}

// One descriptor keeps the best-fitting ellipse: a circle with a high ripple
// comes back as the circle.
TEST(FourierDescriptors, LowPassRemovesRipple)
{
    const int n = 128;
    Curve<double> c(2, n);
    for (int k = 0; k < n; ++k) {
        const double t = 2 * pi * k / n;
        const double r = 10 + 0.5 * std::cos(17 * t);
        c[k] = Vector<double>{3 + r * std::cos(t), 4 + r * std::sin(t)};
    }
    const int used = FourierDescriptors<double>().filter(c, 0.9f);
    EXPECT_EQ(used, 1);
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(std::hypot(c.vertex(k)[0] - 3, c.vertex(k)[1] - 4), 10.0, 1e-4);
}

TEST(FourierDescriptors, CutKeepsTheLowFrequencies)
{
    Vector<float> re(10u), im(10u);
    re.setOnes();
    im.setOnes();
    FourierDescriptors<float>().cut(re, im, 2);
    EXPECT_EQ(re, (Vector<float>{1, 1, 1, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(im, re);
}

// The two conversions between a number of descriptors and a fidelity undo
// each other on random contours; the fidelity grows with the number.
TYPED_TEST(FourierDescriptorsTest, FidelityAndCountAreInverse)
{
    using T = TypeParam;
    std::mt19937 rng(21);
    const FourierDescriptors<T> fd;
    for (int trial = 0; trial < 20; ++trial) {
        const int n = 8 + trial * 7;
        Curve<T> c = randomContour<T>(n, rng);
        // Random noise on every vertex spreads the amplitudes over all
        // frequencies.
        std::normal_distribution<double> noise(0, 2);
        for (int k = 0; k < n; ++k)
            for (int d = 0; d < 2; ++d)
                c.vertex(k)[d] = static_cast<T>(double(c.vertex(k)[d]) + noise(rng));
        Vector<float> re, im;
        fd.computeForward(c, re, im);
        float previous = 0;
        for (int m = 0; m <= n / 2; ++m) {
            const float f = fd.fidelityFromNumDescriptors(re, im, m);
            EXPECT_GE(f, previous);
            previous = f;
            EXPECT_EQ(fd.numDescriptorsFromFidelity(re, im, f), m) << "n " << n << " m " << m;
        }
        EXPECT_FLOAT_EQ(previous, 1.0f);
        std::uniform_real_distribution<float> u(0.01f, 1.0f);
        for (int k = 0; k < 20; ++k) {
            const float f = u(rng);
            const int m = fd.numDescriptorsFromFidelity(re, im, f);
            EXPECT_GE(fd.fidelityFromNumDescriptors(re, im, m), f * (1 - 1e-6f));
            EXPECT_LT(fd.fidelityFromNumDescriptors(re, im, m - 1), f);
        }
        EXPECT_EQ(fd.numDescriptorsFromFidelity(re, im, 0.0f), 0);
    }
}

} // namespace
