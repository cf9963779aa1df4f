// Dense linear algebra at the sizes the library uses: 3 x 3 eigen and
// singular value decompositions for shape axes and rigid fits, a few hundred
// unknowns for least squares.

#include "numerics/polynomial.h"
#include "numerics/randomgenerator.h"
#include "numerics/squarematrix.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

template <typename T>
Matrix<T> randomMatrix(int n, int p, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    Matrix<T> m(static_cast<unsigned>(n), static_cast<unsigned>(p));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j)
            m(i, j) = static_cast<T>(uniform(rng));
    return m;
}

template <typename T>
void BM_EigenJacobi3(benchmark::State& state)
{
    // A batch of inertia-like symmetric matrices, cycled through.
    std::vector<SquareMatrix<T>> inputs;
    for (unsigned k = 0; k < 64; ++k) {
        const Matrix<T> a = randomMatrix<T>(3, 3, k);
        inputs.emplace_back(a * a.transpose());
    }
    Vector<T> values;
    SquareMatrix<T> vectors;
    std::size_t k = 0;
    for (auto _ : state) {
        inputs[k++ % inputs.size()].eigenJacobi(values, vectors, true);
        benchmark::DoNotOptimize(values.data());
    }
}
BENCHMARK(BM_EigenJacobi3<float>);
BENCHMARK(BM_EigenJacobi3<double>);

template <typename T>
void BM_Svd3(benchmark::State& state)
{
    std::vector<Matrix<T>> inputs;
    for (unsigned k = 0; k < 64; ++k)
        inputs.push_back(randomMatrix<T>(3, 3, 100 + k));
    SquareMatrix<T> left;
    SquareMatrix<T> right;
    std::size_t k = 0;
    for (auto _ : state) {
        const Vector<T> s = inputs[k++ % inputs.size()].svd(&left, &right);
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_Svd3<float>);
BENCHMARK(BM_Svd3<double>);

void BM_Det3(benchmark::State& state)
{
    const SquareMatrix<double> a(randomMatrix<double>(3, 3, 7));
    for (auto _ : state)
        benchmark::DoNotOptimize(a.det());
}
BENCHMARK(BM_Det3);

void BM_Inverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    SquareMatrix<double> a(randomMatrix<double>(n, n, 8));
    for (int i = 0; i < n; ++i)
        a(i, i) += n;
    for (auto _ : state) {
        const SquareMatrix<double> inv = a.inverse();
        benchmark::DoNotOptimize(inv(0, 0));
    }
}
BENCHMARK(BM_Inverse)->Arg(4)->Arg(300)->Unit(benchmark::kMicrosecond);

void BM_Solve(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const Matrix<double> a = randomMatrix<double>(n, n, 9);
    const Vector<double> b = randomMatrix<double>(1, n, 10)[0];
    for (auto _ : state) {
        const Vector<double> x = a.solve(b);
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(BM_Solve)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_CyclicTridiagSolve(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Vector<double> d(static_cast<unsigned>(n));
    Vector<double> off(static_cast<unsigned>(n - 1));
    d.fill(3.0);
    off.fill(-1.0);
    const Vector<double> b = randomMatrix<double>(1, n, 11)[0];
    for (auto _ : state) {
        Vector<double> x(b);
        SquareMatrix<double>::cyclicTridiagSolve(x, d, off, off, -1.0, -1.0);
        benchmark::DoNotOptimize(x.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_CyclicTridiagSolve)->Arg(200)->Arg(5000);

void BM_PolynomialFit(benchmark::State& state)
{
    // A cubic warp component in 3D fitted to 2000 displaced vertices.
    const int count = static_cast<int>(state.range(0));
    const Matrix<double> xyz = randomMatrix<double>(count, 3, 12);
    std::vector<Vector<double>> points;
    Vector<double> values(static_cast<unsigned>(count));
    for (int i = 0; i < count; ++i) {
        points.push_back(xyz[i]);
        values[i] = xyz(i, 0) * xyz(i, 1) - xyz(i, 2) * xyz(i, 2) * xyz(i, 2);
    }
    Polynomial<double> fit;
    for (auto _ : state) {
        fit.approximate(points, values, 3);
        benchmark::DoNotOptimize(fit.getCoeffs().data());
    }
}
BENCHMARK(BM_PolynomialFit)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_Gaussian(benchmark::State& state)
{
    RandomGenerator g(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(g.gaussian());
}
BENCHMARK(BM_Gaussian);

} // namespace
