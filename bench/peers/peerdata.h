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
#include "numerics/parallel.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
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

// Writes a result file once per process: every repetition of a workload
// computes the same result. The bytes reach the disk before the call returns,
// through a new file renamed over the old one: the system would otherwise
// write them back while the next repetition is timed, on the processor
// that a one-thread run leaves idle and a run on every core does not.
// produce(write) hands the bytes over in pieces with write(data, bytes).
template <typename Produce>
void writeResult(const std::string& name, Produce&& produce)
{
    static std::mutex mutex;
    static std::set<std::string> written;
    const std::string file = resultPath(name);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!written.insert(file).second)
            return;
    }
    const std::string partial = file + ".partial";
    const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot write " + partial);
    bool ok = true;
    produce([&](const void* data, std::size_t bytes) {
        const char* p = static_cast<const char*>(data);
        while (ok && bytes > 0) {
            const ssize_t n = ::write(fd, p, bytes);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = false;
                break;
            }
            p += n;
            bytes -= static_cast<std::size_t>(n);
        }
    });
    ok = ::fdatasync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(partial.c_str(), file.c_str()) != 0) {
        std::remove(partial.c_str());
        throw std::runtime_error("cannot write " + file);
    }
}

inline void writeBytes(const std::string& name, const void* data, std::size_t bytes)
{
    writeResult(name, [&](auto write) { write(data, bytes); });
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
    writeBytes(name, values.data(), values.size() * sizeof(T));
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
    writeResult(name, [&](auto write) {
        for (int k = 0; k < volume.getSize3(); ++k)
            for (int i = 0; i < volume.getSize1(); ++i)
                write(volume[k][i].data(), sizeof(T) * static_cast<std::size_t>(volume.getSize2()));
    });
}

template <typename T>
void writeImage(const std::string& name, const PixelMatrix<T>& image)
{
    writeResult(name, [&](auto write) {
        for (int i = 0; i < image.getSize1(); ++i)
            write(image[i].data(), sizeof(T) * static_cast<std::size_t>(image.getSize2()));
    });
}

inline void writeText(const std::string& name, const std::string& text)
{
    writeBytes(name, text.data(), text.size());
}

// Registers a workload benchmark, timed in wall-clock time, when the data
// directory is given. Each starts the pool's worker threads before it reads
// its input, as plexan-cli and the workbench do first thing: otherwise the
// first timed call of every process would pay for starting them.
template <typename Function>
void addWorkload(const std::string& name, Function function, int iterations = 1)
{
    if (dataDirectory().empty())
        return;
    auto* b = benchmark::RegisterBenchmark(name.c_str(), [function, name](benchmark::State& state) {
        plexan::parallel::warmUp();
        // A missing or short input ends the program with the reason, not
        // with an exception nobody catches.
        try {
            function(state);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s (PLEXAN_PEERS_DATA=%s)\n", name.c_str(), e.what(),
                         dataDirectory().c_str());
            std::exit(1);
        }
    });
    // Processor time of the whole process: the worker threads' too.
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
    if (iterations > 0)
        b->Iterations(iterations);
}

} // namespace peers
