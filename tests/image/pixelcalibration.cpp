#include "image/pixelcalibration.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(PixelCalibration, ComputeDerivesTheUnsetValues)
{
    // The values set (0 for unset) of width, height, ratio; what compute
    // reports; the width, height and ratio after it.
    struct Case {
        float width, height, ratio;
        bool changed;
        float afterWidth, afterHeight, afterRatio;
    };
    const Case cases[] = {
        {2, 0, 1.5f, true, 2, 3, 1.5f},   {0, 3, 1.5f, true, 2, 3, 1.5f}, {0.25f, 0, 0, true, 0.25f, 0.25f, 1},
        {0, 0.25f, 0, true, 0.25f, 0.25f, 1}, {4, 2, 0, true, 4, 2, 0.5f},   {0, 0, 0, false, 1, 1, 1},
        {4, 2, 7, false, 4, 2, 7},        {0, 0, 2, true, 1, 2, 2}};
    for (const Case& c : cases) {
        PixelCalibration p;
        if (c.width)
            p.setPixelWidth(c.width);
        if (c.height)
            p.setPixelHeight(c.height);
        if (c.ratio)
            p.setAspectRatio(c.ratio);
        EXPECT_EQ(p.compute(), c.changed) << c.width << " " << c.height << " " << c.ratio;
        EXPECT_FLOAT_EQ(p.getPixelWidth(), c.afterWidth);
        EXPECT_FLOAT_EQ(p.getPixelHeight(), c.afterHeight);
        EXPECT_FLOAT_EQ(p.getAspectRatio(), c.afterRatio);
        EXPECT_EQ(p.isPixelHeightSet(), c.height != 0) << "the marks stay as they were";
    }
    // Equality compares the three values only.
    PixelCalibration a, b;
    b.setPixelWidth(1.0f);
    b.setLengthUnit(LengthUnit(-6));
    EXPECT_EQ(a, b);
    b.setPixelHeight(2.0f);
    EXPECT_NE(a, b);
    EXPECT_FLOAT_EQ(b.pixelDiagonal(), std::sqrt(5.0f));
}
