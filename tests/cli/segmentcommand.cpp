// plexan-cli segment: outlines found by thresholding, checked against pixel
// counts of drawn regions and against the sample's analytic organ.

#include "clitesting.h"
#include "cli/plexancli.h"
#include "cli/sliceoutlines.h"
#include "tinystack.h"

using namespace clitest;

namespace {

using Outline = std::vector<std::array<double, 2>>;

// The outlines of one model in a stack file, per slice name, read from the
// MODELITEM / MODELITEMDATA statements directly.
std::map<std::string, std::vector<Outline>> outlinesOf(const std::string& file, const std::string& model)
{
    std::map<std::string, std::vector<Outline>> result;
    std::istringstream in(readFile(file));
    in.imbue(std::locale::classic());
    std::string word, current;
    bool inModel = false;
    while (in >> word) {
        if (word == "MODELITEM") {
            std::string m, s;
            in >> std::quoted(m) >> std::quoted(s);
            s.erase(s.find_last_not_of(';') + 1);
            inModel = m == model;
            current = s;
        } else if (word.rfind("MODELITEMDATA", 0) == 0 && inModel) {
            Outline points;
            std::string token = word.substr(13);
            for (;;) {
                if (!token.empty()) {
                    const bool last = token.back() == ';';
                    if (last)
                        token.pop_back();
                    if (!token.empty()) {
                        const auto comma = token.find(',');
                        points.push_back({std::stod(token.substr(0, comma)), std::stod(token.substr(comma + 1))});
                    }
                    if (last)
                        break;
                }
                if (!(in >> token))
                    break;
            }
            result[current].push_back(points);
            inModel = false;
        }
    }
    return result;
}

double shoelace(const Outline& o)
{
    double a = 0.0;
    for (std::size_t i = 0; i < o.size(); ++i)
        a += o[i][0] * o[(i + 1) % o.size()][1] - o[(i + 1) % o.size()][0] * o[i][1];
    return std::fabs(a) / 2.0;
}

double shoelace(const Curve<int>& c)
{
    Outline o;
    for (int v = 0; v < c.getNumVertices(); ++v)
        o.push_back({static_cast<double>(c.vertex(v)[0]), static_cast<double>(c.vertex(v)[1])});
    return shoelace(o);
}

// A 60 x 80 image of grey 10 and the pixels (x, y) for which inside holds
// set to 200.
template <typename F>
PixelMatrix<float> drawn(F inside)
{
    PixelMatrix<float> m(60, 80);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            m(y, x) = inside(x, y) ? 200.0f : 10.0f;
    return m;
}

long long countPixels(const PixelMatrix<float>& m)
{
    long long n = 0;
    for (int y = 0; y < m.getSize1(); ++y)
        for (int x = 0; x < m.getSize2(); ++x)
            n += m(y, x) > 100.0f;
    return n;
}

SliceOutlineSettings atLevel(double level, int minPixels = 1)
{
    SliceOutlineSettings s;
    s.level = level;
    s.minPixels = minPixels;
    return s;
}

} // namespace

TEST(SliceOutlines, FollowThePixelEdgesOfTheRegions)
{
    // A rectangle of 18 x 8 pixels: its outline is its edges, exactly (the
    // outline through the centres of its boundary pixels, 17 x 7, lost a
    // quarter of its area).
    const PixelMatrix<float> box = drawn([](int x, int y) { return x >= 3 && x <= 20 && y >= 5 && y <= 12; });
    const SliceOutlines r = traceSliceOutlines(box, atLevel(100));
    ASSERT_EQ(r.outlines.size(), 1u);
    EXPECT_EQ(r.pixels.at(0), 144);
    EXPECT_EQ(r.outlines[0].getNumVertices(), 4);
    EXPECT_DOUBLE_EQ(shoelace(r.outlines[0]), 144.0);
    EXPECT_GT(r.outlines[0].twiceArea(0, 1), 0);

    // Discs of several sizes: the outline's area is the pixel count to
    // within a small part of the boundary.
    for (const double radius : {2.6, 5.3, 9.7, 17.2}) {
        const PixelMatrix<float> disc =
            drawn([&](int x, int y) { return std::hypot(x - 40.3, y - 29.6) <= radius; });
        const SliceOutlines d = traceSliceOutlines(disc, atLevel(100));
        ASSERT_EQ(d.outlines.size(), 1u) << radius;
        const double n = static_cast<double>(countPixels(disc));
        EXPECT_EQ(d.pixels[0], countPixels(disc));
        EXPECT_NEAR(shoelace(d.outlines[0]), n, 0.04 * n + 1.0) << radius;
        // Every vertex lies within a pixel of the drawn circle.
        for (int v = 0; v < d.outlines[0].getNumVertices(); ++v)
            EXPECT_NEAR(std::hypot(d.outlines[0].vertex(v)[0] - 40.3, d.outlines[0].vertex(v)[1] - 29.6), radius, 1.0)
                << radius;
    }
}

TEST(SliceOutlines, RegionsAreFourConnectedHolesAndSpecksAsAsked)
{
    // Two squares touching at a corner are two regions.
    const PixelMatrix<float> touching = drawn([](int x, int y) {
        return (x >= 10 && x < 15 && y >= 10 && y < 15) || (x >= 15 && x < 20 && y >= 15 && y < 20);
    });
    const SliceOutlines t = traceSliceOutlines(touching, atLevel(100));
    ASSERT_EQ(t.outlines.size(), 2u);
    EXPECT_DOUBLE_EQ(shoelace(t.outlines[0]), 25.0);
    EXPECT_DOUBLE_EQ(shoelace(t.outlines[1]), 25.0);

    // A ring is outlined by its outer edge only: the same outline as the
    // full disc.
    const auto disc = [](int x, int y) { return std::hypot(x - 30.2, y - 30.1) <= 12.4; };
    const SliceOutlines full = traceSliceOutlines(drawn(disc), atLevel(100));
    const SliceOutlines ring = traceSliceOutlines(
        drawn([&](int x, int y) { return disc(x, y) && std::hypot(x - 30.2, y - 30.1) > 5.0; }), atLevel(100));
    ASSERT_EQ(full.outlines.size(), 1u);
    ASSERT_EQ(ring.outlines.size(), 1u);
    EXPECT_DOUBLE_EQ(shoelace(ring.outlines[0]), shoelace(full.outlines[0]));

    // Specks below the minimum size are left out; a single pixel kept is
    // its square.
    const PixelMatrix<float> specks = drawn([](int x, int y) {
        return (x == 5 && y == 5) || (x >= 30 && x < 34 && y >= 30 && y < 33);
    });
    EXPECT_EQ(traceSliceOutlines(specks, atLevel(100, 12)).outlines.size(), 1u);
    EXPECT_EQ(traceSliceOutlines(specks, atLevel(100, 13)).outlines.size(), 0u);
    const SliceOutlines all = traceSliceOutlines(specks, atLevel(100, 1));
    ASSERT_EQ(all.outlines.size(), 2u);
    EXPECT_DOUBLE_EQ(shoelace(all.outlines[0]), 1.0);
    EXPECT_DOUBLE_EQ(shoelace(all.outlines[1]), 12.0);

    // Dark objects: the inverted image thresholded from below gives the
    // same outlines.
    PixelMatrix<float> inverted = drawn(disc);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            inverted(y, x) = 255.0f - inverted(y, x);
    SliceOutlineSettings below = atLevel(155);
    below.above = false;
    const SliceOutlines dark = traceSliceOutlines(inverted, below);
    ASSERT_EQ(dark.outlines.size(), 1u);
    EXPECT_EQ(dark.outlines[0].getNumVertices(), full.outlines[0].getNumVertices());
    EXPECT_DOUBLE_EQ(shoelace(dark.outlines[0]), shoelace(full.outlines[0]));
}

TEST(SliceOutlines, IsodataAndDecimation)
{
    // Two grey levels: the isodata threshold falls between them.
    const auto disc = [](int x, int y) { return std::hypot(x - 40.0, y - 30.0) <= 20.5; };
    SliceOutlineSettings automatic;
    automatic.isodata = true;
    const SliceOutlines a = traceSliceOutlines(drawn(disc), automatic);
    EXPECT_GT(a.threshold, 10.0);
    EXPECT_LE(a.threshold, 200.0);
    const SliceOutlines fixed = traceSliceOutlines(drawn(disc), atLevel(100));
    ASSERT_EQ(a.outlines.size(), 1u);
    EXPECT_DOUBLE_EQ(shoelace(a.outlines[0]), shoelace(fixed.outlines[0]));
    // 16-bit levels get bins over their range.
    PixelMatrix<float> wide = drawn(disc);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            wide(y, x) *= 300.0f;
    const double t = isodataThreshold(wide);
    EXPECT_GT(t, 3000.0);
    EXPECT_LE(t, 60000.0);

    // Decimation keeps a subset of the corners, fewer of them, and stays
    // close to the region.
    SliceOutlineSettings coarse = atLevel(100);
    coarse.decimation = 2;
    const SliceOutlines d = traceSliceOutlines(drawn(disc), coarse);
    ASSERT_EQ(d.outlines.size(), 1u);
    const Curve<int>& fine = fixed.outlines[0];
    EXPECT_LT(d.outlines[0].getNumVertices(), fine.getNumVertices() / 2);
    for (int v = 0; v < d.outlines[0].getNumVertices(); ++v) {
        bool found = false;
        for (int w = 0; w < fine.getNumVertices() && !found; ++w)
            found = fine.vertex(w)[0] == d.outlines[0].vertex(v)[0] && fine.vertex(w)[1] == d.outlines[0].vertex(v)[1];
        EXPECT_TRUE(found) << v;
    }
    // The corners dropped lie within the tolerance of the simplified outline,
    // but for those near the outline's seam, where the closing vertices are
    // judged against chords to their original neighbours.
    const Curve<int>& simple = d.outlines[0];
    for (int w = 0; w < fine.getNumVertices(); ++w) {
        double nearest = 1e9;
        for (int v = 0; v < simple.getNumVertices(); ++v) {
            const Vector<int>& a = simple.vertex(v);
            const Vector<int>& b = simple.vertex((v + 1) % simple.getNumVertices());
            const double dx = b[0] - a[0], dy = b[1] - a[1];
            const double px = fine.vertex(w)[0] - a[0], py = fine.vertex(w)[1] - a[1];
            const double h = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            nearest = std::min(nearest, std::hypot(px - h * dx, py - h * dy));
        }
        EXPECT_LE(nearest, 4.0) << w;
        if (w >= 8 && w < fine.getNumVertices() - 8) {
            EXPECT_LE(nearest, 2.0) << w;
        }
    }
    EXPECT_LT(shoelace(simple), shoelace(fine));
}

TEST(SegmentCommand, RecoversTheOrganOutlinesOfTheSample)
{
    Scratch scratch;
    const std::string output = scratch / "segmented.sdf";
    const Snapshot before = snapshot(sampleDirectory());
    const Result r = run({"segment", sampleStack(), "--model", "tissue", "--isodata", "-o", output});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(differences(before, snapshot(sampleDirectory())), "");

    const Specimen& s = sample();
    const auto outlines = outlinesOf(output, "tissue");
    const Table t = tables(r.out).at(0);
    ASSERT_EQ(t.size(), s.sections.size() + 1);
    ASSERT_EQ(outlines.size(), s.sections.size());
    for (std::size_t k = 0; k < s.sections.size(); ++k) {
        const auto& section = s.sections[k];
        // The organ is the largest outline; others (isolated spots of the
        // duct within the darker lumen) lie inside it.
        const std::vector<Outline>& found = outlines.at(section.name);
        const Outline& o = *std::max_element(found.begin(), found.end(), [](const Outline& p, const Outline& q) {
            return shoelace(p) < shoelace(q);
        });
        EXPECT_EQ(number(t, k + 1, "outlines"), static_cast<double>(found.size()));
        double others = 0.0;
        for (const Outline& other : found)
            others += &other == &o ? 0.0 : shoelace(other);
        EXPECT_LT(others, 0.01 * shoelace(o)) << section.name;
        // The organ's section area, to 2 %.
        const double expected = Specimen::sectionArea(s.organAxes, section.position - s.organCentreZ);
        const double area = shoelace(o) * s.pixel * s.pixel;
        EXPECT_NEAR(area, expected, 0.02 * expected) << section.name;
        EXPECT_EQ(t[k + 1][0], section.name);
        EXPECT_NEAR(number(t, k + 1, "area"), area + others * s.pixel * s.pixel, 1e-6 * area) << section.name;
        // Every vertex lies within a pixel and a half of the ellipse.
        const double a = section.angle * pi / 180, turn = s.orientation * pi / 180;
        const double z = section.position - s.organCentreZ;
        const double scale = std::sqrt(1 - z * z / (s.organAxes[2] * s.organAxes[2]));
        for (const auto& p : o) {
            const double u = (p[0] - s.width / 2.0) * s.pixel - section.shiftX * s.pixel;
            const double v = -(p[1] - s.height / 2.0) * s.pixel + section.shiftY * s.pixel;
            const double x = std::cos(a) * u + std::sin(a) * v, y = -std::sin(a) * u + std::cos(a) * v;
            const double pp = std::cos(turn) * x + std::sin(turn) * y, qq = -std::sin(turn) * x + std::cos(turn) * y;
            const double ea = s.organAxes[0] * scale, eb = s.organAxes[1] * scale;
            const double rho = std::hypot(pp / ea, qq / eb);
            const double gradient = std::hypot(pp / (ea * ea), qq / (eb * eb)) / rho;
            EXPECT_LT(std::fabs(rho - 1) / gradient, 1.5 * s.pixel) << section.name << " " << p[0] << "," << p[1];
        }
    }
    // The stack's own models are kept.
    EXPECT_EQ(outlinesOf(output, "organ").size(), s.sections.size());
}

TEST(SegmentCommand, ReplacesOnlyWhenAskedAndRefusesBadCommandLines)
{
    Scratch scratch;
    writeTinyStack(scratch.path());
    const std::string input = scratch / "tiny.sdf", output = scratch / "out.sdf";
    const Snapshot before = snapshot(scratch.path());

    // An existing model is kept unless --replace is given.
    Result r = run({"segment", input, "--model", "cells", "--level", "100", "-o", output});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--replace"), std::string::npos) << r.err;
    EXPECT_EQ(differences(before, snapshot(scratch.path())), "");
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"segment", input, "--model", "blobs", "-o", output},
          {"segment", input, "--model", "blobs", "--level", "1", "--isodata", "-o", output},
          {"segment", input, "--model", "blobs", "--level", "x", "-o", output},
          {"segment", input, "--model", "blobs", "--level", "100", "--min-pixels", "0", "-o", output},
          {"segment", input, "--model", "dots", "--level", "100", "--replace", "-o", output},
          {"segment", input, "--model", "blobs", "--level", "100", "--centres", "cells", "-o", output},
          {"segment", input, "--model", "blobs", "--level", "100", "--centres", "blobs", "-o", output},
          {"segment", input, "--model", "blobs", "--level", "100", "-o", input}}) {
        // In process: the refusals come before any work.
        std::ostringstream out, err;
        EXPECT_EQ(runCli(bad, out, err), 2) << bad[4] << err.str();
    }
    EXPECT_EQ(differences(before, snapshot(scratch.path())), "");

    // Each slice's disc (the 25 pixels within 3 of its centre) replaces the
    // drawn cells.
    r = run({"segment", input, "--model", "cells", "--level", "100", "--replace", "--centres", "centres", "-o", output,
             "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto cells = outlinesOf(output, "cells");
    ASSERT_EQ(cells.size(), 3u);
    for (const auto& [slice, outlines] : cells) {
        ASSERT_EQ(outlines.size(), 1u) << slice;
        EXPECT_NEAR(shoelace(outlines[0]), 25.0, 1.0) << slice;
    }
    const Table t = tables(r.out, ',').at(0);
    ASSERT_EQ(t.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(number(t, i, "outlines"), 1.0);
        EXPECT_EQ(number(t, i, "pixels"), 25.0);
    }
    EXPECT_EQ(outlinesOf(output, "dots").size(), 2u);
    // The centres of the discs, as drawn.
    const auto centres = outlinesOf(output, "centres");
    ASSERT_EQ(centres.size(), 3u);
    const std::map<std::string, std::array<double, 2>> drawn{{"s1", {6, 5}}, {"s2", {7, 6}}, {"s3", {8, 6}}};
    for (const auto& [slice, points] : centres) {
        ASSERT_EQ(points.size(), 1u);
        ASSERT_EQ(points[0].size(), 1u);
        EXPECT_EQ(points[0][0], drawn.at(slice)) << slice;
    }
    // Centres alone, without outlines.
    r = run({"segment", input, "--level", "100", "--centres", "spots", "-o", scratch / "spots.sdf"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(outlinesOf(scratch / "spots.sdf", "spots"), centres);
    EXPECT_EQ(readFile(scratch / "spots.sdf").find("MODEL \"centres\""), std::string::npos);
}
