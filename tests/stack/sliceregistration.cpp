#include "stack/sliceregistration.h"

#include "image/colormap.h"
#include "image/imagewriter.h"
#include "numerics/progressmonitor.h"
#include "stackfixture.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"
#include "stack/stackslice.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
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
