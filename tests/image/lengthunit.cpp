#include "image/lengthunit.h"

#include "support/expect.h"

#include <gtest/gtest.h>

TEST(LengthUnit, PrefixesFollowTheExponentTable)
{
    const Vector<int> scales = LengthUnit::availableScales();
    const std::vector<std::string> symbols = LengthUnit::availableSymbols(), names = LengthUnit::availableNames();
    ASSERT_EQ(scales.getSize(), 17);
    ASSERT_EQ(symbols.size(), 17u);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(scales[i], -24 + 3 * i);
        EXPECT_EQ(LengthUnit(scales[i]).symbol(), symbols[i] + "m");
        EXPECT_EQ(LengthUnit(scales[i]).name(), names[i] + "meter");
    }
    EXPECT_EQ(symbols[0] + symbols[6] + symbols[8] + symbols[16], "yµY");
    EXPECT_EQ(names[0] + names[6] + names[8] + names[16], "yoptomicroyotta");
    for (int scale : {-27, -5, 1, 25})
        EXPECT_EQ(LengthUnit(scale).symbol() + LengthUnit(scale).name(), "???m???meter") << scale;
}
