#include "numerics/maths.h"

#include "linalgsupport.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>

using namespace linalg;

namespace {

TEST(Maths, PowersOfTwo)
{
    for (int n = -3; n <= 1100; ++n) {
        int brute = 1;
        while (brute < n)
            brute *= 2;
        EXPECT_EQ(Maths::nextPowerOfTwo(n), brute) << n;
        EXPECT_EQ(Maths::isPowerOfTwo(n), n >= 1 && brute == n) << n;
    }
    EXPECT_EQ(Maths::nextPowerOfTwo(1 << 30), 1 << 30);
    EXPECT_PLEXAN_THROW(Maths::nextPowerOfTwo((1 << 30) + 1), RangeError, "int Maths::nextPowerOfTwo(const int)",
                        "No power of two of type int is that large");
}

TEST(Maths, RoundingHalvesUp)
{
    EXPECT_EQ(Maths::fround(-2.5), -2);
    EXPECT_EQ(Maths::fround(2.5), 3);
    EXPECT_EQ(Maths::fround(-2.5000001), -3);
    EXPECT_EQ(Maths::fround(0.49999997f), 0) << "float arguments round in double precision";
    EXPECT_EQ(Maths::fround(7.49L), 7);
    EXPECT_DOUBLE_EQ(Maths::fround(0.8, 0.25), 0.75);
    EXPECT_DOUBLE_EQ(Maths::fround(-0.375, 0.25), -0.25);
    EXPECT_EQ(Maths::fround(Vector<float>{-1.5f, 0.4f, 2.5f}), Vector<float>({-1.0f, 0.0f, 3.0f}));
    EXPECT_EQ(Maths::sqr(-3), 9);
    EXPECT_NEAR(Maths::toRadians(180.0f), 3.14159265f, 1e-6f);
    EXPECT_NEAR(Maths::toDegrees(Maths::toRadians(33.0f)), 33.0f, 1e-5f);
}

TEST(Maths, FactorialsAndPoisson)
{
    double lf = 0.0;
    double f = 1.0;
    for (unsigned n = 0; n <= 30; ++n) {
        if (n >= 2) {
            lf += std::log(double(n));
            f *= n;
        }
        EXPECT_NEAR(Maths::logFactorial(n), lf, 1e-6 * (lf + 1)) << n;
        // Single precision: exact while n! has few digits.
        if (n <= 8) {
            EXPECT_EQ(Maths::factorial(n), static_cast<long>(f)) << n;
        } else if (n <= 20) {
            EXPECT_NEAR(double(Maths::factorial(n)), f, 2e-6 * f * n) << n;
        }
    }
    // Poisson probabilities sum to one and have mean lambda.
    for (float lambda : {0.5f, 4.0f, 9.0f}) {
        double total = 0, mean = 0;
        for (unsigned k = 0; k < 60; ++k) {
            const double p = Maths::pdfPoisson(lambda, k);
            total += p;
            mean += k * p;
        }
        EXPECT_NEAR(total, 1.0, 1e-5);
        EXPECT_NEAR(mean, lambda, 1e-4);
    }
    EXPECT_EQ(Maths::pdfPoisson(0.0f, 0), 1.0f);
    EXPECT_EQ(Maths::pdfPoisson(0.0f, 3), 0.0f);
}

template <typename T>
class MathsRotations : public ::testing::Test {};
TYPED_TEST_SUITE(MathsRotations, RealTypes);

TYPED_TEST(MathsRotations, PlaneRotations)
{
    using T = TypeParam;
    for (T a : {T(0), T(0.3), T(-2), T(3)}) {
        const SquareMatrix<T> r = Maths::rotationMatrix(a);
        EXPECT_NEAR(Maths::rotationAngle(r), a, tolerance<T>());
        EXPECT_LE(maxAbsDiff<T>(r * r.transpose(), identity<T>(2)), tolerance<T>());
        const Vector<T> x = r * Vector<T>{1, 0};
        EXPECT_NEAR(x[0], std::cos(a), tolerance<T>());
        EXPECT_NEAR(x[1], std::sin(a), tolerance<T>()) << "counter-clockwise";
    }
}

TYPED_TEST(MathsRotations, SpaceRotationsDecomposeIntoThreeAngles)
{
    using T = TypeParam;
    const T tol = std::is_same_v<T, float> ? T(1e-4) : T(1e-9);
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> angle(-3.1, 3.1);
    // Each axis rotation turns the next axis into the third, counter-clockwise.
    EXPECT_LE(maxAbsDiff<T>(Maths::xRotationMatrix3D(T(std::numbers::pi / 2)) * Vector<T>{0, 1, 0}, Vector<T>{0, 0, 1}), tol);
    EXPECT_LE(maxAbsDiff<T>(Maths::yRotationMatrix3D(T(std::numbers::pi / 2)) * Vector<T>{0, 0, 1}, Vector<T>{1, 0, 0}), tol);
    EXPECT_LE(maxAbsDiff<T>(Maths::zRotationMatrix3D(T(std::numbers::pi / 2)) * Vector<T>{1, 0, 0}, Vector<T>{0, 1, 0}), tol);

    auto compose = [](T a, T b, T c) {
        return Matrix<T>(Maths::xRotationMatrix3D(a) * Maths::yRotationMatrix3D(b) * Maths::zRotationMatrix3D(c));
    };
    std::vector<std::array<T, 3>> cases{{0, 0, 0}, {T(0.2), T(std::numbers::pi / 2), T(0.1)}, {0, T(-std::numbers::pi / 2), T(1)}};
    for (int i = 0; i < 40; ++i)
        cases.push_back({T(angle(rng)), T(angle(rng) / 2), T(angle(rng))});
    for (const auto& [a, b, c] : cases) {
        const Matrix<T> m = compose(a, b, c);
        T a2, b2, c2;
        Maths::decomposeRotationMatrix3D(m, a2, b2, c2);
        EXPECT_LE(maxAbsDiff<T>(compose(a2, b2, c2), m), tol) << a << " " << b << " " << c;
        // The x angle comes from a tangent: away from gimbal lock a half
        // turn is the only freedom.
        const T halfTurns = (a2 - a) / T(std::numbers::pi);
        if (std::abs(std::cos(b)) > T(1e-3)) {
            EXPECT_NEAR(halfTurns, std::round(halfTurns), tol);
        }
    }
    // Away from gimbal lock with |a|, |b| < pi / 2 the angles come back.
    T a2, b2, c2;
    Maths::decomposeRotationMatrix3D(compose(T(0.3), T(-0.7), T(2.5)), a2, b2, c2);
    EXPECT_LE(maxAbsDiff<T>(Vector<T>{a2, b2, c2}, Vector<T>{T(0.3), T(-0.7), T(2.5)}), tol);
}

} // namespace
