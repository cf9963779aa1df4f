// The image-processing workloads compared with other libraries on the same
// inputs (bench/peers/run.sh): marching cubes of the blob volume, Gaussian,
// median, minimum and maximum filters, 3D component labelling. Registered
// only when PLEXAN_PEERS_DATA names the generated inputs; each leaves its
// result beside them for the agreement checks.

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"
#include "imageprocessing/componentlabelling.h"
#include "imageprocessing/gaussianfilter.h"
#include "imageprocessing/marchingcubes.h"
#include "imageprocessing/maxfilter.h"
#include "imageprocessing/medianfilter.h"
#include "imageprocessing/minfilter.h"

#include "../peers/peerdata.h"
#include "inplacetiming.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

void marchingCubes(benchmark::State& state)
{
    const VoxelMatrix<float> volume = peers::readVolume<float>("w1_blobs_256.f32", 256, 256, 256);
    MarchingCubes<float> mc;
    TriMesh<float> mesh;
    for (auto _ : state) {
        const peers::Call call;
        mesh = mc.buildMesh(volume, 0.5f, false);
        benchmark::DoNotOptimize(mesh.getNumTriangles());
    }
    state.counters["vertices"] = mesh.getNumVertices();
    state.counters["triangles"] = mesh.getNumTriangles();
    // The mesh itself, for the STL workload and the peers' comparisons.
    std::vector<float> vertices;
    vertices.reserve(3 * static_cast<std::size_t>(mesh.getNumVertices()));
    for (int v = 0; v < mesh.getNumVertices(); ++v)
        for (int a = 0; a < 3; ++a)
            vertices.push_back(mesh[v][a]);
    std::vector<std::uint32_t> triangles;
    triangles.reserve(3 * static_cast<std::size_t>(mesh.getNumTriangles()));
    for (int t = 0; t < mesh.getNumTriangles(); ++t)
        for (unsigned int corner : mesh.triangleIndexes(static_cast<unsigned int>(t)))
            triangles.push_back(corner);
    peers::writeArray("w1_vertices.f32", vertices);
    peers::writeArray("w1_triangles.u32", triangles);
}

// A program that extracts one surface, as plexan-cli isosurface does: a new
// MarchingCubes and a new mesh for the one call, in a process whose freed
// memory has gone back to the system, so the output is allocated and first
// touched inside the timed call. run.sh runs it once per process: a second
// call in the same process would get back the pages the first one freed,
// which the system hands out again much faster than pages it had to itself.
// Like plexan-cli, it starts the worker threads before reading its input
// (addWorkload does that for every workload).
void marchingCubesCold(benchmark::State& state)
{
    const VoxelMatrix<float> volume = peers::readVolume<float>("w1_blobs_256.f32", 256, 256, 256);
    std::optional<TriMesh<float>> mesh;
    for (auto _ : state) {
        state.PauseTiming();
        mesh.reset();
        malloc_trim(0);
        state.ResumeTiming();
        MarchingCubes<float> mc;
        mesh.emplace(mc.buildMesh(volume, 0.5f, false));
        benchmark::DoNotOptimize(mesh->getNumTriangles());
    }
    state.counters["triangles"] = mesh->getNumTriangles();
}

void gaussianVolume(benchmark::State& state)
{
    const VoxelMatrix<float> input = peers::readVolume<float>("w2_volume_512x512x128.f32", 512, 512, 128);
    GaussianFilter<float> filter(2.0f);
    peers::writeVolume("w2_volume.f32", timeInPlace<peers::Call>(state, input, filter));
}

void gaussianImage(benchmark::State& state)
{
    const PixelMatrix<float> input = peers::readImage<float>("w2_image_4096.f32", 4096, 4096);
    GaussianFilter<float> filter(2.0f);
    peers::writeImage("w2_image.f32", timeInPlace<peers::Call>(state, input, filter));
}

template <typename T>
void median(benchmark::State& state, const std::string& input, const std::string& output, int halfSize)
{
    const PixelMatrix<T> image = peers::readImage<T>(input, 2048, 2048);
    MedianFilter<T> filter(halfSize);
    peers::writeImage(output, timeInPlace<peers::Call>(state, image, filter));
}

template <typename Filter>
void extreme(benchmark::State& state, const std::string& output)
{
    const VoxelMatrix<float> input = peers::readVolume<float>("w4_volume_512x512x64.f32", 512, 512, 64);
    Filter filter(3);
    peers::writeVolume(output, timeInPlace<peers::Call>(state, input, filter));
}

void labelling(benchmark::State& state)
{
    const VoxelMatrix<int> input = peers::readVolume<int, std::uint8_t>("w5_binary_256.u8", 256, 256, 256);
    ComponentLabelling<int> labelling;
    peers::writeVolume("w5_labels.i32", timeInPlace<peers::Call>(state, input, labelling));
    state.counters["components"] = labelling.getNumLabels();
}

[[maybe_unused]] const bool registered = [] {
    peers::addWorkload("W1_MarchingCubes", marchingCubes);
    peers::addWorkload("W1_MarchingCubesCold", marchingCubesCold);
    peers::addWorkload("W2_GaussianVolume", gaussianVolume);
    peers::addWorkload("W2_GaussianImage", gaussianImage);
    peers::addWorkload("W3_Median3_Float", [](benchmark::State& s) {
        median<float>(s, "w3_image_2048.f32", "w3_median3.f32", 1);
    });
    peers::addWorkload("W3_Median7_Float", [](benchmark::State& s) {
        median<float>(s, "w3_image_2048.f32", "w3_median7.f32", 3);
    });
    peers::addWorkload("W3_Median3_Byte", [](benchmark::State& s) {
        median<unsigned char>(s, "w3_image_2048.u8", "w3_median3.u8", 1);
    });
    peers::addWorkload("W3_Median7_Byte", [](benchmark::State& s) {
        median<unsigned char>(s, "w3_image_2048.u8", "w3_median7.u8", 3);
    });
    peers::addWorkload("W4_Minimum", [](benchmark::State& s) { extreme<MinFilter<float>>(s, "w4_minimum.f32"); });
    peers::addWorkload("W4_Maximum", [](benchmark::State& s) { extreme<MaxFilter<float>>(s, "w4_maximum.f32"); });
    peers::addWorkload("W5_Labelling", labelling);
    return true;
}();

} // namespace
