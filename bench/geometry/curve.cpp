// Point-in-polygon tests on a 1,000-vertex slice outline.

#include "geometry/curve.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

// A star-shaped outline with a wavy rim, as a traced cell boundary.
template <typename T>
Curve<T> outline(int n)
{
    Curve<T> c(2, n);
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        const double r = 200 + 30 * std::sin(7 * a) + 10 * std::cos(23 * a);
        c[i][0] = static_cast<T>(std::lround(500 + r * std::cos(a)));
        c[i][1] = static_cast<T>(std::lround(500 + r * std::sin(a)));
    }
    return c;
}

template <typename T>
void BM_CurveContains(benchmark::State& state)
{
    const Curve<T> c = outline<T>(static_cast<int>(state.range(0)));
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coordinate(250, 750);
    std::vector<Vector<T>> points(1024, Vector<T>(2u));
    for (auto& p : points)
        p = Vector<T>{static_cast<T>(coordinate(rng)), static_cast<T>(coordinate(rng))};
    std::size_t q = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.contains(points[q]));
        q = (q + 1) & 1023;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CurveContains<int>)->Arg(1000);
BENCHMARK(BM_CurveContains<float>)->Arg(1000);
BENCHMARK(BM_CurveContains<double>)->Arg(1000);

} // namespace
