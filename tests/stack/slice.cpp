#include "stack/slice.h"

#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>

using namespace stacktest;

namespace {

std::unique_ptr<StackSlice> withAspect(int rows, int columns, float aspect)
{
    return std::unique_ptr<StackSlice>(newSlice("s", rows, columns, 1.0f, aspect));
}

} // namespace

// The display size has square pixels and never grows; requested sizes
// shrink to its ratio.
TEST(Slice, DisplaySizeHasSquarePixelsAndNeverGrows)
{
    EXPECT_EQ(withAspect(100, 80, 2.0f)->width(), 40);
    const auto wide = withAspect(100, 80, 0.5f);
    EXPECT_EQ(wide->width(), 80);
    EXPECT_EQ(wide->height(), 50);
    EXPECT_EQ(wide->boundingBox().getVertex2(), (Vector<int>{79, 49}));
    for (const auto& [w0, h0, w1, h1] : {std::array{40, 40, 40, 25}, {100, 10, 16, 10}, {160, 100, 160, 100}}) {
        int w = w0, h = h0;
        wide->sizeForSize(w, h);
        EXPECT_EQ(w, w1);
        EXPECT_EQ(h, h1);
    }
    StackSlice empty;
    EXPECT_EQ(empty.width(), 0);
    EXPECT_PLEXAN_THROW(empty.getImageSource(), ProgramError, "const ImageSource& Slice::getImageSource() const",
                        "This slice has no image source");
}

TEST(Slice, LoadReadsAndResizesToTheDisplaySize)
{
    ImageFiles files;
    StackSlice slice;
    // 6 rows x 8 columns of one grey level, pixels twice as high as wide.
    slice.setImageSource(files.write("flat.tif", 8, 6, 8, [](int, int, int) { return 77; }));
    slice.getPixelCalibration().setPixelWidth(1.0f);
    slice.getPixelCalibration().setAspectRatio(2.0f);
    Image image;
    slice.load(image);
    EXPECT_EQ(image.getWidth(), 4);
    EXPECT_EQ(image.getHeight(), 6);
    EXPECT_EQ(image.getRow(5)[3], 77);

    // Square pixels: the image as written. A horizontal ramp narrowed to 5
    // pixels stays increasing.
    slice.setImageSource(files.write("ramp.tif", 9, 2, 24, [](int x, int, int b) { return 30 * x + b; }));
    slice.getPixelCalibration().setAspectRatio(1.0f);
    slice.load(image);
    ASSERT_EQ(image.getWidth(), 9);
    EXPECT_EQ(image.getRow(1)[3 * 8 + 2], 242);
    slice.getPixelCalibration().setAspectRatio(1.8f);
    slice.load(image);
    ASSERT_EQ(image.getWidth(), 5);
    ASSERT_EQ(image.getDepth(), 24);
    for (int x = 1; x < 5; ++x)
        EXPECT_LT(image.getRow(0)[3 * (x - 1)], image.getRow(0)[3 * x]);
}
