#include "image/pixelcalibration.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(PixelCalibration, ComputeDerivesTheUnsetValues)
{
    {   // width and ratio set: height = ratio x width
        PixelCalibration c;
        c.setPixelWidth(2.0f);
        c.setAspectRatio(1.5f);
        EXPECT_TRUE(c.compute());
        EXPECT_FLOAT_EQ(c.getPixelHeight(), 3.0f);
        EXPECT_FLOAT_EQ(c.getPixelWidth(), 2.0f);
    }
    {   // height and ratio set, width unset: width = height / ratio
        PixelCalibration c;
        c.setPixelHeight(3.0f);
        c.setAspectRatio(1.5f);
        EXPECT_TRUE(c.compute());
        EXPECT_FLOAT_EQ(c.getPixelWidth(), 2.0f);
        EXPECT_FLOAT_EQ(c.getPixelHeight(), 3.0f);
    }
    {   // only the width: square pixels, ratio untouched
        PixelCalibration c;
        c.setPixelWidth(1.0f / 72.0f);
        EXPECT_TRUE(c.compute());
        EXPECT_FLOAT_EQ(c.getPixelHeight(), 1.0f / 72.0f);
        EXPECT_FLOAT_EQ(c.getAspectRatio(), 1.0f);
        EXPECT_FALSE(c.isPixelHeightSet()); // the marks stay as they were
    }
    {   // only the height
        PixelCalibration c;
        c.setPixelHeight(0.25f);
        EXPECT_TRUE(c.compute());
        EXPECT_FLOAT_EQ(c.getPixelWidth(), 0.25f);
    }
    {   // width and height: ratio = height / width
        PixelCalibration c;
        c.setPixelWidth(4.0f);
        c.setPixelHeight(2.0f);
        EXPECT_TRUE(c.compute());
        EXPECT_FLOAT_EQ(c.getAspectRatio(), 0.5f);
    }
    {   // nothing set, or everything set: nothing to derive
        PixelCalibration c;
        EXPECT_FALSE(c.compute());
        c.setPixelWidth(4.0f);
        c.setPixelHeight(2.0f);
        c.setAspectRatio(7.0f);
        EXPECT_FALSE(c.compute());
        EXPECT_FLOAT_EQ(c.getAspectRatio(), 7.0f);
        EXPECT_FLOAT_EQ(c.getPixelWidth(), 4.0f);
    }
    {   // only the ratio: the height follows the default width
        PixelCalibration c;
        c.setAspectRatio(2.0f);
        EXPECT_TRUE(c.compute());
        EXPECT_FLOAT_EQ(c.getPixelHeight(), 2.0f);
    }
}

TEST(PixelCalibration, EqualityComparesValuesOnly)
{
    PixelCalibration a;
    PixelCalibration b;
    b.setPixelWidth(1.0f);                  // same value, now marked set
    b.setLengthUnit(LengthUnit(-6));
    EXPECT_EQ(a, b);
    b.setPixelHeight(2.0f);
    EXPECT_NE(a, b);
    EXPECT_FLOAT_EQ(b.pixelDiagonal(), std::sqrt(5.0f));
    b.clear();
    EXPECT_EQ(a, b);
    EXPECT_FALSE(b.isPixelWidthSet());
    EXPECT_EQ(b.getLengthUnit().getScale(), 0);
}
