// Triangle-mesh measures and the ASCII STL text on a sphere of a million
// triangles.

#include "geometry/trimesh.h"

#include "../../tests/geometry/meshfixtures.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <streambuf>

namespace {

// 2 x 1000 x 500 = 1,000,000 triangles over 499,002 vertices.
template <typename T>
const TriMesh<T>& millionTriangles()
{
    static const TriMesh<T> mesh = fixtures::sphere<T>(100.0, 501, 1000);
    return mesh;
}

template <typename T>
void BM_TriMeshArea(benchmark::State& state)
{
    const TriMesh<T>& mesh = millionTriangles<T>();
    for (auto _ : state)
        benchmark::DoNotOptimize(mesh.area());
    state.SetItemsProcessed(state.iterations() * mesh.getNumTriangles());
}
BENCHMARK_TEMPLATE(BM_TriMeshArea, float)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TriMeshArea, double)->Unit(benchmark::kMillisecond);

template <typename T>
void BM_TriMeshVolume(benchmark::State& state)
{
    const TriMesh<T>& mesh = millionTriangles<T>();
    for (auto _ : state)
        benchmark::DoNotOptimize(mesh.volume());
    state.SetItemsProcessed(state.iterations() * mesh.getNumTriangles());
}
BENCHMARK_TEMPLATE(BM_TriMeshVolume, float)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TriMeshVolume, double)->Unit(benchmark::kMillisecond);

// One containment query (inside or outside the sphere) per iteration.
template <typename T>
void BM_TriMeshContains(benchmark::State& state)
{
    const TriMesh<T>& mesh = millionTriangles<T>();
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-99, 99);
    std::vector<Vector<T>> points;
    for (int i = 0; i < 64; ++i)
        points.push_back(Vector<T>{static_cast<T>(u(rng)), static_cast<T>(u(rng)), static_cast<T>(u(rng))});
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(mesh.contains(points[i++ % points.size()]));
    state.SetItemsProcessed(state.iterations() * mesh.getNumTriangles());
}
BENCHMARK_TEMPLATE(BM_TriMeshContains, float)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TriMeshContains, double)->Unit(benchmark::kMillisecond);

// A stream buffer that only counts what it is given: the formatting alone.
class CountingBuffer : public std::streambuf {
public:
    std::size_t count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        count += static_cast<std::size_t>(n);
        return n;
    }
    int_type overflow(int_type c) override
    {
        ++count;
        return traits_type::not_eof(c);
    }
};

template <typename T>
void BM_TriMeshAsciiSTL(benchmark::State& state)
{
    const TriMesh<T>& mesh = millionTriangles<T>();
    std::size_t bytes = 0;
    for (auto _ : state) {
        CountingBuffer buffer;
        std::ostream out(&buffer);
        mesh.export2AsciiSTL(out);
        bytes += buffer.count;
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * mesh.getNumTriangles());
}
BENCHMARK_TEMPLATE(BM_TriMeshAsciiSTL, float)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TriMeshAsciiSTL, double)->Unit(benchmark::kMillisecond);

// The same into a file, through the file system's cache.
void BM_TriMeshAsciiSTLFile(benchmark::State& state)
{
    const TriMesh<float>& mesh = millionTriangles<float>();
    const std::string name = "/tmp/plexan-bench-trimesh.stl";
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        mesh.export2AsciiSTL(out);
        out.flush();
        bytes += static_cast<std::size_t>(out.tellp());
    }
    std::remove(name.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_TriMeshAsciiSTLFile)->Unit(benchmark::kMillisecond);

} // namespace
