// What the memory allows: one in-place read-modify-write pass over the
// images of the median and the minimum and maximum workloads (2048² float
// and 8-bit, 512 × 512 × 64 float), cut into bands of rows and run through
// the same parallel loops as the filters. Timed like the filters, on a fresh
// copy of the input made outside the timed region; run with PLEXAN_THREADS=1
// and 2 to see how far two threads can go before the memory holds them.

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"
#include "numerics/parallel.h"

#include "inplacetiming.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

using plexan::parallel::forEachChunk;
using plexan::parallel::getThreadCount;
using plexan::parallel::grainFor;

// Every element replaced by the larger of itself and a threshold: one read
// and one write, vectorised.
template <typename T>
void raise(T* x, int n, T floor)
{
    for (int j = 0; j < n; ++j)
        x[j] = std::max(x[j], floor);
}

struct StreamPass {
    template <typename T>
    void apply(PixelMatrix<T>& m) const
    {
        const int rows = m.getSize1();
        const int columns = m.getSize2();
        forEachChunk(0, rows, grainFor(rows, 4 * getThreadCount(), 8), [&](std::ptrdiff_t a, std::ptrdiff_t b) {
            for (std::ptrdiff_t i = a; i < b; ++i)
                raise(m[static_cast<int>(i)].data(), columns, T(3));
        });
    }
    template <typename T>
    void apply(VoxelMatrix<T>& v) const
    {
        const int rows = v.getSize1();
        const int columns = v.getSize2();
        const long long lines = static_cast<long long>(rows) * v.getSize3();
        forEachChunk(0, lines, grainFor(lines, 4 * getThreadCount(), 8), [&](std::ptrdiff_t a, std::ptrdiff_t b) {
            for (std::ptrdiff_t n = a; n < b; ++n)
                raise(v[static_cast<int>(n / rows)][static_cast<int>(n % rows)].data(), columns, T(3));
        });
    }
};

template <typename T>
void BM_Stream_Matrix2048(benchmark::State& state)
{
    PixelMatrix<T> m(2048, 2048);
    for (int i = 0; i < 2048; ++i)
        for (int j = 0; j < 2048; ++j)
            m[i][j] = static_cast<T>((i * 7 + j * 13) % 251);
    StreamPass pass;
    timeInPlace(state, m, pass);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2.0 * sizeof(T) * 2048 * 2048));
}
BENCHMARK_TEMPLATE(BM_Stream_Matrix2048, float)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Stream_Matrix2048, unsigned char)->Unit(benchmark::kMillisecond);

void BM_Stream_Volume512x512x64(benchmark::State& state)
{
    VoxelMatrix<float> v(512, 512, 64);
    for (int k = 0; k < 64; ++k)
        for (int i = 0; i < 512; ++i)
            for (int j = 0; j < 512; ++j)
                v[k][i][j] = static_cast<float>((i * 7 + j * 13 + k) % 251);
    StreamPass pass;
    timeInPlace(state, v, pass);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2.0 * sizeof(float) * 512 * 512 * 64));
}
BENCHMARK(BM_Stream_Volume512x512x64)->Unit(benchmark::kMillisecond);

} // namespace
