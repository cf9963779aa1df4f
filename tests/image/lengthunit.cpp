#include "image/lengthunit.h"

#include "support/expect.h"

#include <gtest/gtest.h>

TEST(LengthUnit, PrefixesFollowTheExponentTable)
{
    const Vector<int> scales = LengthUnit::availableScales();
    const auto& symbols = LengthUnit::availableSymbols();
    const auto& names = LengthUnit::availableNames();
    ASSERT_EQ(scales.getSize(), 17);
    ASSERT_EQ(symbols.size(), 17u);
    ASSERT_EQ(names.size(), 17u);
    for (int i = 0; i < scales.getSize(); ++i) {
        EXPECT_EQ(scales[i], -24 + 3 * i);
        const LengthUnit unit(scales[i]);
        EXPECT_EQ(unit.symbol(), symbols[static_cast<std::size_t>(i)] + "m");
        EXPECT_EQ(unit.name(), names[static_cast<std::size_t>(i)] + "meter");
    }
    EXPECT_EQ(LengthUnit(-6).name(), "micrometer");
    EXPECT_EQ(LengthUnit(-6).symbol(), "µm");
    EXPECT_EQ(LengthUnit(-3).symbol(), "mm");
    EXPECT_EQ(LengthUnit(0).name(), "meter");
    EXPECT_EQ(LengthUnit(0).symbol(), "m");
    EXPECT_EQ(LengthUnit(3).name(), "kilometer");
    EXPECT_EQ(LengthUnit(-24).name(), "yoptometer");
    EXPECT_EQ(LengthUnit(24).symbol(), "Ym");
    EXPECT_EQ(LengthUnit().getScale(), 0);
}

TEST(LengthUnit, ExponentsWithoutPrefixAreMarked)
{
    for (int scale : {-27, -5, 1, 2, 25, 27}) {
        EXPECT_EQ(LengthUnit(scale).symbol(), "???m") << scale;
        EXPECT_EQ(LengthUnit(scale).name(), "???meter") << scale;
    }
    EXPECT_EQ(LengthUnit(-6), LengthUnit(-6));
    EXPECT_NE(LengthUnit(-6), LengthUnit(-3));
}
