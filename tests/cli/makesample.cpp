// The sample shipped in data/sample/ is what plexan-make-sample generates.

#include "clitesting.h"
#include "image/image.h"

using namespace clitest;

TEST(MakeSample, RegeneratesTheShippedSample)
{
    Scratch scratch;
    const Result r = runProgram(PLEXAN_MAKE_SAMPLE, {scratch / "sample"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(scratch / "sample/sample.sdf"), readFile(sampleStack()));
    EXPECT_EQ(readFile(scratch / "sample/specimen.txt"), readFile(sampleDirectory() + "/specimen.txt"));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(sampleDirectory() + "/images")) {
        ++files;
        Image shipped, fresh;
        shipped.readFile(entry.path().string());
        fresh.readFile(scratch / ("sample/images/" + entry.path().filename().string()));
        ASSERT_EQ(fresh.getWidth(), shipped.getWidth());
        ASSERT_EQ(fresh.getHeight(), shipped.getHeight());
        // Grey levels may differ by one where another build rounds a
        // borderline value the other way, nowhere more.
        int differ = 0;
        for (int y = 0; y < shipped.getHeight(); ++y)
            for (int x = 0; x < shipped.getWidth(); ++x) {
                const int d = std::abs(shipped.getRow(y)[x] - fresh.getRow(y)[x]);
                ASSERT_LE(d, 1) << entry.path() << " " << x << " " << y;
                differ += d;
            }
        EXPECT_LE(differ, 10) << entry.path();
    }
    EXPECT_EQ(files, 30);
}
