// Skinning a stack of 100 contours of 500 vertices by each method.

#include "geometry/curvestacktriangulation.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

// A wavy tube: 100 counter-clockwise contours of 500 vertices, 1 unit apart,
// whose radius and lobes change from level to level and whose starting
// vertex turns, so that every band has its own closest pair.
template <typename T>
const CurveStack<T>& tube()
{
    static const CurveStack<T> stack = [] {
        const double pi = std::numbers::pi;
        CurveStack<T> s;
        for (int k = 0; k < 100; ++k) {
            const int n = 500;
            const double r = 40 + 15 * std::sin(pi * k / 30);
            Curve<T> c(3, n);
            for (int i = 0; i < n; ++i) {
                const double t = 0.37 * k + 2 * pi * i / n;
                const double rr = r + 3 * std::cos(4 * t + 0.2 * k);
                c[i][0] = static_cast<T>(rr * std::cos(t) + 0.5 * k);
                c[i][1] = static_cast<T>(0.8 * rr * std::sin(t));
                c[i][2] = static_cast<T>(k);
            }
            s.append(c);
        }
        return s;
    }();
    return stack;
}

template <typename T>
void BM_CurveStackTriangulation(benchmark::State& state)
{
    const CurveStack<T>& stack = tube<T>();
    CurveStackTriangulation<T> triangulation(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        triangulation.apply(stack);
        benchmark::DoNotOptimize(triangulation.getTriMesh().getNumTriangles());
    }
    state.SetItemsProcessed(state.iterations() * triangulation.getTriMesh().getNumTriangles());
}
BENCHMARK_TEMPLATE(BM_CurveStackTriangulation, float)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CurveStackTriangulation, double)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

// The surface measure the morphometry makes: method 2, then the area.
void BM_ArcLengthSurfaceArea(benchmark::State& state)
{
    const CurveStack<double>& stack = tube<double>();
    for (auto _ : state) {
        const CurveStackTriangulation<double> triangulation(stack, 2);
        benchmark::DoNotOptimize(triangulation.getTriMesh().area());
    }
}
BENCHMARK(BM_ArcLengthSurfaceArea)->Unit(benchmark::kMillisecond);

} // namespace
