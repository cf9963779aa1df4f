#include "clitesting.h"
#include "image/voxelmatrix.h"

#include <gtest/gtest.h>

using namespace clitest;

// A volume made a stack and back is the same volume.
TEST(VolumeToStackCommand, RoundTripThroughAStack)
{
    Scratch scratch;
    ASSERT_EQ(run({"stack-to-volume", sampleStack(), scratch / "sample.vm"}).status, 0);
    const Result r = run({"volume-to-stack", scratch / "sample.vm", "copy", scratch / "images", scratch / "stacks"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(number(tables(r.out).at(0), 1, "slices"), 30);
    EXPECT_TRUE(fs::exists(scratch / "images/copy_000.tif"));
    EXPECT_TRUE(fs::exists(scratch / "images/copy_029.tif"));
    ASSERT_EQ(run({"stack-to-volume", scratch / "stacks/copy.sdf", scratch / "again.vm"}).status, 0);
    EXPECT_EQ(readFile(scratch / "again.vm"), readFile(scratch / "sample.vm"));

    const std::vector<Table> info = tables(run({"info", scratch / "stacks/copy.sdf"}).out);
    EXPECT_EQ(info[1][1][0], "000");
    EXPECT_EQ(number(info[1], 30, "position"), 29 * sample().spacing);
    EXPECT_EQ(info[0][1][2], "µm");

    // Other spacing and pixels; the stack file written over keeps a backup.
    const std::string previous = readFile(scratch / "stacks/copy.sdf");
    const Result other = run({"volume-to-stack", scratch / "sample.vm", "copy", scratch / "images",
                              scratch / "stacks", "--spacing", "2.5", "--pixel-width", "0.4"});
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(readFile(scratch / "stacks/copy.sdf~1"), previous);
    const Table stack = tables(run({"info", scratch / "stacks/copy.sdf"}).out).at(0);
    EXPECT_EQ(number(stack, 1, "spacing"), 2.5);
    EXPECT_EQ(number(stack, 1, "pixel width"), 0.4);
    EXPECT_EQ(number(stack, 1, "pixel height"), 0.4);
    for (const auto& entry : fs::recursive_directory_iterator(scratch.path()))
        EXPECT_EQ(entry.path().filename().string().find(".plexan"), std::string::npos) << entry.path();
}

// Values beyond the grey levels keep their low byte, unless rescaled.
TEST(VolumeToStackCommand, RescaleStretchesTheRangeOntoTheGreyLevels)
{
    Scratch scratch;
    VoxelMatrix<double> ramp(3, 4, 2);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j)
                ramp(i, j, k) = 0.001 * (12 * k + 4 * i + j);
    ramp.save(scratch / "ramp.vm", true);
    for (const bool rescale : {false, true}) {
        std::vector<std::string> args{"volume-to-stack", scratch / "ramp.vm", "ramp", scratch.path(), scratch.path()};
        if (rescale)
            args.push_back("--rescale");
        ASSERT_EQ(run(args).status, 0);
        ASSERT_EQ(run({"stack-to-volume", scratch / "ramp.sdf", scratch / "back.vm"}).status, 0);
        VoxelMatrix<float> back;
        back.load(scratch / "back.vm");
        for (int k = 0; k < 2; ++k)
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 4; ++j)
                    EXPECT_NEAR(back(i, j, k), rescale ? 255.0 * (12 * k + 4 * i + j) / 23 : 0.0, 1.0);
    }
}
