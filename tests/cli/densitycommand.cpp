#include "clitesting.h"
#include "image/voxelmatrix.h"

using namespace clitest;

// Two copies of the sample pooled: the map holds the k-th neighbour density
// of the nuclei at the grid's corners, the box being printed.
TEST(DensityCommand, PoissonMapAndHistogramOfTheSampleNuclei)
{
    Scratch scratch;
    const Result r = run({"density", sampleStack(), sampleStack(), "--model", "nuclei", "--grid", "9", "7", "5", "--k", "2",
                          "-o", scratch / "nuclei.vm", "--percentiles", "10,50,90"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The estimator's own line comes first on the output.
    const std::vector<Table> t = tables(r.out.substr(r.out.find('\n') + 1));
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(number(t[0], 1, "points"), 2.0 * sample().nuclei.size());
    const double lower[3] = {number(t[0], 1, "lower x"), number(t[0], 1, "lower y"), number(t[0], 1, "lower z")};
    const double step[3] = {number(t[0], 1, "voxel x"), number(t[0], 1, "voxel y"), number(t[0], 1, "voxel z")};

    // The nuclei as the stack holds them: marked on the pixel nearest to
    // where their slice shows them, placed in the (unregistered) stack frame.
    const Specimen& s = sample();
    std::vector<Point> nuclei;
    for (const Point& n : s.nuclei) {
        const std::size_t k = s.sectionOf(n);
        const auto p = s.pixelOf(k, n[0], n[1]);
        nuclei.push_back({s.pixel * (std::lround(p[0]) - s.width / 2.0), -s.pixel * (std::lround(p[1]) - s.height / 2.0),
                          s.sections[k].position});
    }
    VoxelMatrix<float> map;
    map.load(scratch / "nuclei.vm");
    ASSERT_EQ(map.getSize(), (Vector<int>{9, 7, 5}));
    EXPECT_EQ(map.getVoxelCalibration().getLengthUnit().getScale(), -6);
    double minimum = 1e30, maximum = 0;
    for (int k = 0; k < 5; ++k)
        for (int i = 0; i < 9; ++i)
            for (int j = 0; j < 7; ++j) {
                const double p[3] = {lower[0] + i * step[0], lower[1] + j * step[1], lower[2] + k * step[2]};
                std::vector<double> d;
                for (const Point& n : nuclei)
                    d.push_back(std::hypot(n[0] - p[0], n[1] - p[1], n[2] - p[2]));
                std::nth_element(d.begin(), d.begin() + 1, d.end());
                // Both patterns alike: (k m - 1) / (4/3 pi 2 r^3), k = m = 2.
                const double expected = 3.0 / (4.0 / 3 * pi * 2 * std::pow(d[1], 3));
                EXPECT_NEAR(map(i, j, k), expected, 2e-3 * expected) << i << " " << j << " " << k;
                minimum = std::min<double>(minimum, map(i, j, k));
                maximum = std::max<double>(maximum, map(i, j, k));
            }
    const Table& levels = t[1];
    ASSERT_EQ(levels.size(), 4u);
    EXPECT_EQ(levels[0], (Row{"percentile", "level"}));
    for (std::size_t i = 1; i < levels.size(); ++i) {
        EXPECT_GE(number(levels, i, "level"), i > 1 ? number(levels, i - 1, "level") : minimum);
        EXPECT_LE(number(levels, i, "level"), maximum);
    }

    // As a histogram every nucleus counts once, and there are no levels.
    const Result h = run({"density", sampleStack(), "--model", "nuclei", "--grid", "5", "4", "3", "--histogram", "-o",
                          scratch / "counts.vm"});
    ASSERT_EQ(h.status, 0) << h.err;
    VoxelMatrix<float> counts;
    counts.load(scratch / "counts.vm");
    EXPECT_EQ(counts.cat().sum(), static_cast<float>(sample().nuclei.size()));
    EXPECT_EQ(tables(h.out).at(0).at(1).at(2), "NA");
    // One stack at rank 1 has no density: the tool says so.
    const Result flat = run({"density", sampleStack(), "--model", "nuclei", "--grid", "2", "2", "2", "--k", "1", "-o",
                             scratch / "flat.vm"});
    EXPECT_EQ(flat.status, 0);
    EXPECT_NE(flat.err.find("warning"), std::string::npos) << flat.err;
}
