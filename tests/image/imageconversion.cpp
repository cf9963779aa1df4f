#include "image/imageconversion.h"

#include "imagesupport.h"

using namespace imagetest;

TEST(ImageConversion, IndexedColourImagesToGrey)
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
    // Indexed grey requested: the colormap turns grey, the indices stay.
    Image keep(before);
    conversion.setIndexed(true);
    EXPECT_TRUE(conversion.apply(keep));
    EXPECT_TRUE(keep.getColormap()->isGrayscale());
    EXPECT_EQ(bytesOf(keep), bytesOf(before));
    // Unsupported request: reported, image unchanged.
    Image rgb = randomImage(2, 2, 24, 18);
    const Image rgbBefore(rgb);
    conversion.setIndexed(false);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(conversion.apply(rgb));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Orvo Image Lib: Conversion not implemented\n");
    EXPECT_EQ(rgb, rgbBefore);
}
