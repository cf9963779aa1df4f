#include "image/imageconversion.h"

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

TEST(ImageConversion, IndexedImagesToGrey)
{
    Image indexed = randomImage(3, 3, 8, 17);
    indexed.setColormap(colourMap());
    const Image before(indexed);
    ImageConversion conversion; // non-indexed 8-bit grey
    EXPECT_TRUE(conversion.apply(indexed));
    EXPECT_FALSE(indexed.hasColormap());
    for (int k = 0; k < 9; ++k) {
        const int v = before.getData()[k];
        EXPECT_EQ(indexed.getData()[k], (v + (255 - v) + v / 2) / 3);
    }
    // Already of the requested kind: left alone.
    const Image grey(indexed);
    EXPECT_TRUE(conversion.apply(indexed));
    EXPECT_EQ(indexed, grey);
    // Indexed grey requested: the colormap turns grey, the indices stay.
    Image keep(before);
    conversion.setIndexed(true);
    EXPECT_TRUE(conversion.apply(keep));
    EXPECT_TRUE(keep.isIndexed());
    EXPECT_TRUE(keep.getColormap()->isGrayscale());
    // Unsupported request: reported, image unchanged.
    Image rgb = randomImage(2, 2, 24, 18);
    const Image rgbBefore(rgb);
    conversion.setIndexed(false);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(conversion.apply(rgb));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Orvo Image Lib: Conversion not implemented\n");
    EXPECT_EQ(rgb, rgbBefore);
}
