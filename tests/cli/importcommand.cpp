// plexan-cli import: volumes and new stacks from the files other programs
// write, their values, sizes and calibration kept.

#include "clitesting.h"
#include "image/anyvoxelmatrix.h"
#include "image/image.h"
#include "image/imagewriter.h"
#include "image/voxelmatrix.h"

using namespace clitest;

namespace {

std::string volumeFile(const std::string& name)
{
    return std::string(PLEXAN_TEST_DATA_DIR) + "/image/volumes/" + name;
}

// The values make_volumes.py stores at the file's (x, y, z).
double ramp(int x, int y, int z)
{
    return 1000 + 37 * x + 211 * y + 1301 * z;
}

AnyVoxelMatrix loaded(const std::string& file)
{
    AnyVoxelMatrix volume;
    volume.load(file);
    return volume;
}

} // namespace

TEST(ImportCommand, NiftiToAVolumeOfItsOwnType)
{
    Scratch scratch;
    const Result r = run({"import", volumeFile("ramp16.nii"), "-o", scratch / "ramp.vm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    const Table t = tables(r.out).at(0);
    EXPECT_EQ(t[0], (Row{"file", "format", "voxels", "columns", "rows", "planes", "voxel width [mm]",
                         "voxel height [mm]", "voxel depth [mm]"}));
    EXPECT_EQ(t[1][1], "NIfTI-1");
    EXPECT_EQ(t[1][2], "16-bit unsigned integers");
    const AnyVoxelMatrix v = loaded(scratch / "ramp.vm");
    ASSERT_NE(v.get<unsigned short>(), nullptr) << v.getTypeName();
    const VoxelMatrix<unsigned short>& m = *v.get<unsigned short>();
    ASSERT_EQ(m.getSize(), (Vector<int>{4, 5, 3}));
    for (int z = 0; z < 3; ++z)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(m(3 - y, x, z), ramp(x, y, z)) << x << " " << y << " " << z;
    EXPECT_EQ(m.getVoxelCalibration().getVoxelSize(), (Vector<float>{0.75f, 0.5f, 2.0f}));
    EXPECT_EQ(m.getVoxelCalibration().getLengthUnit().getScale(), -3);

    // The user's voxel size and unit replace the file's.
    const Result given = run({"import", volumeFile("ramp16.nii"), "-o", scratch / "given.vm", "--voxel-size",
                              "0.2,0.3,1.5", "--unit", "um"});
    ASSERT_EQ(given.status, 0) << given.err;
    const AnyVoxelMatrix g = loaded(scratch / "given.vm");
    EXPECT_EQ(g.getVoxelCalibration().getVoxelSize(), (Vector<float>{0.3f, 0.2f, 1.5f}));
    EXPECT_EQ(g.getVoxelCalibration().getLengthUnit().getScale(), -6);
    EXPECT_TRUE(*g.get<unsigned short>() == m);

    // An output is never one of the inputs, and refusals leave nothing.
    const std::string copy = scratch / "copy.vm";
    ASSERT_EQ(run({"import", scratch / "ramp.vm", "-o", copy}).status, 0);
    EXPECT_EQ(readFile(copy), readFile(scratch / "ramp.vm"));
    const std::string before = readFile(copy);
    const Result self = run({"import", copy, "-o", copy});
    EXPECT_NE(self.status, 0);
    EXPECT_EQ(readFile(copy), before);
    const Result bad = run({"import", volumeFile("make_volumes.py"), "-o", scratch / "script.vm"});
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.err.find("make_volumes.py"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(scratch / "script.vm"));
    for (const auto& entry : fs::directory_iterator(scratch.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

// Regression: 16-bit slices were stretched to 8 bits image by image, so one
// grey level meant a different value on every plane. A 16-bit volume made a
// stack and back is the same values.
TEST(ImportCommand, SixteenBitVolumesBecomeSixteenBitStacks)
{
    Scratch scratch;
    // Cubic voxels: slices of other pixels are resampled to square ones.
    const Result r = run({"import", volumeFile("ramp16_imagej.tif"), "-o", scratch / "stack/ramp.sdf", "--images",
                          scratch / "images", "--voxel-size", "0.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image image;
    image.readFile(scratch / "images/ramp_002.tif");
    EXPECT_EQ(image.getDepth(), 16);
    const Result info = run({"info", scratch / "stack/ramp.sdf"});
    ASSERT_EQ(info.status, 0) << info.err;
    const Table stack = tables(info.out).at(0);
    EXPECT_EQ(number(stack, 1, "spacing"), 0.5);
    EXPECT_EQ(number(stack, 1, "pixel width"), 0.5);

    ASSERT_EQ(run({"stack-to-volume", scratch / "stack/ramp.sdf", scratch / "back.vm"}).status, 0);
    VoxelMatrix<float> back;
    back.load(scratch / "back.vm");
    ASSERT_EQ(back.getSize(), (Vector<int>{4, 5, 3}));
    for (int z = 0; z < 3; ++z)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(back(y, x, z), ramp(x, y, z)) << x << " " << y << " " << z;
}

// Values that slice images cannot hold are refused, unless one window for
// the whole volume says how they become grey levels.
TEST(ImportCommand, SignedOrFractionalValuesNeedAWindowForSlices)
{
    Scratch scratch;
    // Signed 16-bit values from -1000 to 2383.
    const Result refused = run({"import", volumeFile("ramp16.nrrd"), "-o", scratch / "ramp.sdf"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Values from -1000 to 2383"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--window LO HI or --rescale"), std::string::npos) << refused.err;
    EXPECT_TRUE(fs::is_empty(scratch.path()));

    const Result r = run({"import", volumeFile("ramp16.nrrd"), "-o", scratch / "ramp.sdf", "--window", "-1000", "1040",
                          "--voxel-size", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(run({"stack-to-volume", scratch / "ramp.sdf", scratch / "back.vm"}).status, 0);
    VoxelMatrix<float> back;
    back.load(scratch / "back.vm");
    for (int z = 0; z < 3; ++z)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const double v = ramp(x, y, z) - 2000;
                // 255 levels over 2040: one per 8.
                const double expected = v >= 1040 ? 255 : std::floor((v + 1000) / 8 + 0.5);
                ASSERT_EQ(back(y, x, z), expected) << x << " " << y << " " << z;
            }
    const Result both = run({"import", volumeFile("ramp16.nrrd"), "-o", scratch / "x.sdf", "--window", "0", "1",
                             "--rescale"});
    EXPECT_EQ(both.status, 2) << both.err;
    const Result volume = run({"import", volumeFile("ramp16.nrrd"), "-o", scratch / "x.vm", "--rescale"});
    EXPECT_EQ(volume.status, 2) << volume.err;
}

// A directory of numbered images becomes a stack naming them where they are.
TEST(ImportCommand, ImageSeriesInNaturalOrder)
{
    Scratch scratch;
    fs::create_directories(scratch / "sections");
    for (int n : {1, 2, 10}) {
        Image image;
        image.init(6, 4, 8);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                image.getRow(y)[x] = static_cast<unsigned char>(20 * n + x + 6 * y);
        ImageWriter().write(image, scratch / ("sections/cut" + std::to_string(n) + ".tif"), true);
    }
    const Result r = run({"import", scratch / "sections", "-o", scratch / "cuts.vm", "--voxel-size", "0.5,0.5,3",
                          "--unit", "um"});
    ASSERT_EQ(r.status, 0) << r.err;
    const AnyVoxelMatrix v = loaded(scratch / "cuts.vm");
    ASSERT_NE(v.get<unsigned char>(), nullptr) << v.getTypeName();
    const int order[] = {1, 2, 10};
    for (int z = 0; z < 3; ++z)
        EXPECT_EQ((*v.get<unsigned char>())(1, 2, z), 20 * order[z] + 2 + 6) << z;
    EXPECT_EQ(v.getVoxelCalibration().getVoxelDepth(), 3.0f);

    const Result s = run({"import", scratch / "sections", "-o", scratch / "cuts.sdf"});
    ASSERT_EQ(s.status, 0) << s.err;
    const std::string text = readFile(scratch / "cuts.sdf");
    EXPECT_LT(text.find("cut2.tif"), text.find("cut10.tif"));
    // No slice image was written: the stack shows the sections themselves.
    EXPECT_FALSE(fs::exists(scratch / "cuts_000.tif"));
}
