#include "image/colormap.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectCell(const Colormap& map, int i, int r, int g, int b)
{
    EXPECT_EQ(map.getRed()[i], r) << "cell " << i;
    EXPECT_EQ(map.getGreen()[i], g) << "cell " << i;
    EXPECT_EQ(map.getBlue()[i], b) << "cell " << i;
}

} // namespace

TEST(Colormap, ColdToHotOfEightCells)
{
    const Colormap map = Colormap::cold2Hot(8);
    ASSERT_EQ(map.getSize(), 8);
    // q = 2: blue, cyan, green, yellow and red ramps of two cells each.
    expectCell(map, 0, 0, 0, 255);
    expectCell(map, 1, 0, 0, 255);
    expectCell(map, 2, 0, 255, 255);
    expectCell(map, 3, 0, 255, 0);
    expectCell(map, 4, static_cast<int>(255.0 * std::log(2.0) / std::log(3.0)), 255, 0);
    expectCell(map, 5, 255, 255, 0);
    expectCell(map, 6, 255, static_cast<int>(255.0 * std::log(2.0) / std::log(3.0)), 0);
    expectCell(map, 7, 255, 0, 0);
}

TEST(Colormap, ColdToHotNeedsAMultipleOfFour)
{
    for (unsigned int n : {1u, 2u, 6u, 257u})
        EXPECT_PLEXAN_THROW(Colormap::cold2Hot(n), SizeError, "Colormap Colormap::cold2Hot(const unsigned int)",
                            "Colormap dimension is not a multiple of 4");
    EXPECT_EQ(Colormap::cold2Hot(0).getSize(), 0);
    // One cell per quarter: the ramps degenerate but stay bytes.
    const Colormap four = Colormap::cold2Hot(4);
    expectCell(four, 0, 0, 0, 255);
    expectCell(four, 3, 255, 0, 0);
}

TEST(Colormap, ColdToHotRampsAreMonotonic)
{
    const Colormap map = Colormap::cold2Hot(256);
    const int q = 64;
    for (int i = 1; i < q; ++i) {
        EXPECT_GE(map.getGreen()[i], map.getGreen()[i - 1]);          // blue to cyan
        EXPECT_LE(map.getBlue()[q + i], map.getBlue()[q + i - 1]);    // cyan to green
        EXPECT_GE(map.getRed()[2 * q + i], map.getRed()[2 * q + i - 1]); // green to yellow
        EXPECT_LE(map.getGreen()[3 * q + i], map.getGreen()[3 * q + i - 1]); // yellow to red
    }
    expectCell(map, 255, 255, 0, 0);
}

TEST(Colormap, FlagPalette)
{
    const Colormap map = Colormap::flag();
    ASSERT_EQ(map.getSize(), 16);
    expectCell(map, 0, 0, 0, 0);
    expectCell(map, 1, 255, 255, 255);
    expectCell(map, 3, 85, 0, 255);
    expectCell(map, 6, 170, 255, 127);
    expectCell(map, 13, 170, 85, 0);
    expectCell(map, 15, 255, 0, 255);
}

TEST(Colormap, GreyRampsAndConversion)
{
    Colormap map(256);
    map.makeGrayscale();
    EXPECT_TRUE(map.isIdentity());
    EXPECT_TRUE(map.isGrayscale());
    Colormap four(4);
    four.makeGrayscale();
    for (int i = 0; i < 4; ++i)
        expectCell(four, i, 85 * i, 85 * i, 85 * i);
    EXPECT_FALSE(four.isIdentity());
    Colormap one(1);
    one.makeGrayscale();
    expectCell(one, 0, 0, 0, 0);

    Colormap colour(2);
    colour.setCell(0, 10, 20, 31);
    colour.setCell(1, 255, 255, 254);
    EXPECT_FALSE(colour.isGrayscale());
    colour.convertToGrayscale();
    expectCell(colour, 0, 20, 20, 20);
    expectCell(colour, 1, 254, 254, 254);
    EXPECT_TRUE(colour.isGrayscale());
}

TEST(Colormap, SinglePrimaryPredicates)
{
    Colormap red(3);
    red.setCell(1, 100, 0, 0);
    red.setCell(2, 255, 0, 0);
    EXPECT_TRUE(red.isRedOnly());
    EXPECT_FALSE(red.isGreenOnly());
    EXPECT_FALSE(red.isBlueOnly());
    Colormap green(red);
    green.setCell(1, 0, 7, 0);
    green.setCell(2, 0, 9, 0);
    EXPECT_TRUE(green.isGreenOnly());
    EXPECT_FALSE(green.isRedOnly());
    EXPECT_NE(green, red);
    green.setCell(2, 0, 9, 1);
    EXPECT_FALSE(green.isGreenOnly());
    EXPECT_TRUE(Colormap().isGrayscale());

    // Resizing keeps the cells that remain and blackens the new ones.
    red.setSize(4);
    expectCell(red, 2, 255, 0, 0);
    expectCell(red, 3, 0, 0, 0);
    red.setSize(2);
    EXPECT_EQ(red.getSize(), 2);
    expectCell(red, 1, 100, 0, 0);
}
