#include "stack/stackvolumeconversion.h"

#include "image/voxelmatrix.h"
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

// Voxels are the display pixels (square, the larger side of the image
// pixel) by the mean spacing; one slice takes its own spacing, none at all
// leaves a depth of 1.
TEST(StackVolumeConversion, VoxelSizeIsTheDisplayPixelAndTheMeanSpacing)
{
    const struct {
        float width, height, spacing, voxel, depth;
    } cases[] = {{0.25f, 0.25f, 3.0f, 0.25f, 3.0f}, {0.5f, 1.0f, 2.0f, 1.0f, 2.0f}, {1.0f, 0.5f, 2.0f, 1.0f, 2.0f}};
    for (const auto& c : cases) {
        Stack stack;
        fill(stack, 4, 40, 60, pixels(c.width, c.height), c.spacing);
        const VoxelCalibration v = StackVolumeConversion::voxelCalibration(stack);
        EXPECT_EQ(v.getLengthUnit(), LengthUnit(-6));
        EXPECT_FLOAT_EQ(v.getVoxelHeight(), c.voxel);
        EXPECT_FLOAT_EQ(v.getVoxelWidth(), c.voxel);
        EXPECT_FLOAT_EQ(v.getVoxelDepth(), c.depth);
    }
    Stack stack;
    fill(stack, 4, 10, 10, pixels(1.0f, 1.0f), 2.0f);
    EXPECT_TRUE(StackVolumeConversion::isEvenlySpaced(stack));
    // Positions 0, 2, 7, 9: three gaps over 9.
    stack.getSlice(2)->setAbsolutePosition(7.0f);
    stack.getSlice(3)->setRelativePosition(2.0f);
    EXPECT_FALSE(StackVolumeConversion::isEvenlySpaced(stack));
    EXPECT_FLOAT_EQ(StackVolumeConversion::voxelCalibration(stack).getVoxelDepth(), 3.0f);
    for (const float spacing : {5.0f, 0.0f}) {
        Stack one;
        fill(one, 1, 10, 10, pixels(1.0f, 1.0f), spacing);
        EXPECT_FLOAT_EQ(StackVolumeConversion::voxelCalibration(one).getVoxelDepth(), spacing ? spacing : 1.0f);
    }
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
