#include "image/colormap.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The cells of map as (red, green, blue) triples.
std::vector<std::array<int, 3>> cells(const Colormap& map)
{
    std::vector<std::array<int, 3>> out;
    for (int i = 0; i < map.getSize(); ++i)
        out.push_back({map.getRed()[i], map.getGreen()[i], map.getBlue()[i]});
    return out;
}

} // namespace

TEST(Colormap, ColdToHotRampsFromTheLogarithms)
{
    // Eight cells, q = 2: blue, cyan, green, yellow and red ramps of two cells.
    const int t = static_cast<int>(255.0 * std::log(2.0) / std::log(3.0));
    EXPECT_EQ(cells(Colormap::cold2Hot(8)),
              (std::vector<std::array<int, 3>>{{0, 0, 255}, {0, 0, 255}, {0, 255, 255}, {0, 255, 0}, {t, 255, 0},
                                               {255, 255, 0}, {255, t, 0}, {255, 0, 0}}));
    // 256 cells: each quarter's ramp is monotonic.
    const Colormap map = Colormap::cold2Hot(256);
    for (int i = 1; i < 64; ++i) {
        EXPECT_GE(map.getGreen()[i], map.getGreen()[i - 1]);
        EXPECT_LE(map.getBlue()[64 + i], map.getBlue()[64 + i - 1]);
        EXPECT_GE(map.getRed()[128 + i], map.getRed()[128 + i - 1]);
        EXPECT_LE(map.getGreen()[192 + i], map.getGreen()[192 + i - 1]);
    }
    for (unsigned int n : {6u, 257u})
        EXPECT_PLEXAN_THROW(Colormap::cold2Hot(n), SizeError, "Colormap Colormap::cold2Hot(const unsigned int)",
                            "Colormap dimension is not a multiple of 4");
}

TEST(Colormap, FlagGreyRampsAndPredicates)
{
    const auto flag = cells(Colormap::flag());
    ASSERT_EQ(flag.size(), 16u);
    EXPECT_EQ(flag[3], (std::array<int, 3>{85, 0, 255}));
    EXPECT_EQ(flag[6], (std::array<int, 3>{170, 255, 127}));
    EXPECT_EQ(flag[13], (std::array<int, 3>{170, 85, 0}));

    Colormap map(256), four(4);
    map.makeGrayscale();
    four.makeGrayscale();
    EXPECT_TRUE(map.isIdentity());
    EXPECT_EQ(cells(four), (std::vector<std::array<int, 3>>{{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}}));
    EXPECT_FALSE(four.isIdentity());

    Colormap colour(3);
    colour.setCell(1, 10, 20, 31);
    colour.setCell(2, 255, 255, 254);
    EXPECT_FALSE(colour.isGrayscale());
    colour.convertToGrayscale();
    EXPECT_EQ(cells(colour), (std::vector<std::array<int, 3>>{{0, 0, 0}, {20, 20, 20}, {254, 254, 254}}));

    // Single primaries; resizing keeps the remaining cells and blackens new ones.
    Colormap red(3);
    red.setCell(1, 100, 0, 0);
    red.setCell(2, 255, 0, 0);
    EXPECT_TRUE(red.isRedOnly() && !red.isGreenOnly() && !red.isBlueOnly());
    red.setCell(1, 100, 0, 1);
    EXPECT_FALSE(red.isRedOnly());
    red.setCell(1, 100, 0, 0);
    red.setSize(4);
    EXPECT_EQ(cells(red), (std::vector<std::array<int, 3>>{{0, 0, 0}, {100, 0, 0}, {255, 0, 0}, {0, 0, 0}}));
}
