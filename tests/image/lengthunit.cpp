#include "image/lengthunit.h"

#include "support/expect.h"

#include <gtest/gtest.h>

TEST(LengthUnit, PrefixesFollowTheExponentTable)
{
    const Vector<int> scales = LengthUnit::availableScales();
    const std::vector<std::string> symbols{"y", "z", "a", "f", "p", "n", "µ", "m", "", "k", "M", "G", "T", "P", "E", "Z", "Y"},
        names{"yopto", "zepto", "atto", "femto", "pico", "nano", "micro", "milli", "",
              "kilo",  "mega",  "giga", "tera",  "peta", "exa",  "zetta", "yotta"};
    ASSERT_EQ(scales.getSize(), 17);
    EXPECT_EQ(LengthUnit::availableSymbols(), symbols);
    EXPECT_EQ(LengthUnit::availableNames(), names);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(scales[i], -24 + 3 * i);
        EXPECT_EQ(LengthUnit(scales[i]).symbol(), symbols[i] + "m");
        EXPECT_EQ(LengthUnit(scales[i]).name(), names[i] + "meter");
    }
    for (int scale : {-27, -5, 1, 25}) {
        EXPECT_EQ(LengthUnit(scale).symbol(), "???m") << scale;
        EXPECT_EQ(LengthUnit(scale).name(), "???meter") << scale;
    }
}
