// The density workload compared with other libraries on the same points
// (bench/peers/run.sh): the pooled 5th-nearest-neighbour density of three
// patterns of 20,000 points sampled on a 64^3 grid over the unit cube, trees
// built included. Registered only when PLEXAN_PEERS_DATA names the generated
// inputs; leaves the density beside them for the agreement check.

#include "statistics/poissondensityestimator.h"

#include "../peers/peerdata.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <sstream>

namespace {

constexpr int patterns = 3;
constexpr int points = 20000;
constexpr int side = 64;

template <typename T>
void poissonDensity(benchmark::State& state, const char* output)
{
    const std::vector<double> xyz = peers::readArray<double>("w6_points_3x20000.f64", patterns * points * 3);
    // Each pattern on a pool of its own (copies would share one).
    std::vector<Vertices<T>> shapes;
    shapes.reserve(patterns);
    for (int s = 0; s < patterns; ++s)
        shapes.emplace_back(3, points);
    for (int s = 0; s < patterns; ++s)
        for (int n = 0; n < points; ++n)
            for (int a = 0; a < 3; ++a)
                shapes[s][n][a] = static_cast<T>(xyz[(static_cast<std::size_t>(s) * points + n) * 3 + a]);
    const BoundingBox<T> box(Vector<T>{T(0), T(0), T(0)}, Vector<T>{T(1), T(1), T(1)});
    VoxelMatrix<T> density(side, side, side);
    std::ostringstream console;
    auto* old = std::cout.rdbuf(console.rdbuf());
    for (auto _ : state) {
        const peers::Call call;
        PoissonDensityEstimator<T> estimator;
        estimator.setShapes({&shapes[0], &shapes[1], &shapes[2]});
        estimator.setNeighbourRank(5);
        estimator.compute(density, box);
        benchmark::ClobberMemory();
        console.str("");
    }
    std::cout.rdbuf(old);
    peers::writeVolume(output, density);
}

[[maybe_unused]] const bool registered = [] {
    peers::addWorkload("W6_PoissonDensity_Double", [](benchmark::State& s) { poissonDensity<double>(s, "w6_density.f64"); });
    peers::addWorkload("W6_PoissonDensity_Float", [](benchmark::State& s) { poissonDensity<float>(s, "w6_density.f32"); });
    return true;
}();

} // namespace
