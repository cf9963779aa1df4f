#include "numerics/matrix.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

Vector<float> randomVector(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    Vector<float> v(static_cast<unsigned>(n));
    for (float& x : v)
        x = uniform(rng);
    return v;
}

Matrix<double> randomMatrix(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    Matrix<double> m(static_cast<unsigned>(n), static_cast<unsigned>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            m(i, j) = uniform(rng);
    return m;
}

void BM_VectorSum(benchmark::State& state)
{
    const Vector<float> v = randomVector(static_cast<int>(state.range(0)), 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(v.sum());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_VectorSum)->Arg(1 << 10)->Arg(1 << 20);

void BM_VectorVar(benchmark::State& state)
{
    const Vector<float> v = randomVector(static_cast<int>(state.range(0)), 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(v.var());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_VectorVar)->Arg(1 << 10)->Arg(1 << 20);

void BM_VectorScalarProduct(benchmark::State& state)
{
    const Vector<float> a = randomVector(static_cast<int>(state.range(0)), 3);
    const Vector<float> b = randomVector(static_cast<int>(state.range(0)), 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(a.scalarProduct(b));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_VectorScalarProduct)->Arg(1 << 20);

void BM_VectorMedian(benchmark::State& state)
{
    const Vector<float> v = randomVector(static_cast<int>(state.range(0)), 5);
    for (auto _ : state)
        benchmark::DoNotOptimize(v.median());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_VectorMedian)->Arg(9)->Arg(49)->Arg(1 << 16);

void BM_MatrixProduct(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> a = randomMatrix(n, 6);
    const Matrix<double> b = randomMatrix(n, 7);
    for (auto _ : state)
        benchmark::DoNotOptimize(a * b);
    state.SetItemsProcessed(state.iterations() * n * n * n);
}
BENCHMARK(BM_MatrixProduct)->Arg(3)->Arg(64)->Arg(300);

} // namespace
