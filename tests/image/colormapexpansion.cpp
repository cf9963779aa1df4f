#include "image/colormapexpansion.h"

#include "image/image.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <random>

namespace {

Image randomImage(int width, int height, int depth, unsigned seed)
{
    Image image(width, height, depth);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(0, 255);
    for (std::size_t k = 0; k < image.dataLength(); ++k)
        image.getData()[k] = static_cast<unsigned char>(d(rng));
    return image;
}

// Cell i is (i, 255 - i, i / 2).
Colormap colourMap()
{
    Colormap map(256);
    for (int i = 0; i < 256; ++i)
        map.setCell(i, static_cast<unsigned char>(i), static_cast<unsigned char>(255 - i),
                    static_cast<unsigned char>(i / 2));
    return map;
}

} // namespace

TEST(ColormapExpansion, IndexedImagesBecomeDirect)
{
    Image indexed = randomImage(3, 3, 8, 16);
    indexed.setColormap(colourMap());
    Image expected(indexed);
    expected.make24bits();
    Image out;
    ColormapExpansion expansion;
    expansion.apply(out, indexed);
    EXPECT_EQ(out, expected);
    expansion.setTargetDepth(32);
    expansion.apply(out, indexed);
    expected.make32bits();
    EXPECT_EQ(out, expected);
    // A colour colormap is not reduced to 8 bits; a grey one gives its levels.
    expansion.setTargetDepth(8);
    Image same(indexed);
    expansion.apply(same);
    EXPECT_EQ(same, indexed);
    Colormap ramp(256);
    for (int i = 0; i < 256; ++i)
        ramp.setCell(i, static_cast<unsigned char>(255 - i), static_cast<unsigned char>(255 - i),
                     static_cast<unsigned char>(255 - i));
    indexed.setColormap(ramp);
    expansion.apply(out, indexed);
    EXPECT_FALSE(out.hasColormap());
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(out.getData()[k], 255 - indexed.getData()[k]);
    EXPECT_THROW(expansion.setTargetDepth(16), DepthError);
}
