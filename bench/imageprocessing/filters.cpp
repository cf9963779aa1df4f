#include "imageprocessing/neighbourhoodfilter.h"

#include <benchmark/benchmark.h>

namespace {

void BM_BallOffsets(benchmark::State& state)
{
    Vector<int> di, dj, dk;
    for (auto _ : state) {
        NeighbourhoodFilter::initSphericalNeighborhood(static_cast<int>(state.range(0)), di, dj, dk);
        benchmark::DoNotOptimize(di.data());
    }
}
BENCHMARK(BM_BallOffsets)->Arg(3);

} // namespace
