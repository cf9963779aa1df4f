// plexan-cli fuse: generated specimens of one known shape, placed
// differently on their slides, brought into one frame.

#include "clitesting.h"
#include "cli/fusionfile.h"
#include "cli/plexancli.h"
#include "image/image.h"
#include "image/imagewriter.h"

#include <set>

using namespace clitest;

namespace {

// An ellipsoidal organ of semi-axes (a, b, c) micrometres cut into sections
// 2 micrometres apart (z = -12 .. 12), each outlined by 32 points, on slides
// of 96 x 96 pixels of 0.5 micrometre; the organ is turned by angle degrees
// and shifted by (dx, dy) micrometres in the section plane. Writes
// directory/name.sdf and its blank slice images.
void writeSpecimen(const std::string& directory, const std::string& name, const Point& axes, double angle,
                   double dx, double dy)
{
    fs::create_directories(directory + "/" + name);
    Image blank(96, 96, 8);
    blank.clear();
    std::ostringstream sdf;
    sdf.imbue(std::locale::classic());
    sdf << "FileFormatVersion 1.03;\nSTACK \"" << name << "\";\nLengthUnitScale -6;\nPIXASPECT 1;\nPIXWIDTH 0.5;\n"
        << "RELPOSITION 2;\nImagesPath \"" << name << "/\";\n";
    std::ostringstream items;
    const double turn = angle * pi / 180;
    for (int k = 0; k < 13; ++k) {
        const std::string slice = "z" + std::to_string(k);
        ImageWriter().write(blank, directory + "/" + name + "/" + slice + ".tif", true);
        sdf << "SLICE \"" << slice << "\" \"" << slice << ".tif\";\nSliceSize1 96;\nSliceSize2 96;\n";
        const double z = 2.0 * k - 12.0;
        const double s = std::sqrt(1 - z * z / (axes[2] * axes[2]));
        items << "MODELITEM \"organ\" \"" << slice << "\";\nMODELITEMDATA";
        for (int i = 0; i < 32; ++i) {
            const double phi = 2 * pi * i / 32;
            const double p = axes[0] * s * std::cos(phi), q = axes[1] * s * std::sin(phi);
            const double u = std::cos(turn) * p - std::sin(turn) * q + dx;
            const double v = std::sin(turn) * p + std::cos(turn) * q + dy;
            items << " " << std::lround(u / 0.5 + 48) << "," << std::lround(-v / 0.5 + 48);
        }
        items << ";\n";
    }
    sdf << "MODEL \"organ\";\nPRIMITIVE Polygon;\nRESAMPLING 100 100;\n" << items.str();
    writeFile(directory + "/" + name + ".sdf", sdf.str());
}

const std::string studyHeader = "# three specimens of one organ\n"
                                "name = study\n"
                                "stack = a.sdf\nstack = b.sdf\nstack = c.sdf\n";

const std::string organ = "[structure organ]\nreference = yes\nresampling height = 13\nresampling width = 32\n";

// The distinct vertices of an STL file.
std::vector<Point> stlVertices(const std::string& file)
{
    std::set<Point> points;
    for (const Facet& f : readStl(file))
        for (const Point& p : f.vertices)
            points.insert(p);
    return {points.begin(), points.end()};
}

// The principal axes of points (unit vectors, largest spread first), by
// Jacobi rotations of their covariance.
std::array<Point, 3> principalAxes(const std::vector<Point>& points)
{
    Point c{};
    for (const Point& p : points)
        for (std::size_t i = 0; i < 3; ++i)
            c[i] += p[i] / static_cast<double>(points.size());
    double m[3][3] = {};
    for (const Point& p : points)
        for (std::size_t i = 0; i < 3; ++i)
            for (std::size_t j = 0; j < 3; ++j)
                m[i][j] += (p[i] - c[i]) * (p[j] - c[j]);
    double v[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int sweep = 0; sweep < 50; ++sweep)
        for (int p = 0; p < 2; ++p)
            for (int q = p + 1; q < 3; ++q) {
                if (std::fabs(m[p][q]) < 1e-12)
                    continue;
                const double theta = 0.5 * std::atan2(2 * m[p][q], m[q][q] - m[p][p]);
                const double cs = std::cos(theta), sn = std::sin(theta);
                for (int k = 0; k < 3; ++k) {
                    const double a = m[k][p], b = m[k][q];
                    m[k][p] = cs * a - sn * b;
                    m[k][q] = sn * a + cs * b;
                }
                for (int k = 0; k < 3; ++k) {
                    const double a = m[p][k], b = m[q][k];
                    m[p][k] = cs * a - sn * b;
                    m[q][k] = sn * a + cs * b;
                }
                for (int k = 0; k < 3; ++k) {
                    const double a = v[k][p], b = v[k][q];
                    v[k][p] = cs * a - sn * b;
                    v[k][q] = sn * a + cs * b;
                }
            }
    std::array<int, 3> order{0, 1, 2};
    std::sort(order.begin(), order.end(), [&](int a, int b) { return m[a][a] > m[b][b]; });
    std::array<Point, 3> axes{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t k = 0; k < 3; ++k)
            axes[i][k] = v[k][static_cast<std::size_t>(order[i])];
    return axes;
}

// Half the extent of points along each axis.
std::array<double, 3> halfExtents(const std::vector<Point>& points, const std::array<Point, 3>& axes)
{
    std::array<double, 3> half{};
    for (std::size_t a = 0; a < 3; ++a) {
        double lo = 1e9, hi = -1e9;
        for (const Point& p : points) {
            const double t = p[0] * axes[a][0] + p[1] * axes[a][1] + p[2] * axes[a][2];
            lo = std::min(lo, t);
            hi = std::max(hi, t);
        }
        half[a] = (hi - lo) / 2;
    }
    return half;
}

} // namespace

TEST(FuseCommand, BringsSpecimensPlacedDifferentlyOntoOneMeanShape)
{
    Scratch scratch;
    const Point axes{20.0, 9.0, 14.0};
    writeSpecimen(scratch.path(), "a", axes, 0.0, 0.0, 0.0);
    writeSpecimen(scratch.path(), "b", axes, 35.0, 3.0, -2.0);
    writeSpecimen(scratch.path(), "c", axes, -70.0, -4.0, 1.5);
    writeFile(scratch / "study.conf", studyHeader +
                                           "alignment = yes\nregistration = yes\n"
                                           "registration algorithm = global\n\n" +
                                           organ);
    const std::string out = scratch / "fused";
    const Result r = run({"fuse", scratch / "study.conf", "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;

    // Every specimen lies on the mean to within the rounding of its outlines
    // to whole pixels.
    const Table t = tables(r.out).at(0);
    ASSERT_EQ(t.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(t[i][0], std::string(1, static_cast<char>('a' + i - 1)));
        EXPECT_EQ(number(t, i, "shapes"), 1.0);
        EXPECT_LT(number(t, i, "distance to mean"), 0.5) << t[i][0];
    }
    const std::string log = readFile(out + "/fusion.html");
    EXPECT_NE(log.find("<b>Spatial normalization summary</b>"), std::string::npos);
    EXPECT_NE(log.find("Name: <i>study</i>"), std::string::npos);
    EXPECT_NE(log.find("Total 3 stacks"), std::string::npos);
    EXPECT_NE(log.find("Convergence reached at iteration"), std::string::npos);

    // The mean organ has the organ's extents along its principal axes (the
    // sections end at z = +/-12, the caps close them), and each specimen's
    // transformed organ superposes on it.
    const std::vector<Point> mean = stlVertices(out + "/mean.organ.stl");
    ASSERT_GT(mean.size(), 300u);
    const auto axesOf = principalAxes(mean);
    const std::array<double, 3> half = halfExtents(mean, axesOf);
    EXPECT_NEAR(half[0], axes[0], 0.03 * axes[0]);
    EXPECT_NEAR(half[1], 12.0, 0.6);
    EXPECT_NEAR(half[2], axes[1], 0.6);
    for (const char* stem : {"a", "b", "c"}) {
        const std::vector<Point> v = stlVertices(out + "/" + stem + ".organ.stl");
        ASSERT_FALSE(v.empty()) << stem;
        const std::array<double, 3> h = halfExtents(v, axesOf);
        for (std::size_t a = 0; a < 3; ++a)
            EXPECT_NEAR(h[a], half[a], 0.6) << stem << " " << a;
    }
    for (const char* file : {"a.organ.qm", "b.organ.qm", "c.organ.qm", "mean.organ.qm"})
        EXPECT_TRUE(fs::is_regular_file(out + "/" + file)) << file;
}

TEST(FuseCommand, RefusesBadConfigurationsAndLeavesNoOutput)
{
    Scratch scratch;
    const Point axes{10.0, 8.0, 14.0};
    for (const char* name : {"a", "b", "c"})
        writeSpecimen(scratch.path(), name, axes, 0.0, 0.0, 0.0);
    struct Case {
        std::string config;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {studyHeader + "alignment = yes\ncolour = red\n", 1, "study.conf:7: unknown key \"colour\""},
        {studyHeader + "alignment = maybe\n", 1, "study.conf:6: \"alignment\" takes yes or no"},
        {studyHeader + "warping = yes\nwarping = no\n", 1, "study.conf:7: \"warping\" is given twice"},
        {studyHeader + "polynomial degree = 0\n", 1, "study.conf:6: \"polynomial degree\" must be at least 1"},
        {studyHeader + "[structure organ]\nresampling width = 2.5\n", 1, "study.conf:7: \"resampling width\""},
        {studyHeader + "[organ]\n", 1, "study.conf:6: unknown section"},
        {studyHeader + "alignment = yes\n", 1, "need a reference structure"},
        {studyHeader + "registration = yes\nregistration algorithm = pairwise\nreference stack = d\n" + organ, 1,
         "the reference stack \"d\" is none of the stacks (\"a\", \"b\", \"c\")"},
        {studyHeader + "[structure heart]\nreference = yes\n", 1, "no stack has a model \"heart\""},
        {"name = x\nstack = missing.sdf\n", 1, "missing.sdf"},
        {"name = x\n", 2, "no stacks"},
    };
    const Snapshot before = snapshot(scratch.path());
    for (const Case& c : cases) {
        writeFile(scratch / "study.conf", c.config);
        // In process: every refusal comes before the fusion runs.
        std::ostringstream out, err;
        EXPECT_EQ(runCli({"fuse", scratch / "study.conf", "-o", scratch / "fused"}, out, err), c.status)
            << c.config << err.str();
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        fs::remove(scratch / "study.conf");
        EXPECT_EQ(differences(before, snapshot(scratch.path())), "") << c.config;
    }

    // An existing output directory is never written into.
    writeFile(scratch / "study.conf", studyHeader);
    fs::create_directories(scratch / "fused");
    writeFile(scratch / "fused/keep.txt", "mine");
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"fuse", scratch / "study.conf", "-o", scratch / "fused"}, out, err), 2) << err.str();
    EXPECT_EQ(readFile(scratch / "fused/keep.txt"), "mine");
    EXPECT_EQ(fs::directory_iterator(scratch / "fused")->path().filename(), "keep.txt");

    // With no step, the shapes are only built and averaged: identical
    // specimens are their mean, in the stack's own frame.
    fs::remove_all(scratch / "fused");
    EXPECT_EQ(runCli({"fuse", scratch / "study.conf", scratch / "b.sdf", "-o", scratch / "fused"}, out, err), 2)
        << err.str();  // b.sdf twice
    const Result r = run({"fuse", scratch / "study.conf", "-o", scratch / "fused"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Table t = tables(r.out).at(0);
    ASSERT_EQ(t.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_NEAR(number(t, i, "distance to mean"), 0.0, 1e-5);
    EXPECT_EQ(readFile(scratch / "fused/a.organ.qm"), readFile(scratch / "fused/mean.organ.qm"));
}

TEST(FusionFile, ReadsTheWindowsFieldsWhateverTheirCaseAndSpacing)
{
    const FusionFile f = FusionFile::parse("Name = my study  # comment\n"
                                           "stack = one.sdf\nstack = /abs/two.sdf\n"
                                           "Alignment = Yes\nregistration=on\n"
                                           "registration  algorithm = Pairwise\nreference stack = One Stack\n"
                                           "registration iterations = 4\nwarping = TRUE\n"
                                           "warping model = thin-plate  splines\npolynomial degree = 3\n"
                                           "[ structure the organ ]\nreference = no\nresampling height = 7\n"
                                           "resampling width = 9\nresampling error = 0.25\n"
                                           "[structure lumen]\nreference = yes\n",
                                           "dir/study.conf");
    EXPECT_EQ(f.config.name, "my study");
    EXPECT_EQ(f.stackFiles, (std::vector<std::string>{"dir/one.sdf", "/abs/two.sdf"}));
    const FusionStrategy& s = f.config.strategy;
    EXPECT_TRUE(s.alignment);
    EXPECT_TRUE(s.registration);
    EXPECT_EQ(s.registrationAlgorithm, FusionRegistrationAlgorithm::Pairwise);
    EXPECT_EQ(s.referenceStack, "One Stack");
    EXPECT_EQ(s.numRegistrationIterations, 4u);
    EXPECT_TRUE(s.warping);
    EXPECT_EQ(s.warpingModel, FusionWarpingModel::ThinPlateSplines);
    EXPECT_EQ(s.polynomialDegree, 3u);
    ASSERT_EQ(f.config.surfaceStructures.size(), 2u);
    EXPECT_EQ(f.config.surfaceStructures[0].name, "the organ");
    EXPECT_FALSE(f.config.surfaceStructures[0].reference);
    EXPECT_EQ(f.config.surfaceStructures[0].resamplingHeight, 7);
    EXPECT_EQ(f.config.surfaceStructures[0].resamplingWidth, 9);
    EXPECT_FLOAT_EQ(f.config.surfaceStructures[0].resamplingError, 0.25f);
    EXPECT_TRUE(f.config.surfaceStructures[1].reference);
    EXPECT_EQ(f.config.surfaceStructures[1].resamplingHeight, -1);

    // A key of the strategy inside a structure section is no key of that
    // section.
    EXPECT_THROW(FusionFile::parse("[structure a]\nalignment = yes\n", "f"), FusionFileError);
    EXPECT_THROW(FusionFile::parse("[structure a]\n[structure a]\n", "f"), FusionFileError);
    EXPECT_THROW(FusionFile::parse(std::string("name = a\0b\n", 11), "f"), FusionFileError);
}
