#include "clitesting.h"

using namespace clitest;

namespace {

// The slab volume of the sections of an ellipsoid the sample's slices cut:
// each section extruded by the spacing.
double slabVolume(const Point& centre, const Point& axes)
{
    double volume = 0.0;
    for (const auto& s : sample().sections)
        volume += sample().spacing * Specimen::sectionArea(axes, s.position - sample().organCentreZ - centre[2]);
    return volume;
}

Table measure(const std::vector<std::string>& options, char sep = '\t')
{
    std::vector<std::string> args{"measure", sampleStack()};
    args.insert(args.end(), options.begin(), options.end());
    return tables(run(args).out, sep).at(0);
}

} // namespace

// The organ and the lumen measured from their traced outlines against the
// ellipsoids they were traced from; each organ section's area is that of
// its ellipse, and each nucleus is marked where its slice shows it.
TEST(MeasureCommand, TablesMatchTheAnalyticSpecimen)
{
    const Table t = measure({});
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], (Row{"Model", "Vertices", "AverageX [µm]", "AverageY [µm]", "AverageZ [µm]", "Contours", "Area [µm^2]",
                         "Volume [µm^3]", "Triangulation"}));
    EXPECT_EQ(t[1][0], "organ");
    const double organ = slabVolume({0, 0, 0}, sample().organAxes);
    EXPECT_NEAR(number(t, 1, "Volume"), organ, 0.01 * organ);
    EXPECT_NEAR(number(t, 1, "AverageZ"), sample().organCentreZ, 0.5); // sections symmetric about the centre
    EXPECT_EQ(t[2][0], "lumen");
    const double lumen = slabVolume(sample().lumenCentre, sample().lumenAxes);
    EXPECT_NEAR(number(t, 2, "Volume"), lumen, 0.02 * lumen);

    const Table sections = measure({"--model", "organ"});
    ASSERT_EQ(sections.size(), sample().sections.size() + 1);
    for (std::size_t k = 0; k < sample().sections.size(); ++k) {
        const auto& s = sample().sections[k];
        EXPECT_EQ(sections[k + 1][0], s.name);
        EXPECT_EQ(number(sections, k + 1, "Z"), s.position);
        const double area = Specimen::sectionArea(sample().organAxes, s.position - sample().organCentreZ);
        EXPECT_NEAR(std::fabs(number(sections, k + 1, "Area")), area, 0.02 * area) << s.name;
        // The section's centre is the image centre moved by the slide shift.
        EXPECT_NEAR(number(sections, k + 1, "AverageX"), (sample().width / 2.0 + s.shiftX) * sample().pixel, 0.4);
        EXPECT_NEAR(number(sections, k + 1, "AverageY"), (sample().height / 2.0 + s.shiftY) * sample().pixel, 0.4);
    }

    const Table nuclei = measure({"--model", "nuclei"});
    EXPECT_EQ(nuclei[0], (Row{"Slice", "X [µm]", "Y [µm]", "Z [µm]"}));
    ASSERT_EQ(nuclei.size(), sample().nuclei.size() + 1);
    std::size_t matched = 0;
    for (const auto& n : sample().nuclei) {
        const std::size_t k = sample().sectionOf(n);
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
    EXPECT_EQ(measure({"--geometry", "polyline"})[1][0], "duct");
}

TEST(MeasureCommand, FormatsLocalesAndMissingMeasures)
{
    // Four significant digits of the exact value, in any locale.
    const Result exact = run({"measure", sampleStack()});
    const double volume = number(tables(exact.out).at(0), 1, "Volume");
    const double rounded = number(measure({"--format", "csv", "--digits", "4"}, ','), 1, "Volume");
    EXPECT_NEAR(rounded, volume, 5e-4 * volume);
    EXPECT_NE(rounded, volume);
    for (const char* locale : {"LC_ALL=de_DE.UTF-8", "LC_ALL=fr_FR.UTF-8"})
        EXPECT_EQ(run({"measure", sampleStack()}, "", {locale, "LANG=de_DE.UTF-8"}).out, exact.out) << locale;

    // Two contours of one model on one slice: no surface, no volume.
    Scratch scratch;
    writeFile(scratch / "branch.sdf", "STACK \"branch\";\nPIXWIDTH 0.5;\nRELPOSITION 2;\nSLICE \"a\" 1 1;\nSLICE \"b\" 1 1;\n"
                                      "MODEL \"cell\";\nMODELITEM \"cell\" \"a\";\nMODELITEMDATA 0,0 10,0 10,10 0,10;\n"
                                      "MODELITEM \"cell\" \"b\";\nMODELITEMDATA 0,0 10,0 10,10 0,10;\n"
                                      "MODELITEM \"cell\" \"b\";\nMODELITEMDATA 20,20 30,20 30,30 20,30;\n");
    const Result branch = run({"measure", scratch / "branch.sdf"});
    ASSERT_EQ(branch.status, 0) << branch.err;
    const Table b = tables(branch.out).at(0);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[1][6] + b[1][7], "NANA");
}
