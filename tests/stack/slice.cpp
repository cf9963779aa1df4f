#include "stack/slice.h"

#include "imagefiles.h"
#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

using namespace stacktest;

namespace {

std::unique_ptr<StackSlice> withAspect(int rows, int columns, float aspect)
{
    return std::unique_ptr<StackSlice>(newSlice("s", rows, columns, 1.0f, aspect));
}

} // namespace

TEST(Slice, DisplaySizeHasSquarePixelsAndNeverGrows)
{
    const auto tall = withAspect(100, 80, 2.0f);
    EXPECT_EQ(tall->width(), 40);
    EXPECT_EQ(tall->height(), 100);
    const auto wideSlice = withAspect(100, 80, 0.5f);
    const StackSlice& wide = *wideSlice;
    EXPECT_EQ(wide.width(), 80);
    EXPECT_EQ(wide.height(), 50);
    const BoundingBox<int> box = wide.boundingBox();
    EXPECT_EQ(box.getVertex1(), (Vector<int>{0, 0}));
    EXPECT_EQ(box.getVertex2(), (Vector<int>{79, 49}));

    // Requested sizes shrink to the 80:50 ratio.
    int w = 40, h = 40;
    wide.sizeForSize(w, h);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 25);
    w = 100, h = 10;
    wide.sizeForSize(w, h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 10);
    w = 160, h = 100;
    wide.sizeForSize(w, h);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 100);
}

TEST(Slice, SourceIsOwnedAndRequired)
{
    StackSlice slice;
    EXPECT_TRUE(slice.isEmpty());
    EXPECT_EQ(slice.width(), 0);
    EXPECT_EQ(slice.getName(), "<slice>");
    EXPECT_PLEXAN_THROW(slice.getImageSource(), ProgramError,
                        "const ImageSource& Slice::getImageSource() const",
                        "This slice has no image source");
    {
        const FixedSizeSource source(3, 4);
        slice.setImageSource(source);
    }
    EXPECT_FALSE(slice.isEmpty());
    EXPECT_EQ(slice.getImageSource().getSize2(), 4);
    EXPECT_EQ(slice.getCalibrationCurve(), nullptr);
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
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(image.getRow(y)[x], 77);

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
