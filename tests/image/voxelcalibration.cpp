#include "image/voxelcalibration.h"

#include "support/expect.h"

#include <gtest/gtest.h>

TEST(VoxelCalibration, VoxelSizeNeedsThreeValues)
{
    VoxelCalibration c;
    EXPECT_EQ(c.getVoxelSize(), (Vector<float>{1.0f, 1.0f, 1.0f}));
    c.setVoxelSize(Vector<float>{0.5f, 0.25f, 2.0f});
    EXPECT_FLOAT_EQ(c.getVoxelHeight(), 0.5f);
    EXPECT_FLOAT_EQ(c.getVoxelWidth(), 0.25f);
    EXPECT_FLOAT_EQ(c.getVoxelDepth(), 2.0f);
    for (int n : {0, 2, 4})
        EXPECT_PLEXAN_THROW(c.setVoxelSize(Vector<float>(static_cast<unsigned>(n))), SizeError,
                            "void VoxelCalibration::setVoxelSize(const Vector<float>&)",
                            "Size vector does not contain three values as expected");
    EXPECT_FLOAT_EQ(c.getVoxelDepth(), 2.0f); // unchanged by the refused sizes
}
