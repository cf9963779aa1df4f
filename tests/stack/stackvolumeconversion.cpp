#include "stack/stackvolumeconversion.h"

#include "image/voxelmatrix.h"
#include "imagefiles.h"
#include "stack/stack.h"
#include "stack/stackslice.h"
#include "stackfixture.h"

#include <gtest/gtest.h>

using namespace stacktest;

namespace {

PixelCalibration pixels(float width, float height)
{
    PixelCalibration c;
    c.setLengthUnit(LengthUnit(-6));
    c.setPixelWidth(width);
    c.setPixelHeight(height);
    c.setAspectRatio(height / width);
    return c;
}

// A stack of n slices of rows x columns pixels, spaced by spacing.
void fill(Stack& stack, int n, int rows, int columns, const PixelCalibration& c, float spacing)
{
    stack.setLengthUnit(LengthUnit(-6));
    stack.setDefaultRelativePosition(spacing);
    for (int k = 0; k < n; ++k) {
        StackSlice* slice = newSlice("s" + std::to_string(k), rows, columns);
        slice->setPixelCalibration(c);
        stack.addSlice(slice);
    }
}

} // namespace

TEST(StackVolumeConversion, VoxelSizeIsTheDisplayPixelAndTheSpacing)
{
    Stack square;
    fill(square, 4, 40, 60, pixels(0.25f, 0.25f), 3.0f);
    VoxelCalibration c = StackVolumeConversion::voxelCalibration(square);
    EXPECT_EQ(c.getLengthUnit(), LengthUnit(-6));
    EXPECT_FLOAT_EQ(c.getVoxelHeight(), 0.25f);
    EXPECT_FLOAT_EQ(c.getVoxelWidth(), 0.25f);
    EXPECT_FLOAT_EQ(c.getVoxelDepth(), 3.0f);

    // Pixels twice as high as wide: the display keeps every row and shows
    // half the columns, each covering the height of a pixel.
    Stack tall;
    fill(tall, 2, 40, 60, pixels(0.5f, 1.0f), 2.0f);
    ASSERT_EQ(tall.getSlice(0)->width(), 30);
    c = StackVolumeConversion::voxelCalibration(tall);
    EXPECT_FLOAT_EQ(c.getVoxelHeight(), 1.0f);
    EXPECT_FLOAT_EQ(c.getVoxelWidth(), 1.0f);

    // Pixels half as high as wide: half the rows.
    Stack flat;
    fill(flat, 2, 40, 60, pixels(1.0f, 0.5f), 2.0f);
    ASSERT_EQ(flat.getSlice(0)->height(), 20);
    c = StackVolumeConversion::voxelCalibration(flat);
    EXPECT_FLOAT_EQ(c.getVoxelHeight(), 1.0f);
    EXPECT_FLOAT_EQ(c.getVoxelWidth(), 1.0f);
}

TEST(StackVolumeConversion, DepthIsTheMeanSpacing)
{
    Stack stack;
    fill(stack, 4, 10, 10, pixels(1.0f, 1.0f), 2.0f);
    EXPECT_TRUE(StackVolumeConversion::isEvenlySpaced(stack));
    // Positions 0, 2, 7, 9: three gaps over 9.
    stack.getSlice(2)->setAbsolutePosition(7.0f);
    stack.getSlice(3)->setRelativePosition(2.0f);
    EXPECT_FALSE(StackVolumeConversion::isEvenlySpaced(stack));
    EXPECT_FLOAT_EQ(StackVolumeConversion::voxelCalibration(stack).getVoxelDepth(), 3.0f);

    // One slice takes its own spacing; none at all leaves the default depth.
    Stack one;
    fill(one, 1, 10, 10, pixels(1.0f, 1.0f), 5.0f);
    EXPECT_FLOAT_EQ(StackVolumeConversion::voxelCalibration(one).getVoxelDepth(), 5.0f);
    Stack unspaced;
    fill(unspaced, 1, 10, 10, pixels(1.0f, 1.0f), 0.0f);
    EXPECT_FLOAT_EQ(StackVolumeConversion::voxelCalibration(unspaced).getVoxelDepth(), 1.0f);
}

TEST(StackVolumeConversion, PlanesHoldTheSliceImages)
{
    ImageFiles files;
    Stack stack;
    stack.setLengthUnit(LengthUnit(-3));
    stack.setDefaultRelativePosition(0.5f);
    for (int k = 0; k < 3; ++k) {
        auto* slice = new StackSlice("s" + std::to_string(k));
        // Red carries x + k, green y, blue 7.
        slice->setImageSource(files.write("c" + std::to_string(k) + ".tif", 12, 9, 24, [k](int x, int y, int b) {
            return b == 0 ? x + k : b == 1 ? y : 7;
        }));
        slice->setPixelCalibration(pixels(0.1f, 0.1f));
        stack.addSlice(slice);
    }
    StackVolumeConversion conversion;
    conversion.setContent(ImageColorContent::RedOnly);
    const VoxelMatrix<float> red = conversion.apply<float>(stack);
    ASSERT_EQ(red.getSize(), (Vector<int>{9, 12, 3}));
    EXPECT_EQ(red.getVoxelCalibration(), StackVolumeConversion::voxelCalibration(stack));
    EXPECT_EQ(red.getVoxelCalibration().getLengthUnit(), LengthUnit(-3));
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 9; ++i)
            for (int j = 0; j < 12; ++j)
                ASSERT_EQ(red(i, j, k), static_cast<float>(j + k));

    conversion.setContent(ImageColorContent::Grayscale);
    const VoxelMatrix<double> grey = conversion.apply<double>(stack);
    // Pixel (x 5, y 4) of slice 2: red 7, green 4, blue 7, grey their mean.
    EXPECT_EQ(grey(4, 5, 2), static_cast<double>((7 + 4 + 7) / 3));

    EXPECT_TRUE(conversion.apply<float>(Stack()).isEmpty());
}
