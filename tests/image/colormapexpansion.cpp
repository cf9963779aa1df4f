#include "image/colormapexpansion.h"

#include "imagesupport.h"

using namespace imagetest;

TEST(ColormapExpansion, IndexedImagesBecomeDirect)
{
    Image indexed = randomImage(3, 3, 8, 16);
    indexed.setColormap(colourMap());
    Image expected(indexed), out;
    expected.make24bits();
    ColormapExpansion expansion;
    expansion.apply(out, indexed);
    EXPECT_EQ(out, expected);
    expansion.setTargetDepth(32);
    expansion.apply(out, indexed);
    expected.make32bits();
    EXPECT_EQ(out, expected);
    // To 8 bits only with a grey colormap, whose red components it takes.
    expansion.setTargetDepth(8);
    Image same(indexed);
    expansion.apply(same);
    EXPECT_EQ(same, indexed) << "a colour colormap stays";
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
