// Copies of whole matrices by assignment to a matrix of the same size, as a
// filter's caller refreshes its working copy, from an eighth of the size
// where the copy is shared among the threads up to a 2048 x 2048 float
// image. Wall clock: the copy runs on every thread. (Copy construction
// mostly times the allocator: freed rows go back to the system, and every
// page of the next copy faults in again.)

#include "numerics/matrix.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

template <typename T>
Matrix<T> randomMatrix(int rows, int columns)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> d(0, 255);
    Matrix<T> m(static_cast<unsigned>(rows), static_cast<unsigned>(columns));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            m(i, j) = static_cast<T>(d(rng));
    return m;
}

template <typename T>
void BM_MatrixAssign(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const Matrix<T> source = randomMatrix<T>(n, n);
    Matrix<T> copy(source);
    for (auto _ : state) {
        copy = source;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(n) * n * static_cast<int64_t>(sizeof(T)));
}
BENCHMARK_TEMPLATE(BM_MatrixAssign, unsigned char)
    ->Arg(512)->Arg(1024)->Arg(1448)->Arg(2048)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_MatrixAssign, float)->Arg(724)->Arg(2048)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
