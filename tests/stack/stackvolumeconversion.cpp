#include "stack/stackvolumeconversion.h"

#include "image/anyvoxelmatrix.h"
#include "stack/stackfromvolume.h"

#include "image/voxelmatrix.h"
#include "stack/registration.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"
#include "stack/stackslice.h"
#include "stackfixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace stacktest;

namespace {

PixelCalibration pixels(float width, float height)
{
    PixelCalibration c;
    c.setLengthUnit(LengthUnit(-6));
    c.setPixelWidth(width);
    c.setPixelHeight(height);
    c.setAspectRatio(height / width);
    return c;
}

// A stack of n slices of rows x columns pixels, spaced by spacing.
void fill(Stack& stack, int n, int rows, int columns, const PixelCalibration& c, float spacing)
{
    stack.setLengthUnit(LengthUnit(-6));
    stack.setDefaultRelativePosition(spacing);
    for (int k = 0; k < n; ++k) {
        StackSlice* slice = newSlice("s" + std::to_string(k), rows, columns);
        slice->setPixelCalibration(c);
        stack.addSlice(slice);
    }
}

} // namespace

// Voxels are the display pixels (square, the larger side of the image
// pixel) by the mean spacing; one slice takes its own spacing, none at all
// leaves a depth of 1.
TEST(StackVolumeConversion, VoxelSizeIsTheDisplayPixelAndTheMeanSpacing)
{
    const struct {
        float width, height, spacing, voxel, depth;
    } cases[] = {{0.25f, 0.25f, 3.0f, 0.25f, 3.0f}, {0.5f, 1.0f, 2.0f, 1.0f, 2.0f}, {1.0f, 0.5f, 2.0f, 1.0f, 2.0f}};
    for (const auto& c : cases) {
        Stack stack;
        fill(stack, 4, 40, 60, pixels(c.width, c.height), c.spacing);
        const VoxelCalibration v = StackVolumeConversion::voxelCalibration(stack);
        EXPECT_EQ(v.getLengthUnit(), LengthUnit(-6));
        EXPECT_FLOAT_EQ(v.getVoxelHeight(), c.voxel);
        EXPECT_FLOAT_EQ(v.getVoxelWidth(), c.voxel);
        EXPECT_FLOAT_EQ(v.getVoxelDepth(), c.depth);
    }
    Stack stack;
    fill(stack, 4, 10, 10, pixels(1.0f, 1.0f), 2.0f);
    EXPECT_TRUE(StackVolumeConversion::isEvenlySpaced(stack));
    // Positions 0, 2, 7, 9: three gaps over 9.
    stack.getSlice(2)->setAbsolutePosition(7.0f);
    stack.getSlice(3)->setRelativePosition(2.0f);
    EXPECT_FALSE(StackVolumeConversion::isEvenlySpaced(stack));
    EXPECT_FLOAT_EQ(StackVolumeConversion::voxelCalibration(stack).getVoxelDepth(), 3.0f);
    for (const float spacing : {5.0f, 0.0f}) {
        Stack one;
        fill(one, 1, 10, 10, pixels(1.0f, 1.0f), spacing);
        EXPECT_FLOAT_EQ(StackVolumeConversion::voxelCalibration(one).getVoxelDepth(), spacing ? spacing : 1.0f);
    }
}

TEST(StackVolumeConversion, PlanesHoldTheSliceImages)
{
    ImageFiles files;
    Stack stack;
    stack.setLengthUnit(LengthUnit(-3));
    stack.setDefaultRelativePosition(0.5f);
    for (int k = 0; k < 3; ++k) {
        auto* slice = new StackSlice("s" + std::to_string(k));
        // Red carries x + k, green y, blue 7.
        slice->setImageSource(files.write("c" + std::to_string(k) + ".tif", 12, 9, 24, [k](int x, int y, int b) {
            return b == 0 ? x + k : b == 1 ? y : 7;
        }));
        slice->setPixelCalibration(pixels(0.1f, 0.1f));
        stack.addSlice(slice);
    }
    StackVolumeConversion conversion;
    conversion.setContent(ImageColorContent::RedOnly);
    const VoxelMatrix<float> red = conversion.apply<float>(stack);
    ASSERT_EQ(red.getSize(), (Vector<int>{9, 12, 3}));
    EXPECT_EQ(red.getVoxelCalibration(), StackVolumeConversion::voxelCalibration(stack));
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 9; ++i)
            for (int j = 0; j < 12; ++j)
                ASSERT_EQ(red(i, j, k), static_cast<float>(j + k));

    conversion.setContent(ImageColorContent::Grayscale);
    const VoxelMatrix<double> grey = conversion.apply<double>(stack);
    // Pixel (x 5, y 4) of slice 2: red 7, green 4, blue 7, grey their mean.
    EXPECT_EQ(grey(4, 5, 2), static_cast<double>((7 + 4 + 7) / 3));

    EXPECT_TRUE(conversion.apply<float>(Stack()).isEmpty());
}

// Regression: 16-bit slices were made 8-bit images for display first, each
// stretched over its own range, so one value became a different grey level
// on every plane. Their samples are kept as they are.
TEST(StackVolumeConversion, SixteenBitSlicesKeepTheirSamples)
{
    ImageFiles files;
    Stack stack;
    auto sample = [](int x, int y, int k) { return k == 0 ? 100 + x + 10 * y : 30000 + 977 * x + 3001 * y; };
    for (int k = 0; k < 2; ++k) {
        auto* slice = new StackSlice("s" + std::to_string(k));
        slice->setImageSource(files.write("g" + std::to_string(k) + ".tif", 7, 5, 16, [&](int x, int y, int b) {
            return b == 0 ? sample(x, y, k) & 255 : sample(x, y, k) >> 8;
        }));
        slice->setPixelCalibration(pixels(0.5f, 0.5f));
        stack.addSlice(slice);
    }
    StackVolumeConversion conversion;
    const VoxelMatrix<float> values = conversion.apply<float>(stack);
    const AnyVoxelMatrix kept = conversion.apply(stack);
    ASSERT_NE(kept.get<unsigned short>(), nullptr) << kept.getTypeName();
    EXPECT_EQ(kept.getVoxelCalibration(), values.getVoxelCalibration());
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < 7; ++j) {
                ASSERT_EQ(values(i, j, k), static_cast<float>(sample(j, i, k))) << i << " " << j << " " << k;
                ASSERT_EQ((*kept.get<unsigned short>())(i, j, k), sample(j, i, k));
            }
}

// A volume's planes as slice images: values kept when they fit, one window
// for every plane otherwise.
TEST(StackFromVolume, ValuesAreKeptOrWindowedAlikeOnEveryPlane)
{
    stackfiletest::TemporaryDirectory directory;
    VoxelMatrix<float> volume(3, 4, 2);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j)
                volume(i, j, k) = static_cast<float>(250 * k + 10 * i + j);
    VoxelCalibration c;
    c.setLengthUnit(LengthUnit(-9));
    // Square pixels: slices of other pixels are resampled to square ones.
    c.setVoxelSize(Vector<float>{0.25f, 0.25f, 4.0f});
    volume.setVoxelCalibration(c);

    StackFromVolume maker;
    maker.setName("v");
    // Whole numbers up to 273: 16-bit slices hold them.
    EXPECT_EQ(maker.sliceBits(AnyVoxelMatrix(volume)), 16);
    std::unique_ptr<Stack> stack = maker.apply(AnyVoxelMatrix(volume), directory.root());
    ASSERT_EQ(stack->getNumSlices(), 2);
    EXPECT_EQ(stack->getLengthUnit(), LengthUnit(-9));
    EXPECT_FLOAT_EQ(stack->getSlice(1)->getAbsolutePosition(), 4.0f);
    EXPECT_FLOAT_EQ(stack->getSlice(0)->getPixelCalibration().getPixelWidth(), 0.25f);
    EXPECT_FLOAT_EQ(stack->getSlice(0)->getPixelCalibration().getPixelHeight(), 0.25f);
    StackVolumeConversion conversion;
    const VoxelMatrix<float> back = conversion.apply<float>(*stack);
    EXPECT_TRUE(back == volume);

    // Fractions need a window: 0 to 510 over 255 levels, two values a level.
    volume(0, 0, 0) = 0.5f;
    EXPECT_THROW(maker.sliceBits(AnyVoxelMatrix(volume)), ValueError);
    maker.setValues(StackFromVolume::Values::Window);
    maker.setWindow(0.0, 510.0);
    stack = maker.apply(AnyVoxelMatrix(volume), directory.root());
    const VoxelMatrix<float> windowed = conversion.apply<float>(*stack);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_EQ(windowed(i, j, k), std::floor(volume(i, j, k) / 2 + 0.5f)) << i << " " << j << " " << k;
    EXPECT_THROW(maker.setWindow(3.0, 3.0), ValueError);
}

namespace {

// A stack of discs: slice k's 8-bit image (60 x 48 pixels of 0.5 µm) holds a
// disc of 255 of radius 8 pixels about its own centre centres[k] (x, y), 0
// elsewhere; slice k carries registrations[k].
struct Discs {
    ImageFiles files;
    Stack stack;
    std::vector<std::array<double, 2>> centres;
};

void makeDiscs(Discs& d, const std::vector<std::array<double, 2>>& centres,
               const std::vector<Registration>& registrations)
{
    d.centres = centres;
    d.stack.setLengthUnit(LengthUnit(-6));
    d.stack.setDefaultRelativePosition(2.0f);
    for (std::size_t k = 0; k < centres.size(); ++k) {
        auto* slice = new StackSlice("d" + std::to_string(k));
        const auto [cx, cy] = centres[k];
        slice->setImageSource(d.files.write("d" + std::to_string(k) + ".tif", 60, 48, 8, [=](int x, int y, int) {
            return std::hypot(x - cx, y - cy) <= 8.0 ? 255 : 0;
        }));
        slice->setPixelCalibration(pixels(0.5f, 0.5f));
        slice->setRegistration(registrations[k]);
        d.stack.addSlice(slice);
    }
}

// The centre (in the stack's frame: x along the columns, y up the rows, from
// the plane's centre) and the area of the bright part of plane k, each voxel
// weighted by its value (255 for a voxel all inside).
std::array<double, 3> brightPart(const VoxelMatrix<float>& v, int k)
{
    const double w = v.getVoxelCalibration().getVoxelWidth(), h = v.getVoxelCalibration().getVoxelHeight();
    double n = 0, x = 0, y = 0;
    for (int i = 0; i < v.getSize1(); ++i)
        for (int j = 0; j < v.getSize2(); ++j)
            if (const double weight = v(i, j, k) / 255.0; weight > 0) {
                n += weight;
                x += weight * w * (j - v.getSize2() / 2.0);
                y += weight * h * (v.getSize1() / 2.0 - i);
            }
    return {x / n, y / n, n * w * h};
}

} // namespace

// Registered, each plane is its slice moved as the reconstruction places the
// slice's outlines: a disc's centre, outlined by a point on every slice,
// lands where the models put that point, whole in the grown planes and with
// its area, whatever the shifts and turns; an unregistered stack gives the
// stored volume itself.
TEST(StackVolumeConversion, RegisteredPlanesAreTheSlicesWhereTheModelsLie)
{
    Discs d;
    makeDiscs(d, {{30, 24}, {18, 30}, {41, 12}, {52, 40}},
              {Registration(), Registration(12, -6, 90.0f), Registration(-20, 15, 33.5f), Registration(-9, -25, 300.0f)});
    StackVolumeConversion conversion;
    conversion.setPlacement(StackVolumeConversion::Placement::Registered);
    const VoxelMatrix<float> volume = conversion.apply<float>(d.stack);
    EXPECT_EQ(volume.getVoxelCalibration(), StackVolumeConversion::voxelCalibration(d.stack));
    // Grown by whole voxels on both sides: the centre stays the stack's origin.
    EXPECT_GT(volume.getSize2(), 60);
    EXPECT_EQ((volume.getSize2() - 60) % 2, 0);
    EXPECT_EQ((volume.getSize1() - 48) % 2, 0);
    EXPECT_EQ(volume.getSize3(), 4);

    // Each disc's centre where the reconstruction maps its pixel, as it maps
    // outlines drawn on the slice; its area (its pixels') kept.
    const StackReconstruction<double> reconstruction(d.stack);
    int discPixels = 0;
    for (int y = -8; y <= 8; ++y)
        for (int x = -8; x <= 8; ++x)
            discPixels += std::hypot(x, y) <= 8.0;
    const double area = discPixels * 0.25;
    for (int k = 0; k < 4; ++k) {
        const Vector<double>& m = reconstruction.getMaps()[k];
        const auto [cx, cy] = d.centres[static_cast<std::size_t>(k)];
        const auto [x, y, a] = brightPart(volume, k);
        EXPECT_NEAR(x, m[0] * cx + m[1] * cy + m[2], 0.05) << k;
        EXPECT_NEAR(y, m[3] * cx + m[4] * cy + m[5], 0.05) << k;
        EXPECT_NEAR(a, area, 0.01 * area) << k;
    }
    // A quarter turn with whole-pixel shifts moves pixels onto voxels: plane 1
    // holds the disc's pixels and nothing else, none of them interpolated.
    int pixels = 0, bright = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 60; ++x)
            pixels += std::hypot(x - 18.0, y - 30.0) <= 8.0;
    for (int i = 0; i < volume.getSize1(); ++i)
        for (int j = 0; j < volume.getSize2(); ++j) {
            ASSERT_TRUE(volume(i, j, 1) == 0.0f || volume(i, j, 1) == 255.0f) << i << " " << j;
            bright += volume(i, j, 1) == 255.0f;
        }
    EXPECT_EQ(bright, pixels);

    // Without registrations, the stored volume itself.
    Discs plain;
    makeDiscs(plain, {{30, 24}, {18, 30}}, {Registration(), Registration()});
    const VoxelMatrix<float> stored = StackVolumeConversion().apply<float>(plain.stack);
    EXPECT_TRUE(conversion.apply<float>(plain.stack) == stored);
    EXPECT_FALSE(StackVolumeConversion::hasRegistrations(plain.stack));
    EXPECT_TRUE(StackVolumeConversion::hasRegistrations(d.stack));
}
