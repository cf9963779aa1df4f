#include "clitesting.h"
#include "image/voxelmatrix.h"

#include <random>

using namespace clitest;

namespace {

// The registration that undoes the sample's slide placements: slice k's
// content onto slice k - 1's, shifts in pixels (x right, y down), angle in
// degrees.
std::array<double, 3> expectedRegistration(std::size_t k)
{
    const Specimen& s = sample();
    const auto& a = s.sections[k - 1];
    const auto& b = s.sections[k];
    const double turn = (a.angle - b.angle) * pi / 180;
    const double tu = b.shiftX * s.pixel, tv = -b.shiftY * s.pixel;
    const double u = a.shiftX * s.pixel - (std::cos(turn) * tu - std::sin(turn) * tv);
    const double v = -a.shiftY * s.pixel - (std::sin(turn) * tu + std::cos(turn) * tv);
    return {u / s.pixel, -v / s.pixel, b.angle - a.angle};
}

// The lateral area of the organ's ellipsoid between two heights from its
// centre, by the midpoint rule on (angle, height).
double lateralArea(double z0, double z1)
{
    const auto& [a, b, c] = sample().organAxes;
    const int n = 400;
    double area = 0.0;
    for (int i = 0; i < n; ++i) {
        const double z = z0 + (i + 0.5) * (z1 - z0) / n;
        const double s = std::sqrt(1 - z * z / (c * c));
        const double ds = -z / (c * c * s);
        for (int j = 0; j < n; ++j) {
            const double phi = (j + 0.5) * 2 * pi / n;
            area += s * std::sqrt(b * b * std::pow(std::cos(phi), 2) + a * a * std::pow(std::sin(phi), 2) +
                                  a * a * b * b * ds * ds);
        }
    }
    return area * (z1 - z0) / n * 2 * pi / n;
}

// The stack file with every outline started at a random vertex of its own.
std::string withRandomStarts(const std::string& text, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string out;
    std::size_t at = 0;
    const std::string key = "MODELITEMDATA";
    for (std::size_t found; (found = text.find(key, at)) != std::string::npos;) {
        const std::size_t begin = found + key.size();
        const std::size_t end = text.find(';', begin);
        std::istringstream words(text.substr(begin, end - begin));
        std::vector<std::string> vertices;
        for (std::string w; words >> w;)
            vertices.push_back(w);
        if (!vertices.empty())
            std::rotate(vertices.begin(), vertices.begin() + static_cast<long>(rng() % vertices.size()), vertices.end());
        out += text.substr(at, begin - at);
        for (const std::string& v : vertices)
            out += " " + v;
        at = end;
    }
    return out + text.substr(at);
}

// The centre of the organ's cross-section on every plane of a volume, in the
// stack's frame (x along the columns and y up the rows from the plane's
// centre): the mean place of the voxels above the background.
std::vector<std::array<double, 2>> sectionCentres(const std::string& file)
{
    VoxelMatrix<float> v;
    v.load(file);
    const double w = v.getVoxelCalibration().getVoxelWidth(), h = v.getVoxelCalibration().getVoxelHeight();
    std::vector<std::array<double, 2>> centres;
    for (int k = 0; k < v.getSize3(); ++k) {
        double n = 0, x = 0, y = 0;
        for (int i = 0; i < v.getSize1(); ++i)
            for (int j = 0; j < v.getSize2(); ++j)
                if (v(i, j, k) > 28.0f) {
                    n += 1;
                    x += w * (j - v.getSize2() / 2.0);
                    y += h * (v.getSize1() / 2.0 - i);
                }
        centres.push_back({x / n, y / n});
    }
    return centres;
}

// How far the centres lie from their mean: the root of the summed variances
// of both coordinates.
double wander(const std::vector<std::array<double, 2>>& centres)
{
    double mx = 0, my = 0;
    for (const auto& c : centres) {
        mx += c[0] / centres.size();
        my += c[1] / centres.size();
    }
    double sum = 0;
    for (const auto& c : centres)
        sum += (c[0] - mx) * (c[0] - mx) + (c[1] - my) * (c[1] - my);
    return std::sqrt(sum / (centres.size() - 1));
}

} // namespace

// Each registration found by correlation (the default) is the inverse of
// the slides' relative placement, to the rounding to whole pixels and tenths
// of a degree: a slice is rounded from where the slices before it ended up,
// so its shift may differ from the exact relative one by up to a pixel along
// each axis, never more. Every alignment raises the correlation.
TEST(RegisterCommand, UndoesTheSlidePlacementsOfTheSample)
{
    Scratch scratch;
    const std::string output = scratch / "registered.sdf";
    const Result r = run({"register", sampleStack(), "-o", output});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;  // no progress bar off a terminal
    const Table t = tables(r.out).at(0);
    ASSERT_EQ(t.size(), sample().sections.size());
    EXPECT_EQ(t[0], (std::vector<std::string>{"slice", "horizontal shift", "vertical shift", "rotation angle",
                                              "score before", "score after", "registration"}));
    for (std::size_t k = 1; k < sample().sections.size(); ++k) {
        const auto expected = expectedRegistration(k);
        EXPECT_EQ(t[k][0], sample().sections[k].name);
        EXPECT_NEAR(number(t, k, "horizontal shift"), expected[0], 1.0) << t[k][0];
        EXPECT_NEAR(number(t, k, "vertical shift"), expected[1], 1.0) << t[k][0];
        double angle = number(t, k, "rotation angle");
        angle -= angle > 180 ? 360 : 0;
        EXPECT_NEAR(angle, expected[2], 0.3) << t[k][0];
        EXPECT_GT(number(t, k, "score after"), number(t, k, "score before")) << t[k][0];
        EXPECT_EQ(t[k][6], "applied");
    }

    // The surface through the outlines loses the steps the slides made: its
    // area comes down to that of the ellipsoid between the first and last
    // sections.
    const double area = lateralArea(sample().sections.front().position - sample().organCentreZ,
                                    sample().sections.back().position - sample().organCentreZ);
    EXPECT_GT(number(tables(run({"measure", sampleStack()}).out).at(0), 1, "Area"), 1.2 * area);
    const Table measured = tables(run({"measure", output}).out).at(0);
    EXPECT_NEAR(number(measured, 1, "Area"), area, 0.02 * area);
    EXPECT_EQ(measured[1].back(), "matched");
    // Outlines started elsewhere give the same surface, to 1 %, and the
    // literal triangulation says so in its table.
    for (unsigned seed : {1u, 2u}) {
        const std::string redrawn = scratch / ("redrawn" + std::to_string(seed) + ".sdf");
        writeFile(redrawn, withRandomStarts(readFile(output), seed));
        ASSERT_NE(readFile(redrawn), readFile(output));
        const Table again = tables(run({"measure", redrawn}).out).at(0);
        EXPECT_NEAR(number(again, 1, "Area"), number(measured, 1, "Area"), 0.01 * number(measured, 1, "Area"));
        EXPECT_EQ(number(again, 1, "Volume"), number(measured, 1, "Volume"));
    }
    const Table literal = tables(run({"measure", output, "--triangulation", "literal"}).out).at(0);
    EXPECT_EQ(literal[1].back(), "literal");
    EXPECT_NEAR(number(literal, 1, "Area"), area, 0.02 * area);

    // Converted to a volume, the registered stack's planes line the organ up:
    // the centres of its cross-sections (voxels brighter than the background,
    // in the stack's frame) keep still to a fraction of a pixel, where the
    // stored images wander with the slides, each section's centre at its
    // slide's shift.
    ASSERT_EQ(run({"stack-to-volume", output, scratch / "registered.vm"}).status, 0);
    const Result stored = run({"stack-to-volume", output, scratch / "stored.vm", "--as-stored"});
    ASSERT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(tables(stored.out).at(0)[1].back(), "as stored");
    const std::vector<std::array<double, 2>> moved = sectionCentres(scratch / "registered.vm");
    const std::vector<std::array<double, 2>> still = sectionCentres(scratch / "stored.vm");
    ASSERT_EQ(moved.size(), sample().sections.size());
    for (std::size_t k = 0; k < still.size(); ++k) {
        EXPECT_NEAR(still[k][0], sample().sections[k].shiftX * sample().pixel, 0.3) << k;
        EXPECT_NEAR(still[k][1], -sample().sections[k].shiftY * sample().pixel, 0.3) << k;
    }
    EXPECT_GT(wander(still), 2.0);
    EXPECT_LT(wander(moved), 0.5);

    // The saved stack still finds its images, from its own directory.
    const Result info = run({"info", output});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(number(tables(info.out)[0], 1, "fatal errors"), 0);

    // The sample copied beside its images: registering it in place is
    // refused (an output never replaces an input); registered under another
    // name, one slice: nearly what it got among all (rounded on its own),
    // only s10 moved, the previous output kept as the first backup, no
    // temporary file left behind.
    fs::copy_file(sampleStack(), scratch / "sample.sdf");
    fs::create_directory_symlink(sampleDirectory() + "/images", scratch / "images");
    const Result inPlace = run({"register", "sample.sdf", "-o", "sample.sdf", "--slice", "s10"}, scratch.path());
    EXPECT_EQ(inPlace.status, 2);
    EXPECT_NE(inPlace.err.find("the output sample.sdf is the input itself"), std::string::npos) << inPlace.err;
    EXPECT_EQ(readFile(scratch / "sample.sdf"), readFile(sampleStack()));
    EXPECT_FALSE(fs::exists(scratch / "sample.sdf~1"));
    writeFile(scratch / "one.sdf", "STACK \"earlier\";\n");
    const Result one = run({"register", "sample.sdf", "-o", "one.sdf", "--slice", "s10"}, scratch.path());
    ASSERT_EQ(one.status, 0) << one.err;
    const Table single = tables(one.out).at(0);
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(single[1][0], "s10");
    EXPECT_NEAR(number(single, 1, "horizontal shift"), number(t, 9, "horizontal shift"), 1.0);
    EXPECT_NEAR(number(single, 1, "vertical shift"), number(t, 9, "vertical shift"), 1.0);
    EXPECT_NEAR(number(single, 1, "rotation angle"), number(t, 9, "rotation angle"), 0.15);
    EXPECT_EQ(number(single, 1, "score before"), number(t, 9, "score before"));
    EXPECT_EQ(readFile(scratch / "one.sdf~1"), "STACK \"earlier\";\n");
    const Table slices = tables(run({"info", scratch / "one.sdf"}).out).at(1);
    for (std::size_t k = 1; k < slices.size(); ++k) {
        const bool moved = slices[k][0] == "s10";
        EXPECT_EQ(number(slices, k, "horizontal shift"), moved ? number(single, 1, "horizontal shift") : 0);
        EXPECT_EQ(number(slices, k, "rotation angle") != 0, moved) << slices[k][0];
    }
    for (const auto& entry : fs::directory_iterator(scratch.path()))
        EXPECT_EQ(entry.path().filename().string().find(".plexan"), std::string::npos) << entry.path();
}

// The principal axes, as the registration window's automatic mode has them:
// shifts truncated toward zero, a degree or two and a few pixels off on the
// sample. On the stack the correlation registered, they find nothing
// better: every slice keeps its registration, and the user is told.
TEST(RegisterCommand, PrincipalAxesOnRequestAndNeverForTheWorse)
{
    Scratch scratch;
    const Result r = run({"register", sampleStack(), "-o", scratch / "axes.sdf", "--method", "principal-axes"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Table t = tables(r.out).at(0);
    ASSERT_EQ(t.size(), sample().sections.size());
    for (std::size_t k = 1; k < sample().sections.size(); ++k) {
        const auto expected = expectedRegistration(k);
        EXPECT_NEAR(number(t, k, "horizontal shift"), expected[0], 3.0) << t[k][0];
        EXPECT_NEAR(number(t, k, "vertical shift"), expected[1], 3.0) << t[k][0];
        double angle = number(t, k, "rotation angle");
        angle -= angle > 180 ? 360 : 0;
        EXPECT_NEAR(angle, expected[2], 2.5) << t[k][0];
    }

    const Result correlated = run({"register", sampleStack(), "-o", scratch / "correlated.sdf", "--slice", "s10"});
    ASSERT_EQ(correlated.status, 0) << correlated.err;
    const Result again =
        run({"register", scratch / "correlated.sdf", "-o", scratch / "again.sdf", "--method", "principal-axes",
             "--slice", "s10", "--format", "csv"});
    ASSERT_EQ(again.status, 0) << again.err;
    const Table kept = tables(again.out, ',').at(0);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1][6], "kept");
    EXPECT_LE(number(kept, 1, "score after"), number(kept, 1, "score before"));
    const Table before = tables(correlated.out).at(0);
    for (const char* column : {"horizontal shift", "vertical shift", "rotation angle"})
        EXPECT_EQ(number(kept, 1, column), number(before, 1, column)) << column;
    EXPECT_EQ(number(kept, 1, "score before"), number(before, 1, "score after"));
    EXPECT_NE(again.err.find("plexan-cli register: warning: slice \"s10\" keeps its registration: the one found ("),
              std::string::npos)
        << again.err;
    EXPECT_EQ(lineCount(again.err), 1) << again.err;

    const Result wrong = run({"register", sampleStack(), "-o", scratch / "x.sdf", "--method", "axes"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("--method must be one of correlation, principal-axes, not \"axes\""), std::string::npos)
        << wrong.err;
    EXPECT_FALSE(fs::exists(scratch / "x.sdf"));
}
