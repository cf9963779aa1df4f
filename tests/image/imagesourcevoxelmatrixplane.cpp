#include "image/imagesourcevoxelmatrixplane.h"

#include "image/imagereader.h"

#include "imagesupport.h"

#include <cmath>

using namespace imagetest;

TEST(ImageSourceVoxelMatrixPlane, ReadsOnePlaneOfAFloatFileTruncatedToBytes)
{
    const ScratchDirectory dir;
    VoxelMatrix<float> matrix(2, 3, 4);
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                matrix(i, j, k) = 150.0f * float(k) + 10.0f * float(i) + float(j) + 0.7f; // plane 2 passes 255
    matrix.save(dir.file("v.vm"), true);
    ImageSourceVoxelMatrixPlane source;
    source.setVoxelMatrixFilename(dir.file("v.vm"));
    EXPECT_FALSE(source.isDefined()); // no plane yet
    EXPECT_EQ(source.getSize(), (Vector<int>{2, 3}));
    EXPECT_EQ(source.getPlaneCount(), 4);
    source.setPlane(2);
    EXPECT_TRUE(source.isDefined());

    Image image;
    testing::internal::CaptureStdout();
    ImageReader().read(image, *source.clone());
    EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("image read from voxel matrix:", 0), 0u);
    ASSERT_EQ(image.getWidth(), 3);
    ASSERT_EQ(image.getHeight(), 2);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(image.getRow(i)[j], static_cast<int>(std::trunc(matrix(i, j, 2))) % 256);
    source.setPlane(4);
    EXPECT_THROW(ImageReader().read(image, source), RangeError);

    // Only float files serve.
    VoxelMatrix<double>(2, 2, 2).save(dir.file("d.vm"), true);
    ImageSourceVoxelMatrixPlane other;
    EXPECT_THROW(other.setVoxelMatrixFilename(dir.file("d.vm")), TypeError);
    EXPECT_EQ(other.getSize1(), 0);
}
