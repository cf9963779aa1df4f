#include "image/imagesourcevoxelmatrixplane.h"

#include "image/image.h"
#include "image/imagereader.h"
#include "image/voxelmatrix.h"

#include "support/expect.h"
#include "tiffsupport.h"

#include <cmath>

using tiffsupport::ScratchDirectory;

namespace {

float value(int i, int j, int k)
{
    return 150.0f * k + 10.0f * i + j + 0.7f; // plane 2 reaches past 255
}

} // namespace

TEST(ImageSourceVoxelMatrixPlane, ReadsOnePlaneTruncatedToBytes)
{
    ScratchDirectory dir;
    const std::string file = dir.file("v.vm");
    VoxelMatrix<float> matrix(2, 3, 4);
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                matrix(i, j, k) = value(i, j, k);
    matrix.save(file, true);

    ImageSourceVoxelMatrixPlane source;
    source.setVoxelMatrixFilename(file);
    EXPECT_FALSE(source.isDefined()); // no plane yet
    EXPECT_EQ(source.getSize1(), 2);
    EXPECT_EQ(source.getSize2(), 3);
    EXPECT_EQ(source.getPlaneCount(), 4);
    EXPECT_EQ(source.getDepth(), 32);
    EXPECT_EQ(source.getColormap(), nullptr);
    EXPECT_EQ(source.getType(), ImageSource::VoxelMatrixPlaneType);
    source.setPlane(2);
    EXPECT_TRUE(source.isDefined());

    const std::unique_ptr<ImageSource> clone = source.clone();
    Image image;
    testing::internal::CaptureStdout();
    ImageReader().read(image, *clone);
    const std::string report = testing::internal::GetCapturedStdout();
    EXPECT_EQ(report.rfind("image read from voxel matrix:", 0), 0u) << report;
    ASSERT_EQ(image.getWidth(), 3);
    ASSERT_EQ(image.getHeight(), 2);
    ASSERT_EQ(image.getDepth(), 8);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(image.getRow(i)[j], static_cast<int>(std::trunc(value(i, j, 2))) % 256);

    source.setPlane(4);
    EXPECT_THROW(ImageReader().read(image, source), RangeError);
}

TEST(ImageSourceVoxelMatrixPlane, OnlyFloatFilesServe)
{
    ScratchDirectory dir;
    const std::string file = dir.file("d.vm");
    VoxelMatrix<double> matrix(2, 2, 2);
    matrix.fill(1.0);
    matrix.save(file, true);
    ImageSourceVoxelMatrixPlane source;
    try {
        source.setVoxelMatrixFilename(file);
        ADD_FAILURE() << "accepted";
    } catch (const TypeError& e) {
        EXPECT_EQ(e.getWhat(), "Type mismatch between template instantiation and file contents");
        EXPECT_NE(e.getCalls().find(
                      "void ImageSourceVoxelMatrixPlane::setVoxelMatrixFilename(const string&)"),
                  std::string::npos);
    }
    EXPECT_EQ(source.getSize1(), 0);

    EXPECT_THROW(source.setVoxelMatrixFilename(dir.file("absent.vm")), FileReadError);
}
