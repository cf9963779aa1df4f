#include "clitesting.h"
#include "image/voxelmatrix.h"

using namespace clitest;

// A volume made a stack and back is the same volume; the stack file written
// over keeps a backup.
TEST(VolumeToStackCommand, RoundTripThroughAStack)
{
    Scratch scratch;
    ASSERT_EQ(run({"stack-to-volume", sampleStack(), scratch / "sample.vm"}).status, 0);
    const Result r = run({"volume-to-stack", scratch / "sample.vm", "copy", scratch / "images", scratch / "stacks"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(number(tables(r.out).at(0), 1, "slices"), 30);
    EXPECT_TRUE(fs::exists(scratch / "images/copy_000.tif") && fs::exists(scratch / "images/copy_029.tif"));
    ASSERT_EQ(run({"stack-to-volume", scratch / "stacks/copy.sdf", scratch / "again.vm"}).status, 0);
    EXPECT_EQ(readFile(scratch / "again.vm"), readFile(scratch / "sample.vm"));
    const std::vector<Table> info = tables(run({"info", scratch / "stacks/copy.sdf"}).out);
    EXPECT_EQ(info[1][1][0], "000");
    EXPECT_EQ(number(info[1], 30, "position"), 29 * sample().spacing);

    const std::string previous = readFile(scratch / "stacks/copy.sdf");
    ASSERT_EQ(run({"volume-to-stack", scratch / "sample.vm", "copy", scratch / "images", scratch / "stacks", "--spacing",
                   "2.5", "--pixel-width", "0.4"}).status, 0);
    EXPECT_EQ(readFile(scratch / "stacks/copy.sdf~1"), previous);
    const Table stack = tables(run({"info", scratch / "stacks/copy.sdf"}).out).at(0);
    EXPECT_EQ(number(stack, 1, "spacing"), 2.5);
    EXPECT_EQ(number(stack, 1, "pixel height"), 0.4);
    for (const auto& entry : fs::recursive_directory_iterator(scratch.path()))
        EXPECT_EQ(entry.path().filename().string().find(".plexan"), std::string::npos) << entry.path();
}

// Regression: values beyond the grey levels kept their low byte silently.
// They are refused, unless a window or a rescale says how they become grey
// levels, alike on every slice.
TEST(VolumeToStackCommand, ValuesThatDoNotFitNeedAWindowOrARescale)
{
    Scratch scratch;
    VoxelMatrix<double> ramp(3, 4, 2);
    for (int n = 0; n < 24; ++n)
        ramp(n / 4 % 3, n % 4, n / 12) = 0.001 * n;
    ramp.save(scratch / "ramp.vm", true);
    const std::vector<std::string> base{"volume-to-stack", scratch / "ramp.vm", "ramp", scratch / "images",
                                        scratch / "stacks"};
    const Result refused = run(base);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Values from 0 to 0.023 (64-bit floats) do not fit"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(scratch / "images"));
    EXPECT_FALSE(fs::exists(scratch / "stacks"));

    for (const bool rescale : {false, true}) {
        std::vector<std::string> args = base;
        if (rescale)
            args.push_back("--rescale");
        else
            args.insert(args.end(), {"--window", "0.004", "0.016", "--bits", "16"});
        const Result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(run({"stack-to-volume", scratch / "stacks/ramp.sdf", scratch / "back.vm"}).status, 0);
        VoxelMatrix<float> back;
        back.load(scratch / "back.vm");
        for (int n = 0; n < 24; ++n) {
            const double expected = rescale ? std::floor(255.0 * n / 23 + 0.5)
                                            : std::clamp(std::floor(65535.0 * (n - 4) / 12 + 0.5), 0.0, 65535.0);
            EXPECT_NEAR(back(n / 4 % 3, n % 4, n / 12), expected, 1.0) << n;
        }
        fs::remove(scratch / "back.vm");
    }
}
