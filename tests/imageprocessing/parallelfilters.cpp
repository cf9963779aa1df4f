// The parallel paths of the heavy filters give the single thread's result to
// the bit, at every thread count, including images with fewer rows, columns
// or planes than threads and bands that share their borders.

#include "imageprocessing/componentlabelling.h"
#include "imageprocessing/gaussianfilter.h"
#include "imageprocessing/maxfilter.h"
#include "imageprocessing/minfilter.h"
#include "numerics/parallel.h"
#include "randomimages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

using namespace plexan::test;
using plexan::parallel::ThreadCountScope;

namespace {

const int threadCounts[] = {2, 3, 4};

template <typename T>
bool sameBits(const PixelMatrix<T>& a, const PixelMatrix<T>& b)
{
    if (a.getSize1() != b.getSize1() || a.getSize2() != b.getSize2())
        return false;
    for (int i = 0; i < a.getSize1(); ++i)
        if (std::memcmp(a[i].data(), b[i].data(), sizeof(T) * static_cast<std::size_t>(a.getSize2())) != 0)
            return false;
    return true;
}

template <typename T>
bool sameBits(const VoxelMatrix<T>& a, const VoxelMatrix<T>& b)
{
    if (!a.sameSizeAs(b))
        return false;
    for (int k = 0; k < a.getSize3(); ++k)
        if (!sameBits(a[k], b[k]))
            return false;
    return true;
}

// Runs filter on a copy of input with one thread and with each thread count
// in turn, and expects the same bits.
template <typename Matrix>
void expectThreadCountsAgree(const Matrix& input, const std::function<void(Matrix&)>& filter, const char* what)
{
    Matrix single = input;
    {
        ThreadCountScope one(1);
        filter(single);
    }
    EXPECT_FALSE(sameBits(single, input)) << what << ": the filter changed nothing, the comparison proves nothing";
    for (int threads : threadCounts) {
        ThreadCountScope scope(threads);
        Matrix parallel = input;
        filter(parallel);
        EXPECT_TRUE(sameBits(parallel, single)) << what << " with " << threads << " threads";
    }
}

} // namespace

TEST(ParallelFilters, GaussianBandsGiveTheSingleThreadBits)
{
    std::mt19937 rng(11);
    // Rows fewer than threads, one band, several bands whose windows reach
    // over their neighbours (sigma 3: 13 taps), and a kernel longer than
    // the image.
    const int sizes[][2] = {{3, 2}, {1, 9}, {67, 45}, {130, 33}, {9, 70}};
    const double sigmas[] = {1.0, 3.0, 6.0};
    for (const auto& size : sizes)
        for (double sigma : sigmas) {
            const PixelMatrix<float> image = randomPixels<float>(size[0], size[1], rng, 0, 255);
            GaussianFilter<float> filter(static_cast<float>(sigma));
            expectThreadCountsAgree<PixelMatrix<float>>(image, [&](PixelMatrix<float>& m) { filter.apply(m); },
                                                        "2D Gaussian");
        }
    const int volumes[][3] = {{2, 3, 1}, {37, 21, 5}, {70, 9, 3}, {5, 40, 13}};
    for (const auto& size : volumes)
        for (double sigma : {1.0, 2.5}) {
            const VoxelMatrix<double> volume = randomVoxels<double>(size[0], size[1], size[2], rng, 0, 255);
            GaussianFilter<double> filter(sigma);
            expectThreadCountsAgree<VoxelMatrix<double>>(volume, [&](VoxelMatrix<double>& v) { filter.apply(v); },
                                                         "3D Gaussian");
        }
}

TEST(ParallelFilters, MinimumAndMaximumGiveTheSingleThreadBits)
{
    std::mt19937 rng(12);
    const int sizes[][2] = {{2, 3}, {70, 100}, {19, 257}};
    for (const auto& size : sizes) {
        const PixelMatrix<float> image = randomPixels<float>(size[0], size[1], rng, -50, 50);
        const PixelMatrix<float> mask = randomMask<float>(size[0], size[1], rng);
        for (int h : {1, 3}) {
            MinFilter<float> minimum(h);
            MaxFilter<float> maximum(h);
            expectThreadCountsAgree<PixelMatrix<float>>(image, [&](PixelMatrix<float>& m) { minimum.apply(m); },
                                                        "2D minimum");
            expectThreadCountsAgree<PixelMatrix<float>>(image, [&](PixelMatrix<float>& m) { maximum.apply(m); },
                                                        "2D maximum");
            expectThreadCountsAgree<PixelMatrix<float>>(
                image, [&](PixelMatrix<float>& m) { maximum.apply(m, mask); }, "2D masked maximum");
        }
    }
    const int volumes[][3] = {{1, 2, 3}, {23, 70, 9}, {40, 5, 2}};
    for (const auto& size : volumes) {
        const VoxelMatrix<float> volume = randomVoxels<float>(size[0], size[1], size[2], rng, -50, 50);
        const VoxelMatrix<float> mask = randomMask<float>(size[0], size[1], size[2], rng);
        MinFilter<float> minimum(2);
        MaxFilter<float> maximum(3);
        expectThreadCountsAgree<VoxelMatrix<float>>(volume, [&](VoxelMatrix<float>& v) { minimum.apply(v); },
                                                    "3D minimum");
        expectThreadCountsAgree<VoxelMatrix<float>>(volume, [&](VoxelMatrix<float>& v) { maximum.apply(v); },
                                                    "3D maximum");
        expectThreadCountsAgree<VoxelMatrix<float>>(
            volume, [&](VoxelMatrix<float>& v) { minimum.apply(v, mask); }, "3D masked minimum");
    }
}

namespace {

// Labels a copy of v with the given thread count.
VoxelMatrix<int> labelled(const VoxelMatrix<int>& v, int threads, int& count)
{
    ThreadCountScope scope(threads);
    VoxelMatrix<int> out = v;
    ComponentLabelling<int> labelling;
    labelling.apply(out);
    count = labelling.getNumLabels();
    return out;
}

} // namespace

TEST(ParallelFilters, LabellingInSlabsGivesTheSameLabels)
{
    std::mt19937 rng(13);
    std::bernoulli_distribution inside(0.35);
    const int volumes[][3] = {{4, 5, 1}, {6, 7, 2}, {9, 11, 3}, {13, 17, 19}, {1, 1, 9}, {16, 40, 33}};
    for (const auto& size : volumes) {
        VoxelMatrix<int> v(size[0], size[1], size[2]);
        for (int k = 0; k < size[2]; ++k)
            for (int i = 0; i < size[0]; ++i)
                for (int j = 0; j < size[1]; ++j)
                    v(i, j, k) = inside(rng) ? 1 : 0;
        int reference = 0;
        const VoxelMatrix<int> single = labelled(v, 1, reference);
        for (int threads : threadCounts) {
            int count = 0;
            const VoxelMatrix<int> parallel = labelled(v, threads, count);
            EXPECT_EQ(count, reference) << threads << " threads";
            EXPECT_TRUE(sameBits(parallel, single)) << threads << " threads, " << size[2] << " planes";
        }
    }

    // Components that meet only in the last plane, after every slab has
    // numbered its parts apart: two columns through every plane joined at the
    // bottom, with a lone voxel between them that starts later in raster
    // order. One thread numbers the columns 1 and the voxel 2.
    VoxelMatrix<int> u(3, 5, 24);
    for (int k = 0; k < 24; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 5; ++j)
                u(i, j, k) = 0;
    for (int k = 0; k < 24; ++k) {
        u(0, 0, k) = 1;
        u(0, 4, k) = 1;
    }
    for (int j = 0; j < 5; ++j)
        u(2, j, 23) = 1;
    u(2, 0, 22) = 1;
    u(2, 4, 22) = 1;
    u(1, 0, 22) = 1;
    u(1, 4, 22) = 1;
    u(1, 2, 3) = 1;
    for (int threads : {1, 2, 4}) {
        int count = 0;
        const VoxelMatrix<int> out = labelled(u, threads, count);
        EXPECT_EQ(count, 2) << threads << " threads";
        EXPECT_EQ(out(0, 0, 0), 1);
        EXPECT_EQ(out(0, 4, 0), 1) << threads << " threads: the columns were not merged across the slabs";
        EXPECT_EQ(out(2, 2, 23), 1);
        EXPECT_EQ(out(1, 2, 3), 2) << threads << " threads";
    }
}
