// Pooled k-th nearest neighbour density of 3 patterns of 20,000 points on a
// 64^3 grid with k = 5, single-threaded. The points come from splitmix64 so
// that poisson_scipy.py can time scipy's cKDTree on the very same points.

#include "statistics/poissondensityestimator.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <iostream>
#include <sstream>

namespace {

std::uint64_t splitmix64(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// Pattern s: n points in [0, 1)^3, coordinates from the top 53 bits.
template <typename T>
Vertices<T> pattern(int s, int n)
{
    std::uint64_t state = 1000 + static_cast<std::uint64_t>(s);
    Vertices<T> points(3, n);
    for (int i = 0; i < n; ++i)
        for (int a = 0; a < 3; ++a)
            points[i][a] = static_cast<T>(static_cast<double>(splitmix64(state) >> 11) * 0x1.0p-53);
    return points;
}

template <typename T>
void BM_PoissonDensity(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int side = static_cast<int>(state.range(1));
    Vertices<T> a = pattern<T>(0, n), b = pattern<T>(1, n), c = pattern<T>(2, n);
    PoissonDensityEstimator<T> estimator;
    estimator.setShapes({&a, &b, &c});
    estimator.setNeighbourRank(5);
    const BoundingBox<T> box(Vector<T>{T(0), T(0), T(0)}, Vector<T>{T(1), T(1), T(1)});
    VoxelMatrix<T> density(side, side, side);
    std::ostringstream console;
    auto* old = std::cout.rdbuf(console.rdbuf());
    for (auto _ : state) {
        estimator.compute(density, box);
        benchmark::DoNotOptimize(density(side / 2, side / 2, side / 2));
        console.str("");
    }
    std::cout.rdbuf(old);
    state.SetItemsProcessed(state.iterations() * 3LL * side * side * side);
    // To compare with the density mean poisson_scipy.py prints.
    state.counters["density_mean"] = static_cast<double>(density.cat().mean());
}
BENCHMARK(BM_PoissonDensity<float>)->Args({20000, 64})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PoissonDensity<double>)->Args({20000, 64})->Unit(benchmark::kMillisecond);

// The same queries, one at a time through the tree without the bound of
// the neighbouring sample.
void BM_PoissonDensityPointByPoint(benchmark::State& state)
{
    const int side = 64;
    Vertices<float> a = pattern<float>(0, 20000), b = pattern<float>(1, 20000), c = pattern<float>(2, 20000);
    PoissonDensityEstimator<float> estimator;
    estimator.setShapes({&a, &b, &c});
    estimator.setNeighbourRank(5);
    Vector<float> p(3u);
    for (auto _ : state) {
        float sum = 0;
        for (int k = 0; k < side; ++k)
            for (int i = 0; i < side; ++i)
                for (int j = 0; j < side; ++j) {
                    p[0] = i / 63.0f;
                    p[1] = j / 63.0f;
                    p[2] = k / 63.0f;
                    sum += estimator.compute3D(p);
                }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_PoissonDensityPointByPoint)->Unit(benchmark::kMillisecond);

void BM_PoissonTreeBuild(benchmark::State& state)
{
    Vertices<float> a = pattern<float>(0, 20000), b = pattern<float>(1, 20000), c = pattern<float>(2, 20000);
    for (auto _ : state) {
        PoissonDensityEstimator<float> estimator;
        estimator.setShapes({&a, &b, &c});
        benchmark::DoNotOptimize(estimator.getTree(2).getNumNodes());
    }
}
BENCHMARK(BM_PoissonTreeBuild)->Unit(benchmark::kMillisecond);

} // namespace
