#include "stack/registration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

// On random operands in [0, 360), sums and differences agree with the angle
// reduced modulo one turn, the shifts add, and subtracting what was added
// gives the first operand back.
TEST(Registration, AnglesWrapOnceIntoOneTurn)
{
    EXPECT_FLOAT_EQ((Registration(0, 0, 180) + Registration(0, 0, 180)).getRotationAngle(), 0.0f);
    EXPECT_FLOAT_EQ((Registration(0, 0, 10) - Registration(0, 0, 20)).getRotationAngle(), 350.0f);
    EXPECT_FALSE(Registration(0, 0, 0.5f).isNull());
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> angle(0.0f, 359.9f);
    std::uniform_int_distribution<int> shift(-500, 500);
    for (int k = 0; k < 1000; ++k) {
        const Registration a(shift(rng), shift(rng), angle(rng));
        const Registration b(shift(rng), shift(rng), angle(rng));
        const Registration sum = a + b;
        EXPECT_EQ(sum.getHorizontalShift(), a.getHorizontalShift() + b.getHorizontalShift());
        EXPECT_EQ((a - b).getVerticalShift(), a.getVerticalShift() - b.getVerticalShift());
        EXPECT_GE((a - b).getRotationAngle(), 0.0f);
        EXPECT_LT(sum.getRotationAngle(), 360.0f);
        const double expected = std::fmod(double(a.getRotationAngle()) + b.getRotationAngle(), 360.0);
        EXPECT_NEAR(sum.getRotationAngle(), expected, 1e-3);
        EXPECT_NEAR((sum - b).getRotationAngle(), a.getRotationAngle(), 1e-3);
        EXPECT_TRUE((a - a).isNull());
    }
}
