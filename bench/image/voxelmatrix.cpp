#include "image/voxelmatrix.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace {

VoxelMatrix<float> randomVolume(int n)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> uniform(0.0f, 255.0f);
    VoxelMatrix<float> m(n, n, n);
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < n; ++i)
            for (float& x : m[k][i])
                x = uniform(rng);
    return m;
}

std::string volumeFile()
{
    return (std::filesystem::temp_directory_path() / "plexan_bench_volume.vm").string();
}

std::int64_t volumeBytes(int n)
{
    return static_cast<std::int64_t>(n) * n * n * static_cast<std::int64_t>(sizeof(float));
}

// Writing a float volume as a .vm file (into the page cache).
void BM_VoxelMatrixSave(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const VoxelMatrix<float> m = randomVolume(n);
    const std::string file = volumeFile();
    for (auto _ : state)
        m.save(file, true);
    std::remove(file.c_str());
    state.SetBytesProcessed(state.iterations() * volumeBytes(n));
}
BENCHMARK(BM_VoxelMatrixSave)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading it back into a matrix of the same size (planes reused) and into a
// fresh matrix (planes allocated).
void BM_VoxelMatrixLoad(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const bool fresh = state.range(1) != 0;
    const std::string file = volumeFile();
    randomVolume(n).save(file, true);
    VoxelMatrix<float> m(n, n, n);
    for (auto _ : state) {
        if (fresh) {
            VoxelMatrix<float> loaded;
            loaded.load(file);
            benchmark::DoNotOptimize(loaded(0, 0, 0));
        } else {
            m.load(file);
            benchmark::DoNotOptimize(m(0, 0, 0));
        }
    }
    std::remove(file.c_str());
    state.SetBytesProcessed(state.iterations() * volumeBytes(n));
}
BENCHMARK(BM_VoxelMatrixLoad)
    ->Args({64, 0})
    ->Args({256, 0})
    ->Args({256, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Making and filling a volume: the cost of fresh planes, which a load into a
// new matrix pays on top of the reading.
void BM_VoxelMatrixAllocate(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        VoxelMatrix<float> m(n, n, n);
        m.fill(1.0f);
        benchmark::DoNotOptimize(m(0, 0, 0));
    }
    state.SetBytesProcessed(state.iterations() * volumeBytes(n));
}
BENCHMARK(BM_VoxelMatrixAllocate)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VoxelMatrixSum(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const VoxelMatrix<float> m = randomVolume(n);
    for (auto _ : state) {
        PixelMatrix<float> p = m.sum();
        benchmark::DoNotOptimize(p(0, 0));
    }
    state.SetBytesProcessed(state.iterations() * volumeBytes(n));
}
BENCHMARK(BM_VoxelMatrixSum)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_VoxelMatrixMax(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const VoxelMatrix<float> m = randomVolume(n);
    for (auto _ : state) {
        PixelMatrix<float> p = m.max();
        benchmark::DoNotOptimize(p(0, 0));
    }
    state.SetBytesProcessed(state.iterations() * volumeBytes(n));
}
BENCHMARK(BM_VoxelMatrixMax)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_VoxelMatrixRange(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const VoxelMatrix<float> m = randomVolume(n);
    for (auto _ : state)
        benchmark::DoNotOptimize(m.range());
    state.SetBytesProcessed(state.iterations() * volumeBytes(n));
}
BENCHMARK(BM_VoxelMatrixRange)->Arg(256)->Unit(benchmark::kMillisecond);

} // namespace
