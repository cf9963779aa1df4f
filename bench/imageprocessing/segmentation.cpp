// Single-threaded timings of segmentation and surface extraction on the sizes
// they are compared at: marching cubes of a 256^3 float volume (a sum of 40
// Gaussian blobs, iso 0.5), labelling of 256^3 binary volumes, the isodata
// threshold of a 2048 x 2048 image.
//
// With PLEXAN_BENCH_DUMP=DIRECTORY the volumes and image are also written
// there as raw files (floats or 32-bit ints, native order, the last index
// running fastest: element (i, j, k) at (k x size1 + i) x size2 + j, planes
// first), with our labels, for segmentation_reference.py to time the
// reference implementations on the same data.

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"
#include "imageprocessing/componentlabelling.h"
#include "imageprocessing/isodatathresholding.h"
#include "imageprocessing/marchingcubes.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int volumeSize = 256;

// Unit-height Gaussian blobs of widths 5 to 14 voxels, each summed over the
// box of 4 widths around its centre, as products of three 1D profiles.
VoxelMatrix<float> gaussianBlobs(int size, int count)
{
    std::mt19937 rng(40);
    std::uniform_real_distribution<float> centre(0.0f, static_cast<float>(size - 1)), width(5.0f, 14.0f);
    VoxelMatrix<float> v(size, size, size);
    v.setZeros();
    std::vector<float> g1, g2, g3;
    for (int b = 0; b < count; ++b) {
        const float c[3] = {centre(rng), centre(rng), centre(rng)};
        const float w = width(rng);
        const int reach = static_cast<int>(std::ceil(4 * w));
        int lo[3], hi[3];
        std::vector<float>* g[3] = {&g1, &g2, &g3};
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::max(0, static_cast<int>(c[a]) - reach);
            hi[a] = std::min(size - 1, static_cast<int>(c[a]) + reach);
            g[a]->resize(static_cast<size_t>(hi[a] - lo[a] + 1));
            for (int x = lo[a]; x <= hi[a]; ++x)
                (*g[a])[static_cast<size_t>(x - lo[a])] = std::exp(-(x - c[a]) * (x - c[a]) / (2 * w * w));
        }
        for (int k = lo[2]; k <= hi[2]; ++k)
            for (int i = lo[0]; i <= hi[0]; ++i) {
                float* row = v[k][i].data();
                const float f = g1[static_cast<size_t>(i - lo[0])] * g3[static_cast<size_t>(k - lo[2])];
                for (int j = lo[1]; j <= hi[1]; ++j)
                    row[j] += f * g2[static_cast<size_t>(j - lo[1])];
            }
    }
    return v;
}

const VoxelMatrix<float>& blobVolume()
{
    static const VoxelMatrix<float> v = gaussianBlobs(volumeSize, 40);
    return v;
}

// The blobs above 0.5 (large components) and random voxels with p = 0.3 (a
// great many small ones), as 0/1 ints.
const VoxelMatrix<int>& binaryVolume(bool noise)
{
    static const VoxelMatrix<int> blobs = [] {
        const VoxelMatrix<float>& f = blobVolume();
        VoxelMatrix<int> v(volumeSize, volumeSize, volumeSize);
        for (int k = 0; k < volumeSize; ++k)
            for (int i = 0; i < volumeSize; ++i)
                for (int j = 0; j < volumeSize; ++j)
                    v(i, j, k) = f(i, j, k) > 0.5f ? 1 : 0;
        return v;
    }();
    static const VoxelMatrix<int> random = [] {
        std::mt19937 rng(3);
        std::bernoulli_distribution in(0.3);
        VoxelMatrix<int> v(volumeSize, volumeSize, volumeSize);
        for (int k = 0; k < volumeSize; ++k)
            for (int i = 0; i < volumeSize; ++i)
                for (int j = 0; j < volumeSize; ++j)
                    v(i, j, k) = in(rng) ? 1 : 0;
        return v;
    }();
    return noise ? random : blobs;
}

// Two overlapping populations of grey levels on a 2048 x 2048 image.
const PixelMatrix<float>& bimodalImage()
{
    static const PixelMatrix<float> m = [] {
        std::mt19937 rng(5);
        std::normal_distribution<float> dark(60, 20), bright(170, 30);
        std::bernoulli_distribution which(0.4);
        PixelMatrix<float> image(2048, 2048);
        for (int i = 0; i < 2048; ++i)
            for (float& x : image[i])
                x = std::clamp(which(rng) ? bright(rng) : dark(rng), 0.0f, 255.0f);
        return image;
    }();
    return m;
}

template <typename T>
void dump(const std::string& file, const VoxelMatrix<T>& v)
{
    std::ofstream out(file, std::ios::binary);
    for (int k = 0; k < v.getSize3(); ++k)
        for (int i = 0; i < v.getSize1(); ++i)
            out.write(reinterpret_cast<const char*>(v[k][i].data()),
                      static_cast<std::streamsize>(sizeof(T) * static_cast<size_t>(v.getSize2())));
}

void dumpAll(const char* directory)
{
    const std::string d = directory;
    dump(d + "/blobs.raw", blobVolume());
    for (bool noise : {false, true}) {
        const std::string name = noise ? "noise" : "threshold";
        dump(d + "/" + name + ".raw", binaryVolume(noise));
        VoxelMatrix<int> labels = binaryVolume(noise);
        ComponentLabelling<int> labelling;
        labelling.apply(labels);
        dump(d + "/" + name + "-labels.raw", labels);
    }
    VoxelMatrix<float> image(2048, 2048, 1);
    image[0] = bimodalImage();
    dump(d + "/bimodal.raw", image);
    IsodataThresholding<float> isodata;
    std::ofstream(d + "/bimodal-threshold.txt") << isodata.computeThreshold(bimodalImage()) << "\n";
}

void BM_MarchingCubesGaussianBlobs(benchmark::State& state)
{
    const VoxelMatrix<float>& v = blobVolume();
    MarchingCubes<float> mc;
    int vertices = 0, triangles = 0;
    for (auto _ : state) {
        TriMesh<float> mesh = mc.buildMesh(v, 0.5f, state.range(0) != 0);
        vertices = mesh.getNumVertices();
        triangles = mesh.getNumTriangles();
        benchmark::DoNotOptimize(mesh);
    }
    state.counters["vertices"] = vertices;
    state.counters["triangles"] = triangles;
}
BENCHMARK(BM_MarchingCubesGaussianBlobs)->ArgName("closed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ComponentLabelling3D(benchmark::State& state)
{
    const VoxelMatrix<int>& source = binaryVolume(state.range(0) != 0);
    ComponentLabelling<int> labelling;
    VoxelMatrix<int> v(volumeSize, volumeSize, volumeSize);
    for (auto _ : state) {
        state.PauseTiming();
        v = source;
        state.ResumeTiming();
        labelling.apply(v);
    }
    state.counters["components"] = labelling.getNumLabels();
}
BENCHMARK(BM_ComponentLabelling3D)->ArgName("noise")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ComponentLabelling2D(benchmark::State& state)
{
    PixelMatrix<int> source(2048, 2048);
    std::mt19937 rng(8);
    std::bernoulli_distribution in(0.5);
    for (int i = 0; i < 2048; ++i)
        for (int& x : source[i])
            x = in(rng);
    ComponentLabelling<int> labelling;
    PixelMatrix<int> m = source;
    for (auto _ : state) {
        state.PauseTiming();
        m = source;
        state.ResumeTiming();
        labelling.apply(m);
    }
    state.counters["components"] = labelling.getNumLabels();
}
BENCHMARK(BM_ComponentLabelling2D)->Unit(benchmark::kMillisecond);

void BM_IsodataThreshold(benchmark::State& state)
{
    const PixelMatrix<float>& m = bimodalImage();
    IsodataThresholding<float> isodata;
    float threshold = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(threshold = isodata.computeThreshold(m));
    state.counters["threshold"] = threshold;
}
BENCHMARK(BM_IsodataThreshold)->Unit(benchmark::kMillisecond);

void BM_IsodataApply(benchmark::State& state)
{
    IsodataThresholding<float> isodata;
    PixelMatrix<float> m = bimodalImage();
    for (auto _ : state) {
        state.PauseTiming();
        m = bimodalImage();
        state.ResumeTiming();
        isodata.apply(m);
    }
}
BENCHMARK(BM_IsodataApply)->Unit(benchmark::kMillisecond);

// Written before the benchmarks run, when asked for.
[[maybe_unused]] const bool dumped = [] {
    if (const char* directory = std::getenv("PLEXAN_BENCH_DUMP"))
        dumpAll(directory);
    return true;
}();

} // namespace
