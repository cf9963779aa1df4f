// Single-threaded timings of the filters on the sizes they are compared at,
// and over several half-sizes to show that the box, minimum, maximum and
// median costs hardly depend on them.

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"
#include "imageprocessing/derichegradient.h"
#include "imageprocessing/gaussianfilter.h"
#include "imageprocessing/maxfilter.h"
#include "imageprocessing/medianfilter.h"
#include "imageprocessing/minfilter.h"
#include "imageprocessing/sumfilter.h"

#include "inplacetiming.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

template <typename T>
PixelMatrix<T> randomPixels(int rows, int columns)
{
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> d(0, 255);
    PixelMatrix<T> m(rows, columns);
    for (int i = 0; i < rows; ++i)
        for (T& x : m[i])
            x = static_cast<T>(d(rng));
    return m;
}

template <typename T>
VoxelMatrix<T> randomVoxels(int s1, int s2, int s3)
{
    VoxelMatrix<T> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        v[k] = randomPixels<T>(s1, s2);
    return v;
}

// Times filter.apply on a fresh copy of the input, counting elements.
template <typename Image, typename Filter>
void timeFilter(benchmark::State& state, const Image& input, Filter& filter, double elements)
{
    timeInPlace(state, input, filter);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * elements));
}

void BM_Gaussian2_Volume512x512x128(benchmark::State& state)
{
    const VoxelMatrix<float> v = randomVoxels<float>(512, 512, 128);
    GaussianFilter<float> filter(2.0f);
    timeFilter(state, v, filter, 512.0 * 512 * 128);
}
BENCHMARK(BM_Gaussian2_Volume512x512x128)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Gaussian2_Matrix4096(benchmark::State& state)
{
    const PixelMatrix<float> m = randomPixels<float>(4096, 4096);
    GaussianFilter<float> filter(2.0f);
    timeFilter(state, m, filter, 4096.0 * 4096);
}
BENCHMARK(BM_Gaussian2_Matrix4096)->Unit(benchmark::kMillisecond)->Iterations(5);

template <typename T>
void BM_Median_Matrix2048(benchmark::State& state)
{
    const PixelMatrix<T> m = randomPixels<T>(2048, 2048);
    MedianFilter<T> filter(static_cast<int>(state.range(0)));
    timeFilter(state, m, filter, 2048.0 * 2048);
}
BENCHMARK_TEMPLATE(BM_Median_Matrix2048, float)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_TEMPLATE(BM_Median_Matrix2048, unsigned char)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(2);

// The half-size hardly changes the cost of the sliding table.
void BM_Median_Matrix512_HalfSize(benchmark::State& state)
{
    const PixelMatrix<float> m = randomPixels<float>(512, 512);
    MedianFilter<float> filter(static_cast<int>(state.range(0)));
    timeFilter(state, m, filter, 512.0 * 512);
}
BENCHMARK(BM_Median_Matrix512_HalfSize)->Arg(2)->Arg(3)->Arg(5)->Arg(8)->Unit(benchmark::kMillisecond);

template <typename Filter>
void BM_Extreme_Volume512x512x64(benchmark::State& state)
{
    const VoxelMatrix<float> v = randomVoxels<float>(512, 512, 64);
    Filter filter(static_cast<int>(state.range(0)));
    timeFilter(state, v, filter, 512.0 * 512 * 64);
}
BENCHMARK_TEMPLATE(BM_Extreme_Volume512x512x64, MinFilter<float>)
    ->Arg(1)->Arg(3)->Arg(7)->Arg(15)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_TEMPLATE(BM_Extreme_Volume512x512x64, MaxFilter<float>)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Extreme_Matrix2048(benchmark::State& state)
{
    const PixelMatrix<float> m = randomPixels<float>(2048, 2048);
    MinFilter<float> filter(static_cast<int>(state.range(0)));
    timeFilter(state, m, filter, 2048.0 * 2048);
}
BENCHMARK(BM_Extreme_Matrix2048)->Arg(1)->Arg(3)->Arg(15)->Unit(benchmark::kMillisecond);

void BM_BoxSum_Matrix2048(benchmark::State& state)
{
    const PixelMatrix<float> m = randomPixels<float>(2048, 2048);
    SumFilter<float> filter(static_cast<int>(state.range(0)));
    timeFilter(state, m, filter, 2048.0 * 2048);
}
BENCHMARK(BM_BoxSum_Matrix2048)->Arg(1)->Arg(3)->Arg(7)->Arg(15)->Arg(31)->Unit(benchmark::kMillisecond);

void BM_BoxSum_Volume256(benchmark::State& state)
{
    const VoxelMatrix<float> v = randomVoxels<float>(256, 256, 256);
    SumFilter<float> filter(static_cast<int>(state.range(0)));
    timeFilter(state, v, filter, 256.0 * 256 * 256);
}
BENCHMARK(BM_BoxSum_Volume256)->Arg(1)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DericheNorm_Matrix2048(benchmark::State& state)
{
    const PixelMatrix<float> m = randomPixels<float>(2048, 2048);
    DericheGradient<float> filter(1.0f);
    timeFilter(state, m, filter, 2048.0 * 2048);
}
BENCHMARK(BM_DericheNorm_Matrix2048)->Unit(benchmark::kMillisecond);

} // namespace
