#include "stack/stack.h"

#include "image/voxelmatrix.h"
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
    for (const char* name : {"a", "b", "c"})
        stack.addSlice(newSlice(name, 10, 20));
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
    Model* lines = newModel(stack, "lines", MPrimitive::Polyline);
    newModel(stack, "outlines");
    // Listed once, or the stack would delete it twice.
    stack.addModel(lines);
    stack.addSlice(stack.getSlice(0));
    EXPECT_EQ(stack.getNumModels(), 2);
    EXPECT_EQ(stack.getNumSlices(), 1);
    EXPECT_EQ(stack.findModel("Outlines"), -1);
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
    EXPECT_EQ(stack.getCalibration(1), nullptr);
    EXPECT_EQ(stack.getCalibration("grey wedge")->getName(), "wedge");
    EXPECT_EQ(stack.getCalibration("wedge"), nullptr);

    stack.addModel(new Model);
    newItem(stack.getModel(0), stack.getSlice(0), {{0, 0}});
    stack.setLastSegmentedSlice("a");
    stack.clear();
    EXPECT_EQ(stack.getNumSlices() + stack.getNumModels() + stack.getNumStandardImages(), 0);
    EXPECT_EQ(stack.getLastSegmentedSlice(), "");
    EXPECT_EQ(stack.getLengthUnit().getScale(), -3);
}

// The stack's colour content is decided at the first slice that differs;
// its volumes are checked with the volume conversion.
TEST(Stack, ColorContentAndMismatchedSlices)
{
    ImageFiles files;
    Stack stack;
    EXPECT_EQ(stack.colorContent(), 5);
    auto grey = [](int x, int y, int) { return 10 * y + x; };
    for (int z = 0; z < 2; ++z) {
        auto* slice = new StackSlice("s" + std::to_string(z));
        slice->setImageSource(files.write("g" + std::to_string(z) + ".tif", 5, 4, 8, grey));
        stack.addSlice(slice);
    }
    EXPECT_EQ(stack.colorContent(), 0);
    // A red-only slice among grey ones: its green plane reads 0.
    auto* red = new StackSlice("red");
    red->setImageSource(files.write("r.tif", 5, 4, 24, [](int x, int, int b) { return b == 0 ? 3 * x + 1 : 0; }));
    stack.addSlice(red);
    EXPECT_EQ(stack.colorContent(), 4);
    EXPECT_EQ(stack.toVoxelMatrix<int>(ImageColorContent::RedOnly)(2, 4, 2), 13);
    EXPECT_EQ(stack.toVoxelMatrix<int>(ImageColorContent::GreenOnly)(2, 4, 2), 0);
    auto* small = new StackSlice("small");
    small->setImageSource(files.write("small.tif", 2, 2, 8, grey));
    stack.addSlice(small);
    EXPECT_THROW(stack.toVoxelMatrix<float>(ImageColorContent::Grayscale), SizeError);
}
