#include "clitesting.h"

#include <gtest/gtest.h>

using namespace clitest;

namespace {

// The slab volume of the sections of an ellipsoid the sample's slices cut:
// each section extruded by the spacing.
double slabVolume(const std::array<double, 3>& centre, const std::array<double, 3>& axes)
{
    double volume = 0.0;
    for (const auto& s : sample().sections)
        volume += sample().spacing * Specimen::sectionArea(axes, s.position - sample().organCentreZ - centre[2]);
    return volume;
}

} // namespace

// The organ and the lumen measured from their traced outlines against the
// ellipsoids they were traced from.
TEST(MeasureCommand, ModelTableMatchesTheAnalyticSpecimen)
{
    const Result r = run({"measure", sampleStack()});
    ASSERT_EQ(r.status, 0) << r.err;
    const Table t = tables(r.out).at(0);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], (Row{"Model", "Vertices", "AverageX [µm]", "AverageY [µm]", "AverageZ [µm]", "Contours",
                         "Area [µm^2]", "Volume [µm^3]"}));
    EXPECT_EQ(t[1][0], "organ");
    EXPECT_EQ(number(t, 1, "Contours"), 30);
    const double organ = slabVolume({0, 0, 0}, sample().organAxes);
    EXPECT_NEAR(number(t, 1, "Volume"), organ, 0.01 * organ);
    // Sections symmetric about the organ's centre.
    EXPECT_NEAR(number(t, 1, "AverageZ"), sample().organCentreZ, 0.5);
    EXPECT_EQ(t[2][0], "lumen");
    const double lumen = slabVolume(sample().lumenCentre, sample().lumenAxes);
    EXPECT_NEAR(number(t, 2, "Volume"), lumen, 0.02 * lumen);
    // The lumen lies inside the organ, its surface smaller.
    EXPECT_LT(number(t, 2, "Area"), number(t, 1, "Area"));

    const Table lines = tables(run({"measure", sampleStack(), "--geometry", "polyline"}).out).at(0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 7u);
    EXPECT_EQ(lines[1][0], "duct");
    const Table points = tables(run({"measure", sampleStack(), "--geometry", "polypoint"}).out).at(0);
    EXPECT_EQ(points[0].size(), 5u);
    EXPECT_EQ(number(points, 1, "Vertices"), static_cast<double>(sample().nuclei.size()));
}

// Item tables: each organ section's area is that of the ellipse it traces,
// and each nucleus is marked where its slice shows it.
TEST(MeasureCommand, ItemTablesMatchTheSections)
{
    const Table organ = tables(run({"measure", sampleStack(), "--model", "organ"}).out).at(0);
    ASSERT_EQ(organ.size(), sample().sections.size() + 1);
    EXPECT_EQ(organ[0][0], "Slice");
    for (std::size_t k = 0; k < sample().sections.size(); ++k) {
        const auto& s = sample().sections[k];
        EXPECT_EQ(organ[k + 1][0], s.name);
        EXPECT_EQ(number(organ, k + 1, "Z"), s.position);
        const double area = Specimen::sectionArea(sample().organAxes, s.position - sample().organCentreZ);
        EXPECT_NEAR(std::fabs(number(organ, k + 1, "Area")), area, 0.02 * area) << s.name;
        // The section's centre is the image centre moved by the slide shift.
        EXPECT_NEAR(number(organ, k + 1, "AverageX"), (sample().width / 2.0 + s.shiftX) * sample().pixel, 0.4);
        EXPECT_NEAR(number(organ, k + 1, "AverageY"), (sample().height / 2.0 + s.shiftY) * sample().pixel, 0.4);
    }

    const Table nuclei = tables(run({"measure", sampleStack(), "--model", "nuclei"}).out).at(0);
    EXPECT_EQ(nuclei[0], (Row{"Slice", "X [µm]", "Y [µm]", "Z [µm]"}));
    ASSERT_EQ(nuclei.size(), sample().nuclei.size() + 1);
    std::size_t matched = 0;
    for (const auto& n : sample().nuclei) {
        const auto k = static_cast<std::size_t>(std::lround(n[2] / sample().spacing));
        const auto pixel = sample().pixelOf(k, n[0], n[1]);
        for (std::size_t i = 1; i < nuclei.size(); ++i)
            if (nuclei[i][0] == sample().sections[k].name &&
                std::fabs(number(nuclei, i, "X") - pixel[0] * sample().pixel) <= 0.5 * sample().pixel &&
                std::fabs(number(nuclei, i, "Y") - pixel[1] * sample().pixel) <= 0.5 * sample().pixel) {
                ++matched;
                break;
            }
    }
    EXPECT_EQ(matched, sample().nuclei.size());
}

TEST(MeasureCommand, FormatsAndMissingMeasures)
{
    const Result csv = run({"measure", sampleStack(), "--format", "csv", "--digits", "4"});
    ASSERT_EQ(csv.status, 0);
    const Table t = tables(csv.out, ',').at(0);
    EXPECT_EQ(t[0][2], "AverageX [µm]");
    // Four significant digits of the exact value.
    const double exact = number(tables(run({"measure", sampleStack()}).out).at(0), 1, "Volume");
    const double rounded = std::stod(t[1][7]);
    EXPECT_NEAR(rounded, exact, 5e-4 * exact);
    EXPECT_NE(rounded, exact);

    // Two contours of one model on one slice: no surface, no volume.
    Scratch scratch;
    writeFile(scratch / "branch.sdf",
              "STACK \"branch\";\nPIXWIDTH 0.5;\nRELPOSITION 2;\nSLICE \"a\" 1 1;\nSLICE \"b\" 1 1;\n"
              "MODEL \"cell\";\nMODELITEM \"cell\" \"a\";\nMODELITEMDATA 0,0 10,0 10,10 0,10;\n"
              "MODELITEM \"cell\" \"b\";\nMODELITEMDATA 0,0 10,0 10,10 0,10;\n"
              "MODELITEM \"cell\" \"b\";\nMODELITEMDATA 20,20 30,20 30,30 20,30;\n");
    const Result branch = run({"measure", scratch / "branch.sdf"});
    ASSERT_EQ(branch.status, 0) << branch.err;
    const Table b = tables(branch.out).at(0);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[1][6], "NA");
    EXPECT_EQ(b[1][7], "NA");
}

// Numbers keep their decimal point in any locale.
TEST(MeasureCommand, NumbersIgnoreTheLocale)
{
    const Result c = run({"measure", sampleStack()});
    for (const char* locale : {"LC_ALL=de_DE.UTF-8", "LC_ALL=fr_FR.UTF-8"})
        EXPECT_EQ(run({"measure", sampleStack()}, "", {locale, "LANG=de_DE.UTF-8"}).out, c.out) << locale;
}
