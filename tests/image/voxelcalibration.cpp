#include "image/voxelcalibration.h"

#include "support/expect.h"

#include <gtest/gtest.h>

TEST(VoxelCalibration, VoxelSizeNeedsThreeValues)
{
    VoxelCalibration c;
    c.setVoxelSize(Vector<float>{0.5f, 0.25f, 2.0f});
    EXPECT_EQ((Vector<float>{c.getVoxelHeight(), c.getVoxelWidth(), c.getVoxelDepth()}),
              (Vector<float>{0.5f, 0.25f, 2.0f}));
    for (unsigned n : {0u, 2u, 4u})
        EXPECT_PLEXAN_THROW(c.setVoxelSize(Vector<float>(n)), SizeError,
                            "void VoxelCalibration::setVoxelSize(const Vector<float>&)",
                            "Size vector does not contain three values as expected");
    EXPECT_EQ(c.getVoxelSize(), (Vector<float>{0.5f, 0.25f, 2.0f})); // unchanged by the refused sizes
}
