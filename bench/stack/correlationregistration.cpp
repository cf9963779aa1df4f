// Slice registration by correlation: a stack of 200 sections of 1024 x 1024
// pixels registered slice by slice (images read from TIFF files, as a user's
// stack is), one pair of 1024 x 1024 images, and one pair of the sample's
// 256 x 256 sections; the principal axes on the same pairs for comparison.
//
// The sections cut a synthetic organ: an ellipsoid of textured tissue (3D
// plane waves) with a few bright spheres, each section laid on its slide with
// a random turn of up to 5 degrees and a shift of up to 8 pixels.

#include "image/image.h"
#include "image/imagereader.h"
#include "image/imagesourcefile.h"
#include "image/imagewriter.h"
#include "stack/correlationimageregistration.h"
#include "stack/principalaxesimageregistration.h"
#include "stack/sliceregistration.h"
#include "stack/stack.h"
#include "stack/stackreader.h"
#include "stack/stackslice.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double pi = 3.141592653589793;
constexpr int sliceCount = 200;
constexpr int size = 1024;

// The organ and how section k of it looks.
struct Organ {
    std::array<std::array<double, 4>, 6> waves{};  // kx, ky, kz, phase
    std::vector<std::array<double, 3>> spheres;
    std::vector<std::array<double, 3>> placements;  // angle (degrees), shift x, shift y (pixels)

    Organ()
    {
        std::mt19937 rng(20240611);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        for (auto& w : waves) {
            const double length = 20.0 + 60.0 * unit(rng);
            const double theta = std::acos(2.0 * unit(rng) - 1.0);
            const double phi = 2.0 * pi * unit(rng);
            const double m = 2.0 * pi / length;
            w = {m * std::sin(theta) * std::cos(phi), m * std::sin(theta) * std::sin(phi), m * std::cos(theta),
                 2.0 * pi * unit(rng)};
        }
        for (int s = 0; s < 60; ++s)
            spheres.push_back({(unit(rng) - 0.5) * 500.0, (unit(rng) - 0.5) * 300.0, unit(rng) * sliceCount * 4.0});
        for (int k = 0; k < sliceCount; ++k)
            placements.push_back({(unit(rng) - 0.5) * 10.0, (unit(rng) - 0.5) * 16.0, (unit(rng) - 0.5) * 16.0});
    }

    // Section k as an 8-bit image: the organ (semi-axes 380 and 230 pixels in
    // the plane, 500 along the stack, the sections 4 pixels apart).
    Image section(int k, std::mt19937& rng) const
    {
        std::normal_distribution<double> noise(0.0, 3.0);
        const double z = k * 4.0 - sliceCount * 2.0;
        const double f = std::sqrt(std::max(0.0, 1.0 - z * z / (500.0 * 500.0)));
        const double a = placements[static_cast<std::size_t>(k)][0] * pi / 180.0;
        const double sx = placements[static_cast<std::size_t>(k)][1];
        const double sy = placements[static_cast<std::size_t>(k)][2];
        std::vector<std::array<double, 3>> cut;
        for (const auto& s : spheres)
            if (std::fabs(z - s[2]) < 12.0)
                cut.push_back(s);
        Image image(size, size, 8);
        for (int y = 0; y < size; ++y) {
            unsigned char* row = image.getRow(y);
            for (int x = 0; x < size; ++x) {
                const double u = x - size / 2.0 - sx;
                const double v = y - size / 2.0 - sy;
                const double px = std::cos(a) * u + std::sin(a) * v;
                const double py = -std::sin(a) * u + std::cos(a) * v;
                const double r = std::hypot(px / 380.0, py / 230.0);
                double value = 10.0;
                if (r < f) {
                    double t = 0.0;
                    for (const auto& w : waves)
                        t += std::cos(w[0] * px + w[1] * py + w[2] * z + w[3]);
                    value = 130.0 + 14.0 * t;
                }
                for (const auto& s : cut) {
                    const double dx = px - s[0], dy = py - s[1], dz = z - s[2];
                    if (dx * dx + dy * dy + dz * dz < 144.0)
                        value = 230.0;
                }
                row[x] = static_cast<unsigned char>(std::clamp(std::lround(value + noise(rng)), 0L, 255L));
            }
        }
        return image;
    }
};

// The sections written once as TIFF files, and the stack naming them.
struct SectionStack {
    std::filesystem::path directory;
    Organ organ;

    SectionStack()
    {
        directory = std::filesystem::temp_directory_path() / ("plexan-bench-registration-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
        std::mt19937 rng(7);
        for (int k = 0; k < sliceCount; ++k)
            ImageWriter().write(organ.section(k, rng), file(k), true);
    }
    ~SectionStack()
    {
        std::error_code error;
        std::filesystem::remove_all(directory, error);
    }

    std::string file(int k) const { return (directory / ("s" + std::to_string(k) + ".tif")).string(); }

    void fill(Stack& stack, int count) const
    {
        for (int k = 0; k < count; ++k) {
            auto* slice = new StackSlice("s" + std::to_string(k));
            slice->setImageSource(ImageSourceFile(file(k)));
            stack.addSlice(slice);
        }
    }

    void read(int k, PixelMatrix<double>& grey) const
    {
        Image image;
        ImageReader().read(image, ImageSourceFile(file(k)));
        grey.convertFromImage(image);
    }
};

const SectionStack& sections()
{
    static const SectionStack s;
    return s;
}

// 200 sections of 1024 x 1024, each read and registered on the one before:
// the time a user waits for "register all slices", per slice.
void BM_RegisterStackByCorrelation(benchmark::State& state)
{
    const SectionStack& s = sections();
    for (auto _ : state) {
        state.PauseTiming();
        Stack stack;
        s.fill(stack, sliceCount);
        SliceRegistration registration;
        registration.setMethod(SliceRegistration::Method::Correlation);
        state.ResumeTiming();
        benchmark::DoNotOptimize(registration.registerAllSlices(stack));
    }
    state.SetItemsProcessed(state.iterations() * (sliceCount - 1));
    // Wall-clock seconds per slice.
    state.counters["per_slice"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * (sliceCount - 1),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RegisterStackByCorrelation)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// One pair of 1024 x 1024 sections, already in memory.
template <typename Registration>
void registerPair(benchmark::State& state, const PixelMatrix<double>& source, const PixelMatrix<double>& target)
{
    Registration registration;
    registration.setSource(source);
    registration.setTarget(target);
    for (auto _ : state)
        registration.run();
}

void BM_CorrelationPair1024(benchmark::State& state)
{
    PixelMatrix<double> source;
    PixelMatrix<double> target;
    sections().read(101, source);
    sections().read(100, target);
    registerPair<CorrelationImageRegistration>(state, source, target);
}
BENCHMARK(BM_CorrelationPair1024)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrincipalAxesPair1024(benchmark::State& state)
{
    PixelMatrix<double> source;
    PixelMatrix<double> target;
    sections().read(101, source);
    sections().read(100, target);
    registerPair<PrincipalAxesImageRegistration<double>>(state, source, target);
}
BENCHMARK(BM_PrincipalAxesPair1024)->Unit(benchmark::kMillisecond)->UseRealTime();

// Two of the sample's 256 x 256 sections.
void BM_CorrelationSamplePair(benchmark::State& state)
{
    Stack stack;
    StackReader().read(stack, PLEXAN_SAMPLE_DIR "/sample.sdf");
    PixelMatrix<double> source;
    PixelMatrix<double> target;
    Image image;
    ImageReader().read(image, stack.getSlice(15)->getImageSource());
    source.convertFromImage(image);
    ImageReader().read(image, stack.getSlice(14)->getImageSource());
    target.convertFromImage(image);
    registerPair<CorrelationImageRegistration>(state, source, target);
}
BENCHMARK(BM_CorrelationSamplePair)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
