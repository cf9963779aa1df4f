#include "numerics/quaternion.h"

#include "linalgsupport.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>

using namespace linalg;

namespace {

template <typename T>
class QuaternionRotation : public ::testing::Test {};
TYPED_TEST_SUITE(QuaternionRotation, RealTypes);

template <typename T>
Quaternion<T> randomUnit(std::mt19937& rng)
{
    const Vector<T> v = randomVector<T>(4, rng);
    Quaternion<T> q(v);
    q.normalize();
    return q;
}

TYPED_TEST(QuaternionRotation, MatrixAgreesWithConjugation)
{
    using T = TypeParam;
    std::mt19937 rng(41);
    for (int trial = 0; trial < 20; ++trial) {
        const Quaternion<T> q = randomUnit<T>(rng);
        const Quaternion<T> p = randomUnit<T>(rng);
        const SquareMatrix<T> m(q);
        EXPECT_LE(maxAbsDiff<T>(m * m.transpose(), identity<T>(3)), tolerance<T>());
        EXPECT_NEAR(m.det(), T(1), tolerance<T>());
        const Vector<T> v = randomVector<T>(3, rng);
        EXPECT_LE(maxAbsDiff<T>(m * v, q.rotate(v)), tolerance<T>());
        // q and -q are the same rotation; products compose rotations.
        EXPECT_LE(maxAbsDiff<T>(SquareMatrix<T>(-q), m), tolerance<T>());
        EXPECT_LE(maxAbsDiff<T>(SquareMatrix<T>(q * p), SquareMatrix<T>(m * SquareMatrix<T>(p))), tolerance<T>());
        const Quaternion<T> one = q * q.inverse();
        EXPECT_LE(maxAbsDiff<T>(one.toVector(), Vector<T>{1, 0, 0, 0}), tolerance<T>());

        const SquareMatrix<T> h(q, true);
        ASSERT_EQ(h.getSize(), 4);
        EXPECT_EQ(h.copy(0, 2, 0, 2), Matrix<T>(m));
        EXPECT_EQ(h.getRow(3) + h.getColumn(3), Vector<T>({0, 0, 0, 2}));
    }
}

TYPED_TEST(QuaternionRotation, AxisAngleRoundTrip)
{
    using T = TypeParam;
    const Quaternion<T> z = Quaternion<T>::fromAxisAngle(Vector<T>{0, 0, 2}, T(std::numbers::pi / 2));
    EXPECT_LE(maxAbsDiff<T>(z.rotate(Vector<T>{1, 0, 0}), Vector<T>{0, 1, 0}), tolerance<T>());
    std::mt19937 rng(42);
    for (int trial = 0; trial < 10; ++trial) {
        Vector<T> axis = randomVector<T>(3, rng);
        axis.normalize();
        const T angle = T(0.3) * (trial + 1);
        const Quaternion<T> q = Quaternion<T>::fromAxisAngle(axis, angle);
        EXPECT_NEAR(q.norm(), T(1), tolerance<T>());
        Vector<T> axis2;
        T angle2;
        q.getAxisAngle(axis2, angle2);
        EXPECT_NEAR(angle2, angle, tolerance<T>() * 10);
        EXPECT_LE(maxAbsDiff<T>(axis2, axis), tolerance<T>() * 10);
        EXPECT_LE(maxAbsDiff<T>(q.rotate(axis), axis), tolerance<T>()) << "the axis stays put";
    }
    EXPECT_EQ(Quaternion<T>::fromAxisAngle(Vector<T>{0, 0, 0}, T(1)), Quaternion<T>());
    EXPECT_PLEXAN_THROW(Quaternion<T>(0, 0, 0, 0).inverse(), MathError, "Quaternion<T> Quaternion<T>::inverse() const",
                        "The zero quaternion has no inverse");
    EXPECT_PLEXAN_THROW(Quaternion<T>().rotate(Vector<T>{1, 2}), SizeError,
                        "Vector<T> Quaternion<T>::rotate(const Vector<T>&) const",
                        "A rotation needs a vector of 3 elements");
}

} // namespace
