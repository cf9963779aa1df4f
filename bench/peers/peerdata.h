#pragma once
// The inputs and results of the side-by-side workloads (bench/peers/run.sh).
//
// generate.py writes the inputs into the directory named by the environment
// variable PLEXAN_PEERS_DATA; the workload benchmarks of each folder read
// them from there and leave what they computed in its subdirectory "ours",
// where the peer scripts compare it with their own results. Without the
// variable the workloads are not registered and the benchmark programs run
// as usual.
//
// Raw files are native arrays with the last index fastest; a voxel matrix is
// stored plane after plane, row after row.

#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace peers {

// The data directory, empty when the workloads are not asked for.
inline std::string dataDirectory()
{
    const char* directory = std::getenv("PLEXAN_PEERS_DATA");
    return directory ? std::string(directory) : std::string();
}

inline std::string inputPath(const std::string& name)
{
    return dataDirectory() + "/" + name;
}

// Where our results go; the directory is created on first use.
inline std::string resultPath(const std::string& name)
{
    const std::filesystem::path directory = std::filesystem::path(dataDirectory()) / "ours";
    std::filesystem::create_directories(directory);
    return (directory / name).string();
}

inline void readBytes(const std::string& file, void* data, std::size_t bytes)
{
    std::ifstream in(file, std::ios::binary);
    in.read(static_cast<char*>(data), static_cast<std::streamsize>(bytes));
    if (!in || static_cast<std::size_t>(in.gcount()) != bytes)
        throw std::runtime_error("cannot read " + std::to_string(bytes) + " bytes of " + file);
}

inline void writeBytes(const std::string& file, const void* data, std::size_t bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(bytes));
    if (!out)
        throw std::runtime_error("cannot write " + file);
}

template <typename T>
std::vector<T> readArray(const std::string& name, std::size_t count)
{
    std::vector<T> values(count);
    readBytes(inputPath(name), values.data(), count * sizeof(T));
    return values;
}

template <typename T>
void writeArray(const std::string& name, const std::vector<T>& values)
{
    writeBytes(resultPath(name), values.data(), values.size() * sizeof(T));
}

// A stored volume of element type S as a voxel matrix of T.
template <typename T, typename S = T>
VoxelMatrix<T> readVolume(const std::string& name, int size1, int size2, int size3)
{
    const std::size_t row = static_cast<std::size_t>(size2);
    const std::vector<S> values = readArray<S>(name, row * size1 * size3);
    VoxelMatrix<T> volume(size1, size2, size3);
    const S* p = values.data();
    for (int k = 0; k < size3; ++k)
        for (int i = 0; i < size1; ++i, p += row) {
            T* out = volume[k][i].data();
            for (std::size_t j = 0; j < row; ++j)
                out[j] = static_cast<T>(p[j]);
        }
    return volume;
}

template <typename T, typename S = T>
PixelMatrix<T> readImage(const std::string& name, int rows, int columns)
{
    return readVolume<T, S>(name, rows, columns, 1)[0];
}

template <typename T>
void writeVolume(const std::string& name, const VoxelMatrix<T>& volume)
{
    std::ofstream out(resultPath(name), std::ios::binary | std::ios::trunc);
    for (int k = 0; k < volume.getSize3(); ++k)
        for (int i = 0; i < volume.getSize1(); ++i)
            out.write(reinterpret_cast<const char*>(volume[k][i].data()),
                      static_cast<std::streamsize>(sizeof(T) * static_cast<std::size_t>(volume.getSize2())));
    if (!out)
        throw std::runtime_error("cannot write " + name);
}

template <typename T>
void writeImage(const std::string& name, const PixelMatrix<T>& image)
{
    VoxelMatrix<T> volume(image.getSize1(), image.getSize2(), 1);
    volume[0] = image;
    writeVolume(name, volume);
}

inline void writeText(const std::string& name, const std::string& text)
{
    std::ofstream(resultPath(name), std::ios::trunc) << text;
}

// Registers a workload benchmark, timed in wall-clock time, when the data
// directory is given.
template <typename Function>
void addWorkload(const std::string& name, Function function, int iterations = 1)
{
    if (dataDirectory().empty())
        return;
    auto* b = benchmark::RegisterBenchmark(name.c_str(), function);
    // Processor time of the whole process: the worker threads' too.
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
    if (iterations > 0)
        b->Iterations(iterations);
}

} // namespace peers
