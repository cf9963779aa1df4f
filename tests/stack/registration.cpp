#include "stack/registration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

TEST(Registration, AnglesWrapOnceIntoOneTurn)
{
    EXPECT_FLOAT_EQ((Registration(0, 0, 350) + Registration(0, 0, 20)).getRotationAngle(), 10.0f);
    EXPECT_FLOAT_EQ((Registration(0, 0, 10) - Registration(0, 0, 20)).getRotationAngle(), 350.0f);
    EXPECT_FLOAT_EQ((Registration(0, 0, 180) + Registration(0, 0, 180)).getRotationAngle(), 0.0f);

    // On random operands in [0, 360), sums and differences agree with the
    // angle reduced modulo one turn, and the shifts add.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> angle(0.0f, 359.9f);
    std::uniform_int_distribution<int> shift(-500, 500);
    for (int k = 0; k < 1000; ++k) {
        const Registration a(shift(rng), shift(rng), angle(rng));
        const Registration b(shift(rng), shift(rng), angle(rng));
        const Registration sum = a + b;
        const Registration difference = a - b;
        EXPECT_EQ(sum.getHorizontalShift(), a.getHorizontalShift() + b.getHorizontalShift());
        EXPECT_EQ(difference.getVerticalShift(), a.getVerticalShift() - b.getVerticalShift());
        for (const Registration& r : {sum, difference}) {
            EXPECT_GE(r.getRotationAngle(), 0.0f);
            EXPECT_LT(r.getRotationAngle(), 360.0f);
        }
        const double expected = std::fmod(double(a.getRotationAngle()) + b.getRotationAngle(), 360.0);
        EXPECT_NEAR(sum.getRotationAngle(), expected, 1e-3);
        // Subtracting what was added gives the first operand back.
        EXPECT_NEAR((sum - b).getRotationAngle(), a.getRotationAngle(), 1e-3);
        EXPECT_EQ((sum - b).getHorizontalShift(), a.getHorizontalShift());
    }
}

TEST(Registration, NullAndEquality)
{
    EXPECT_TRUE(Registration().isNull());
    EXPECT_FALSE(Registration(0, 1, 0).isNull());
    EXPECT_FALSE(Registration(0, 0, 0.5f).isNull());
    EXPECT_EQ(Registration(1, 2, 3), Registration(1, 2, 3));
    EXPECT_NE(Registration(1, 2, 3), Registration(2, 1, 3));
    EXPECT_TRUE((Registration(4, -2, 30) - Registration(4, -2, 30)).isNull());
}
