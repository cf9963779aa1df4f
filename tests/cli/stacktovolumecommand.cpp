#include "clitesting.h"
#include "image/image.h"
#include "image/voxelmatrix.h"

using namespace clitest;

TEST(StackToVolumeCommand, PlanesAreTheSliceImagesWithTheirCalibration)
{
    Scratch scratch;
    const Result r = run({"stack-to-volume", sampleStack(), scratch / "sample.vm"});
    ASSERT_EQ(r.status, 0) << r.err;
    VoxelMatrix<float> volume;
    volume.load(scratch / "sample.vm");
    const Specimen& s = sample();
    EXPECT_EQ(volume.getSize(), (Vector<int>{s.height, s.width, static_cast<int>(s.sections.size())}));
    const VoxelCalibration& c = volume.getVoxelCalibration();
    EXPECT_EQ(c.getLengthUnit().getScale(), -6);
    EXPECT_EQ(c.getVoxelSize(), (Vector<float>{float(s.pixel), float(s.pixel), float(s.spacing)}));
    // The file is 48 header bytes and the floats.
    EXPECT_EQ(fs::file_size(scratch / "sample.vm"), 48u + 4u * s.width * s.height * s.sections.size());
    for (int k : {0, 14, 29}) {
        Image image;
        image.readFile(sampleDirectory() + "/images/slice" + (k < 9 ? "0" : "") + std::to_string(k + 1) + ".tif");
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                ASSERT_EQ(volume(y, x, k), image.getRow(y)[x]) << x << " " << y << " " << k;
    }
    EXPECT_EQ(number(tables(r.out).at(0), 1, "planes"), 30);
    // The red component of grey images is their grey level.
    ASSERT_EQ(run({"stack-to-volume", sampleStack(), scratch / "red.vm", "--content", "red"}).status, 0);
    EXPECT_EQ(readFile(scratch / "red.vm"), readFile(scratch / "sample.vm"));
}
