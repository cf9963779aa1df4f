#include "stack/sliceregistration.h"

#include "image/colormap.h"
#include "image/imagewriter.h"
#include "numerics/progressmonitor.h"
#include "stackfixture.h"
#include "stack/stack.h"
#include "stack/stackreader.h"
#include "stack/stackreconstruction.h"
#include "stack/stackslice.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <locale>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace stacktest;

namespace {

const double pi = 3.141592653589793;
const int width = 160;
const int height = 120;

// Where a section shows an elongated blob: its centre (pixels, x right, y
// down) and the direction of its long axis (degrees from x toward y).
struct Blob {
    double x, y, angle;
};

// The grey level of pixel (x, y) of a section showing blob b.
int grey(const Blob& b, int x, int y)
{
    const double a = b.angle * pi / 180;
    const double u = (x - b.x) * std::cos(a) + (y - b.y) * std::sin(a);
    const double v = -(x - b.x) * std::sin(a) + (y - b.y) * std::cos(a);
    return static_cast<int>(std::lround(220.0 * std::exp(-u * u / (2 * 22.0 * 22.0) - v * v / (2 * 7.0 * 7.0))));
}

StackSlice* addSlice(Stack& stack, ImageFiles& files, const Blob& b, int depth = 8)
{
    const int k = stack.getNumSlices();
    auto* slice = new StackSlice("s" + std::to_string(k));
    slice->setImageSource(files.write("s" + std::to_string(k) + ".tif", width, height, depth,
                                      [&](int x, int y, int) { return grey(b, x, y); }));
    stack.addSlice(slice);
    return slice;
}

// The section of slice k placed in the stack frame.
Vector<double> place(const StackReconstruction<double>& r, int k, double x, double y)
{
    const Matrix<double>& m = r.getMaps();
    return Vector<double>{m(k, 0) * x + m(k, 1) * y + m(k, 2), m(k, 3) * x + m(k, 4) * y + m(k, 5)};
}

class Recorder : public ProgressMonitor {
public:
    std::vector<std::string> events;
    int cancelAfter = -1;

protected:
    void subjectStarted(const std::string& text) override { events.push_back("started " + text); }
    void subjectFinished(const std::string&) override { events.push_back("finished"); }
    void subjectCanceled(const std::string&) override { events.push_back("canceled"); }
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        events.push_back(std::to_string(i) + "/" + std::to_string(n));
        if (static_cast<int>(i) == cancelAfter)
            currentSubject()->cancel();
    }
};

const std::vector<Blob> sections{{78, 62, 28}, {86, 55, 35}, {70, 66, 22}, {81, 59, 31}, {74, 64, 26}};

} // namespace

// Sections of one blob turned and moved on their slides: once every slice is
// registered on the previous one, the reconstruction puts the blob's centre
// and its axis at the same place on every slice, whatever the pixel size.
TEST(SliceRegistration, RegisteredSlicesLineUpInTheReconstruction)
{
    ImageFiles files;
    Stack stack;
    PixelCalibration c;
    c.setPixelWidth(0.5f);
    c.setPixelHeight(0.5f);
    c.setAspectRatio(1.0f);
    for (const Blob& b : sections)
        addSlice(stack, files, b)->setPixelCalibration(c);

    const StackReconstruction<double> before(stack);
    double spreadBefore = 0.0;
    for (int k = 1; k < stack.getNumSlices(); ++k)
        spreadBefore = std::max(spreadBefore, (place(before, k, sections[k].x, sections[k].y) -
                                               place(before, 0, sections[0].x, sections[0].y)).norm());
    EXPECT_GT(spreadBefore, 4.0);

    ASSERT_TRUE(SliceRegistration().registerAllSlices(stack));
    EXPECT_TRUE(stack.getFirstSlice()->getRegistration().isNull());
    EXPECT_EQ(stack.getLastRegisteredSlice(), "s4");
    const StackReconstruction<double> after(stack);
    const Vector<double> centre = place(after, 0, sections[0].x, sections[0].y);
    for (int k = 1; k < stack.getNumSlices(); ++k) {
        const Blob& b = sections[k];
        // Shifts are whole pixels, each truncated: half a micrometre per slice.
        EXPECT_LT((place(after, k, b.x, b.y) - centre).norm(), 0.5 * k) << "slice " << k;
        const Vector<double> axis = place(after, k, b.x + 20 * std::cos(b.angle * pi / 180),
                                          b.y + 20 * std::sin(b.angle * pi / 180)) -
                                    place(after, k, b.x, b.y);
        // The image's y axis points down, the stack's up.
        EXPECT_NEAR(std::atan2(axis[1], axis[0]) * 180 / pi, -sections[0].angle, 1.0) << "slice " << k;
    }
}

// Registering every slice reads each image once; the result is what each
// slice gets on its own, and one slice alone leaves the others as they were.
// Progress goes slice by slice; cancelling keeps the slices not yet done.
TEST(SliceRegistration, AllSlicesGetWhatEachSliceGetsAloneWithProgress)
{
    ImageFiles files;
    Stack stack, other, cancelled;
    for (const Blob& b : sections)
        for (Stack* s : {&stack, &other, &cancelled})
            addSlice(*s, files, b);
    std::vector<Registration> alone;
    for (int k = 1; k < stack.getNumSlices(); ++k)
        alone.push_back(SliceRegistration::compute(*stack.getSlice(k)));
    SliceRegistration registration;
    Recorder recorder;
    registration.addMonitor(recorder);
    EXPECT_TRUE(registration.registerAllSlices(stack));
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"started Running automatic registration...", "2/5", "3/5",
                                                         "4/5", "5/5", "finished"}));
    for (int k = 1; k < stack.getNumSlices(); ++k)
        EXPECT_EQ(stack.getSlice(k)->getRegistration(), alone[static_cast<std::size_t>(k - 1)]) << "slice " << k;

    EXPECT_EQ(SliceRegistration().registerSlice(*other.getSlice(2)), alone[1]);
    EXPECT_EQ(other.getLastRegisteredSlice(), "s2");
    for (int k : {1, 3, 4})
        EXPECT_TRUE(other.getSlice(k)->getRegistration().isNull());

    SliceRegistration stopped;
    Recorder stopper;
    stopper.cancelAfter = 3;
    stopped.addMonitor(stopper);
    EXPECT_FALSE(stopped.registerAllSlices(cancelled));
    EXPECT_EQ(stopper.events.back(), "canceled");
    EXPECT_EQ(cancelled.getSlice(2)->getRegistration(), alone[1]);
    EXPECT_TRUE(cancelled.getSlice(3)->getRegistration().isNull());
}

// Colour and palette images are registered on their grey levels.
TEST(SliceRegistration, ColourAndPaletteImagesRegisterAsTheirGreyLevels)
{
    ImageFiles files;
    Stack greyLevels, colour;
    for (int k = 0; k < 2; ++k) {
        addSlice(greyLevels, files, sections[k]);
        addSlice(colour, files, sections[k], 24);
    }
    const Registration expected = SliceRegistration::compute(*greyLevels.getSlice(1));
    EXPECT_FALSE(expected.isNull());
    EXPECT_EQ(SliceRegistration::compute(*colour.getSlice(1)), expected);

    // Palette images whose colormap reverses the indices onto grey levels.
    stackfiletest::TemporaryDirectory paletteFiles;
    Stack palette;
    Colormap map(256);
    for (int v = 0; v < 256; ++v)
        map.setCell(v, static_cast<unsigned char>(255 - v), static_cast<unsigned char>(255 - v),
                    static_cast<unsigned char>(255 - v));
    for (int k = 0; k < 2; ++k) {
        Image image(width, height, 8);
        image.setColormap(map);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.getRow(y)[x] = static_cast<unsigned char>(255 - grey(sections[k], x, y));
        const std::string file = paletteFiles.path("p" + std::to_string(k) + ".tif");
        ImageWriter().write(image, file, true);
        palette.addSlice(new StackSlice("p" + std::to_string(k)));
        palette.getSlice(k)->setImageSource(ImageSourceFile(file));
    }
    ASSERT_TRUE(palette.getSlice(1)->getImageSource().getColormap());
    EXPECT_EQ(SliceRegistration::compute(*palette.getSlice(1)), expected);
}

// Regression: reading the images at their display size halved the shifts
// along the shrunk axis of a slice with non-square pixels, while the
// reconstruction counts shifts in image pixels.
TEST(SliceRegistration, ShiftsAreInImagePixelsWhateverThePixelShape)
{
    ImageFiles files;
    Stack stack;
    addSlice(stack, files, {70, 60, 30});
    addSlice(stack, files, {86, 50, 30});
    PixelCalibration c;
    c.setPixelWidth(1.0f);
    c.setPixelHeight(2.0f);
    c.setAspectRatio(2.0f);
    for (int k = 0; k < 2; ++k)
        stack.getSlice(k)->setPixelCalibration(c);
    ASSERT_EQ(stack.getSlice(1)->width(), width / 2);
    const Registration r = SliceRegistration::compute(*stack.getSlice(1));
    EXPECT_NEAR(r.getHorizontalShift(), -16, 1);
    EXPECT_NEAR(r.getVerticalShift(), 10, 1);
    EXPECT_NEAR(r.getRotationAngle(), 0.0, 0.2);
}

TEST(SliceRegistration, RefusesWhatCannotBeRegistered)
{
    ImageFiles files;
    Stack stack;
    addSlice(stack, files, sections[0]);
    EXPECT_PLEXAN_THROW(SliceRegistration().registerAllSlices(stack), UsageError,
                        "bool SliceRegistration::registerAllSlices(Stack&)",
                        "Cannot perform registration without at least 2 slices");
    const char* where = "static Registration SliceRegistration::compute(const StackSlice&)";
    EXPECT_PLEXAN_THROW(SliceRegistration::compute(*stack.getSlice(0)), UsageError, where,
                        "Slice \"s0\" is the first slice: it has no previous slice");

    // A blank image has no centroid.
    auto* blank = new StackSlice("blank");
    blank->setImageSource(files.write("blank.tif", width, height, 8, [](int, int, int) { return 0; }));
    stack.addSlice(blank);
    EXPECT_PLEXAN_THROW(SliceRegistration::compute(*blank), ValueError, where,
                        "The image of slice \"blank\" is blank");

}

namespace {

using Outcome = SliceRegistration::Alignment::Outcome;

std::string sampleFile(const std::string& name)
{
    return std::string(PLEXAN_SOURCE_DIR) + "/data/sample/" + name;
}

// Where the sample's sections lay on their slides (data/sample/specimen.txt):
// section k shows specimen point S at u = R(angle) S + (shiftX, -shiftY)
// pixel, u in micrometres from the image centre, v up.
struct Section {
    std::string name;
    double shiftX = 0, shiftY = 0, angle = 0;
};

struct Specimen {
    double pixel = 0;
    std::vector<Section> sections;
};

Specimen readSpecimen()
{
    Specimen s;
    std::ifstream in(sampleFile("specimen.txt"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        words.imbue(std::locale::classic());
        std::string key;
        words >> key;
        if (key == "pixel_size") {
            words >> s.pixel;
        } else if (key == "slice") {
            Section c;
            double position = 0;
            words >> c.name >> position >> c.shiftX >> c.shiftY >> c.angle;
            s.sections.push_back(c);
        }
    }
    return s;
}

// A slice's placement in a frame: the angle (radians) and where the image
// centre goes (micrometres).
struct Placement {
    double theta = 0, x = 0, y = 0;
};

// The placements the reconstruction gives the slices.
std::vector<Placement> placements(const Stack& stack)
{
    const StackReconstruction<double> r(stack);
    const Matrix<double>& m = r.getMaps();
    std::vector<Placement> p;
    for (int k = 0; k < stack.getNumSlices(); ++k) {
        const double w = stack.getSlice(k)->getImageSource().getSize2() / 2.0;
        const double h = stack.getSlice(k)->getImageSource().getSize1() / 2.0;
        p.push_back({std::atan2(m(k, 3), m(k, 0)), m(k, 0) * w + m(k, 1) * h + m(k, 2),
                     m(k, 3) * w + m(k, 4) * h + m(k, 5)});
    }
    return p;
}

// The true placements in the specimen's frame: a reconstruction that puts
// specimen point S where section k shows it turns the section by -angle and
// sends the image centre (u = 0) to S = -R(-angle) shift.
std::vector<Placement> truePlacements(const Specimen& specimen)
{
    std::vector<Placement> p;
    for (const Section& s : specimen.sections) {
        const double a = s.angle * pi / 180;
        const double u = s.shiftX * specimen.pixel, v = -s.shiftY * specimen.pixel;
        p.push_back({-a, -(std::cos(a) * u + std::sin(a) * v), -(-std::sin(a) * u + std::cos(a) * v)});
    }
    return p;
}

// The composition of exact relative registrations (degrees, pixels of the
// given size), from the placement of the first slice.
std::vector<Placement> compose(Placement p, const std::vector<SliceRegistration::Alignment>& alignments, double pixel)
{
    std::vector<Placement> out{p};
    for (const auto& a : alignments) {
        const double h = a.horizontalShift * pixel, v = a.verticalShift * pixel;
        p = {p.theta - a.angle * pi / 180, p.x + std::cos(p.theta) * h + std::sin(p.theta) * v,
             p.y + std::sin(p.theta) * h - std::cos(p.theta) * v};
        out.push_back(p);
    }
    return out;
}

// The root mean square differences of found placements from true ones,
// angles in degrees and image-centre distances in pixels, once the one
// rigid motion between the two frames that fits best is taken out: the stack
// does not know where the specimen's axis lies.
struct Deviation {
    double angle = 0, shift = 0;
};

Deviation deviation(const std::vector<Placement>& found, const std::vector<Placement>& truth, double pixel)
{
    const std::size_t n = found.size();
    double gamma = 0;
    for (std::size_t k = 0; k < n; ++k)
        gamma += std::remainder(found[k].theta - truth[k].theta, 2 * pi) / static_cast<double>(n);
    const double c = std::cos(gamma), s = std::sin(gamma);
    double gx = 0, gy = 0;
    for (std::size_t k = 0; k < n; ++k) {
        gx += (found[k].x - (c * truth[k].x - s * truth[k].y)) / static_cast<double>(n);
        gy += (found[k].y - (s * truth[k].x + c * truth[k].y)) / static_cast<double>(n);
    }
    Deviation d;
    for (std::size_t k = 0; k < n; ++k) {
        const double da = std::remainder(found[k].theta - truth[k].theta - gamma, 2 * pi) * 180 / pi;
        const double dx = found[k].x - (c * truth[k].x - s * truth[k].y + gx);
        const double dy = found[k].y - (s * truth[k].x + c * truth[k].y + gy);
        d.angle += da * da / static_cast<double>(n);
        d.shift += (dx * dx + dy * dy) / (pixel * pixel) / static_cast<double>(n);
    }
    d.angle = std::sqrt(d.angle);
    d.shift = std::sqrt(d.shift);
    return d;
}

} // namespace

// The sample's 30 sections, registered by correlation and composed as the
// stack composes them, lie where they lay on their slides: within 0.2 degree
// and half a pixel (root mean square) in the specimen's frame. Whole-pixel
// shifts alone leave 0.41 pixel (a square pixel's root mean square distance
// from its centre), so the answers themselves must compose to better: they
// do, to 0.1 degree and 0.3 pixel. Each slice is rounded from where the ones
// before it are, so that roundings do not add up: every slice stays within
// half a pixel along each axis, and 0.05 degree, of the exact composition.
// The principal axes, for comparison, are off by about a degree and more
// than a pixel.
TEST(SliceRegistration, CorrelationPlacesTheSampleSectionsWhereTheyLay)
{
    const Specimen specimen = readSpecimen();
    Stack stack;
    StackReader().read(stack, sampleFile("sample.sdf"));
    ASSERT_EQ(stack.getNumSlices(), 30);
    ASSERT_EQ(specimen.sections.size(), 30u);
    const std::vector<Placement> truth = truePlacements(specimen);

    SliceRegistration registration;
    registration.setMethod(SliceRegistration::Method::Correlation);
    ASSERT_TRUE(registration.registerAllSlices(stack));
    const auto& alignments = registration.getAlignments();
    ASSERT_EQ(alignments.size(), 29u);
    for (const auto& a : alignments) {
        EXPECT_EQ(a.outcome, Outcome::Applied) << a.slice;
        EXPECT_GT(a.scoreAfter, a.scoreBefore) << a.slice;
        EXPECT_EQ(stack.getSlice(stack.findSlice(a.slice))->getRegistration(), a.found) << a.slice;
        EXPECT_EQ(std::fmod(a.found.getRotationAngle() * 10.0f, 1.0f), 0.0f) << a.slice;
    }

    const std::vector<Placement> stored = placements(stack);
    const Deviation d = deviation(stored, truth, specimen.pixel);
    EXPECT_LT(d.angle, 0.2);
    EXPECT_LT(d.shift, 0.5);
    const std::vector<Placement> exact = compose(stored.front(), alignments, specimen.pixel);
    const Deviation e = deviation(exact, truth, specimen.pixel);
    EXPECT_LT(e.angle, 0.1);
    EXPECT_LT(e.shift, 0.3);
    for (std::size_t k = 1; k < stored.size(); ++k) {
        EXPECT_LE(std::fabs(std::remainder(stored[k].theta - exact[k].theta, 2 * pi)) * 180 / pi, 0.0501) << k;
        // In the previous slice's frame.
        const double c = std::cos(stored[k - 1].theta), s = std::sin(stored[k - 1].theta);
        const double dx = stored[k].x - exact[k].x, dy = stored[k].y - exact[k].y;
        EXPECT_LE(std::fabs(c * dx + s * dy), 0.5001 * specimen.pixel) << k;
        EXPECT_LE(std::fabs(-s * dx + c * dy), 0.5001 * specimen.pixel) << k;
    }
    std::cout << "correlation: " << d.angle << " degree, " << d.shift << " pixel rms (exact answers " << e.angle
              << ", " << e.shift << ")\n";

    Stack axes;
    StackReader().read(axes, sampleFile("sample.sdf"));
    ASSERT_TRUE(SliceRegistration().registerAllSlices(axes));
    const Deviation p = deviation(placements(axes), truth, specimen.pixel);
    EXPECT_GT(p.angle, 0.5);
    EXPECT_GT(p.shift, 1.0);
}

// Slices that show one image are aligned already: nothing moves, and the
// scores say the match is perfect.
TEST(SliceRegistration, IdenticalSlicesDoNotMove)
{
    Stack stack;
    for (int k = 0; k < 4; ++k) {
        auto* slice = new StackSlice("s" + std::to_string(k));
        slice->setImageSource(ImageSourceFile(sampleFile("images/slice12.tif")));
        stack.addSlice(slice);
    }
    for (auto method : {SliceRegistration::Method::Correlation, SliceRegistration::Method::PrincipalAxes}) {
        SliceRegistration registration;
        registration.setMethod(method);
        ASSERT_TRUE(registration.registerAllSlices(stack));
        ASSERT_EQ(registration.getAlignments().size(), 3u);
        for (const auto& a : registration.getAlignments()) {
            EXPECT_EQ(a.outcome, Outcome::Unchanged) << a.slice;
            EXPECT_TRUE(a.found.isNull()) << a.slice;
            EXPECT_NEAR(a.scoreBefore, 1.0, 1e-12) << a.slice;
            EXPECT_EQ(a.scoreAfter, a.scoreBefore) << a.slice;
            EXPECT_NEAR(a.angle, 0.0, 0.01) << a.slice;
        }
        for (int k = 0; k < stack.getNumSlices(); ++k)
            EXPECT_TRUE(stack.getSlice(k)->getRegistration().isNull());
    }
}

// An alignment that does not raise the correlation is not stored: the
// principal axes do not undo the correlation's better answers, and say so.
TEST(SliceRegistration, AnAlignmentThatScoresNoBetterIsNotApplied)
{
    Stack stack;
    for (int k = 14; k <= 18; ++k) {
        auto* slice = new StackSlice("s" + std::to_string(k));
        slice->setImageSource(ImageSourceFile(sampleFile("images/slice" + std::to_string(k) + ".tif")));
        stack.addSlice(slice);
    }
    SliceRegistration correlation;
    correlation.setMethod(SliceRegistration::Method::Correlation);
    ASSERT_TRUE(correlation.registerAllSlices(stack));
    std::vector<Registration> registered;
    for (int k = 0; k < stack.getNumSlices(); ++k)
        registered.push_back(stack.getSlice(k)->getRegistration());

    SliceRegistration axes;
    ASSERT_TRUE(axes.registerAllSlices(stack));
    int kept = 0;
    for (std::size_t k = 0; k < axes.getAlignments().size(); ++k) {
        const auto& a = axes.getAlignments()[k];
        const StackSlice& slice = *stack.getSlice(static_cast<int>(k) + 1);
        EXPECT_EQ(a.previous, registered[k + 1]);
        EXPECT_NEAR(a.scoreBefore, correlation.getAlignments()[k].scoreAfter, 1e-12);
        if (a.outcome == Outcome::Kept) {
            ++kept;
            EXPECT_LE(a.scoreAfter, a.scoreBefore);
            EXPECT_NE(a.found, a.previous);
            EXPECT_EQ(slice.getRegistration(), a.previous);
        } else {
            EXPECT_GT(a.scoreAfter, a.scoreBefore);
            EXPECT_EQ(slice.getRegistration(), a.found);
        }
    }
    EXPECT_GT(kept, 0);

    // One slice alone: align() proposes without storing.
    StackSlice& slice = *stack.getSlice(2);
    slice.setRegistration(Registration(9, -9, 20.0f));
    const SliceRegistration::Alignment a = correlation.align(slice);
    EXPECT_EQ(a.outcome, Outcome::Applied);
    EXPECT_EQ(slice.getRegistration(), Registration(9, -9, 20.0f));
    EXPECT_EQ(correlation.registerSlice(slice), a.found);
    EXPECT_EQ(correlation.getAlignments().size(), 1u);
    EXPECT_EQ(stack.getLastRegisteredSlice(), "s16");

    // Cancelled before it starts, it aligns nothing.
    correlation.cancel();
    EXPECT_EQ(correlation.align(*stack.getSlice(3)).outcome, Outcome::Canceled);
    const Registration before = stack.getSlice(3)->getRegistration();
    EXPECT_EQ(correlation.registerSlice(*stack.getSlice(3)), before);
    EXPECT_FALSE(correlation.registerAllSlices(stack));

    // The mask must fit every slice.
    SliceRegistration masked;
    masked.setMethod(SliceRegistration::Method::Correlation);
    PixelMatrix<bool> small(10, 10);
    small.fill(true);
    masked.setMask(small);
    EXPECT_PLEXAN_THROW(masked.align(*stack.getSlice(1)), UsageError, "bool CorrelationImageRegistration::run()",
                        "The mask does not have the size of the source image");
}
