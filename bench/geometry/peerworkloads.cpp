// The mesh workload compared with other writers on the same mesh
// (bench/peers/run.sh): the ASCII STL file of the marching-cubes surface of
// the blob volume, written by the image-processing workload. Registered only
// when PLEXAN_PEERS_DATA names the generated inputs; the file stays beside
// them for the agreement check.

#include "geometry/trimesh.h"

#include "../peers/peerdata.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace {

TriMesh<float> blobSurface()
{
    const std::string directory = peers::dataDirectory() + "/ours/";
    const auto vertexCount = std::filesystem::file_size(directory + "w1_vertices.f32") / (3 * sizeof(float));
    const auto triangleCount = std::filesystem::file_size(directory + "w1_triangles.u32") / (3 * sizeof(std::uint32_t));
    std::vector<float> xyz(3 * vertexCount);
    std::vector<std::uint32_t> corners(3 * triangleCount);
    peers::readBytes(directory + "w1_vertices.f32", xyz.data(), xyz.size() * sizeof(float));
    peers::readBytes(directory + "w1_triangles.u32", corners.data(), corners.size() * sizeof(std::uint32_t));
    TriMesh<float> mesh(3, static_cast<int>(vertexCount));
    for (std::size_t v = 0; v < vertexCount; ++v)
        for (int a = 0; a < 3; ++a)
            mesh[static_cast<int>(v)][a] = xyz[3 * v + a];
    for (std::size_t t = 0; t < triangleCount; ++t)
        mesh.addTriangle(corners[3 * t], corners[3 * t + 1], corners[3 * t + 2]);
    mesh.setName("blobs");
    return mesh;
}

void asciiStl(benchmark::State& state)
{
    const TriMesh<float> mesh = blobSurface();
    const std::string file = peers::resultPath("w8_blobs.stl");
    for (auto _ : state) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        mesh.export2AsciiSTL(out);
        out.close();
    }
    state.counters["triangles"] = mesh.getNumTriangles();
}

[[maybe_unused]] const bool registered = [] {
    peers::addWorkload("W8_AsciiStl", asciiStl);
    return true;
}();

} // namespace
