#include "stack/stack.h"

#include "image/voxelmatrix.h"
#include "imagefiles.h"
#include "stack/calibrationcurve.h"
#include "stack/standardimage.h"
#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

using namespace stacktest;

TEST(Stack, RegularStacks)
{
    Stack stack;
    EXPECT_FALSE(stack.isRegular());
    stack.addSlice(newSlice("a", 10, 20));
    EXPECT_TRUE(stack.isRegular());
    stack.addSlice(newSlice("b", 10, 20));
    stack.addSlice(newSlice("c", 10, 20));
    EXPECT_TRUE(stack.isRegular());

    stack.getSlice(2)->setRelativePosition(3.0f);
    EXPECT_FALSE(stack.isRegular());
    stack.getSlice(1)->setRelativePosition(3.0f);
    EXPECT_TRUE(stack.isRegular());

    // The first slice's registration does not matter, the others' do.
    stack.getSlice(0)->setRegistration(Registration(4, 0, 10));
    EXPECT_TRUE(stack.isRegular());
    stack.getSlice(1)->setRegistration(Registration(0, 0, 0.5f));
    EXPECT_FALSE(stack.isRegular());
    stack.getSlice(1)->setRegistration(Registration());

    // Display sizes must match: a non-square pixel shrinks the slice.
    stack.getSlice(2)->getPixelCalibration().setAspectRatio(2.0f);
    EXPECT_FALSE(stack.isRegular());
}

TEST(Stack, ModelsByNameAndGeometry)
{
    Stack stack;
    stack.addSlice(newSlice("s"));
    auto* lines = new Model("lines");
    lines->getProperties().setGeometry(MPrimitive::Polyline);
    stack.addModel(lines);
    stack.addModel(new Model("outlines"));
    // Listed once, or the stack would delete it twice.
    stack.addModel(lines);
    stack.addSlice(stack.getSlice(0));
    EXPECT_EQ(stack.getNumModels(), 2);
    EXPECT_EQ(stack.getNumSlices(), 1);
    EXPECT_EQ(stack.findModel("outlines"), 1);
    EXPECT_EQ(stack.findModel("Outlines"), -1);
    EXPECT_EQ(stack.findModel(lines), 0);
    EXPECT_TRUE(stack.hasGeometryModels(MPrimitive::Polyline));
    EXPECT_FALSE(stack.hasGeometryModels(MPrimitive::Polypoint));
    EXPECT_FALSE(stack.hasGeometryModelItems(MPrimitive::Polyline));
    newItem(lines, stack.getSlice(0), {{1, 1}});
    EXPECT_TRUE(stack.hasGeometryModelItems(MPrimitive::Polyline));
    EXPECT_FALSE(stack.hasGeometryModelItems(MPrimitive::Polygon));
}

TEST(Stack, UnitsCalibrationsAndClearing)
{
    Stack stack;
    EXPECT_EQ(stack.getLengthUnit().getScale(), -6);
    stack.addSlice(newSlice("a"));
    stack.setLengthUnit(LengthUnit(-3));
    EXPECT_EQ(stack.getSlice(0)->getPixelCalibration().getLengthUnit().getScale(), -3);
    EXPECT_EQ(stack.getDefaultPixelCalibration().getLengthUnit().getScale(), -3);

    auto* standard = new StandardImage("grey wedge");
    standard->setCalibrationCurve(CalibrationCurve("wedge"));
    stack.addStandardImage(standard);
    stack.addStandardImage(new StandardImage("plain"));
    EXPECT_EQ(standard->getStack(), &stack);
    EXPECT_EQ(stack.getNumCalibration(), 2);
    EXPECT_EQ(stack.getCalibration(0)->getName(), "wedge");
    EXPECT_EQ(stack.getCalibration(1), nullptr);
    EXPECT_EQ(stack.getCalibration("grey wedge"), stack.getCalibration(0));
    EXPECT_EQ(stack.getCalibration("wedge"), nullptr);

    stack.addModel(new Model);
    newItem(stack.getModel(0), stack.getSlice(0), {{0, 0}});
    stack.setLastSegmentedSlice("a");
    stack.clear();
    EXPECT_EQ(stack.getNumSlices(), 0);
    EXPECT_EQ(stack.getNumModels(), 0);
    EXPECT_EQ(stack.getNumStandardImages(), 0);
    EXPECT_EQ(stack.getLastSegmentedSlice(), "");
    EXPECT_EQ(stack.getLengthUnit().getScale(), -3);
}

TEST(Stack, ColorContentAndVoxelMatrices)
{
    ImageFiles files;
    Stack stack;
    EXPECT_EQ(stack.colorContent(), 5);
    auto grey = [](int x, int y, int) { return 10 * y + x; };
    for (int z = 0; z < 3; ++z) {
        auto* slice = new StackSlice("s" + std::to_string(z));
        slice->setImageSource(files.write("g" + std::to_string(z) + ".tif", 5, 4, 8,
                                          [&](int x, int y, int b) { return grey(x, y, b) + z; }));
        stack.addSlice(slice);
    }
    EXPECT_EQ(stack.colorContent(), 0);

    const VoxelMatrix<float> volume = stack.toVoxelMatrix<float>(ImageColorContent::Grayscale);
    ASSERT_EQ(volume.getSize(), (Vector<int>{4, 5, 3}));
    for (int z = 0; z < 3; ++z)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(volume(y, x, z), float(10 * y + x + z));

    // A red-only slice among grey ones: colour at the first difference. Its
    // green plane reads 0; its grey form is the mean of the three bytes.
    auto* red = new StackSlice("red");
    red->setImageSource(files.write("r.tif", 5, 4, 24, [](int x, int, int b) { return b == 0 ? 3 * x + 1 : 0; }));
    stack.addSlice(red);
    EXPECT_EQ(stack.colorContent(), 4);
    const VoxelMatrix<int> reds = stack.toVoxelMatrix<int>(ImageColorContent::RedOnly);
    EXPECT_EQ(reds(2, 4, 3), 13);
    EXPECT_EQ(reds(2, 4, 1), 10 * 2 + 4 + 1);
    EXPECT_EQ(stack.toVoxelMatrix<double>(ImageColorContent::GreenOnly)(2, 4, 3), 0.0);
    EXPECT_EQ(stack.toVoxelMatrix<long double>(ImageColorContent::Grayscale)(2, 4, 3), 13 / 3);

    auto* small = new StackSlice("small");
    small->setImageSource(files.write("small.tif", 2, 2, 8, grey));
    stack.addSlice(small);
    EXPECT_THROW(stack.toVoxelMatrix<float>(ImageColorContent::Grayscale), SizeError);
}
