// Choosing the quadrilateral mesh of a 50-level contour stack.

#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

// An egg-shaped body: 50 elliptical contours of 80 to 160 vertices, 1 unit
// apart, each starting at its own angle.
template <typename T>
CurveStack<T> body()
{
    const double pi = std::numbers::pi;
    CurveStack<T> stack;
    for (int k = 0; k < 50; ++k) {
        const double s = std::sin(pi * (k + 0.5) / 50);
        const double a = 10 + 40 * s, b = 8 + 25 * s;
        const int n = 80 + (k * 37) % 81;
        Curve<T> c(3, n);
        for (int i = 0; i < n; ++i) {
            const double t = 0.1 * k + 2 * pi * i / n;
            c[i][0] = static_cast<T>(a * std::cos(t) + 2 * std::cos(5 * t));
            c[i][1] = static_cast<T>(b * std::sin(t));
            c[i][2] = static_cast<T>(k);
        }
        stack.append(c);
    }
    return stack;
}

template <typename T>
void BM_OptimalResampling(benchmark::State& state)
{
    const CurveStack<T> stack = body<T>();
    const T tolerance = static_cast<T>(state.range(0)) / 10;
    int height = 0, width = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(stack.optimalResampling(tolerance, height, width));
    state.counters["height"] = height;
    state.counters["width"] = width;
}
BENCHMARK_TEMPLATE(BM_OptimalResampling, float)->Arg(10)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_OptimalResampling, double)->Arg(10)->Arg(3)->Unit(benchmark::kMillisecond);

template <typename T>
void BM_CurveStackResample(benchmark::State& state)
{
    const CurveStack<T> stack = body<T>();
    for (auto _ : state)
        benchmark::DoNotOptimize(stack.resample(100, 100));
    state.SetItemsProcessed(state.iterations() * 100 * 100);
}
BENCHMARK_TEMPLATE(BM_CurveStackResample, float)->Unit(benchmark::kMillisecond);

} // namespace
