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
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

// Paired calls (bench/peers/run.sh --paired N): with PLEXAN_PAIRED=N in the
// environment, each workload makes 2N + 2 calls in one process, on one
// thread and on every core in turn, one thread first, and keeps the
// wall-clock time of every call. Consecutive calls see the same minute of
// the machine, so the ratio of a pair measures the two-core speed-up with
// little of the host's drift in it. The times go, once the workload
// returns, into paired-<workload>.txt among our results: a line
// "<threads> <milliseconds> <processor milliseconds>" per call, the
// processor time being that of the whole process (every thread's).
inline int pairedCount()
{
    static const int count = [] {
        const char* text = std::getenv("PLEXAN_PAIRED");
        const int n = text ? std::atoi(text) : 0;
        return n > 0 && n <= 100000 ? n : 0;
    }();
    return count;
}

struct PairedTime {
    int threads;
    double milliseconds;
    double processorMilliseconds;
};

inline double processorMilliseconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
}

inline std::vector<PairedTime>& pairedTimes()
{
    static std::vector<PairedTime> times;
    return times;
}

// Put around the timed call of a workload's loop (after ResumeTiming): in
// paired mode it picks the call's thread count and times the call.
class Call {
public:
    Call()
    {
        if (pairedCount() == 0)
            return;
        m_threads = pairedTimes().size() % 2 == 0 ? 1 : plexan::parallel::getDefaultThreadCount();
        plexan::parallel::setThreadCount(m_threads);
        m_processor = processorMilliseconds();
        m_start = std::chrono::steady_clock::now();
    }
    ~Call()
    {
        if (m_threads == 0)
            return;
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - m_start;
        pairedTimes().push_back({m_threads, elapsed.count(), processorMilliseconds() - m_processor});
        plexan::parallel::setThreadCount(0);
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    int m_threads = 0;
    double m_processor = 0;
    std::chrono::steady_clock::time_point m_start;
};

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
            if (pairedCount() > 0) {
                std::string lines;
                for (const PairedTime& t : pairedTimes())
                    lines += std::to_string(t.threads) + " " + std::to_string(t.milliseconds) + " "
                             + std::to_string(t.processorMilliseconds) + "\n";
                pairedTimes().clear();
                writeText("paired-" + name + ".txt", lines);
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s (PLEXAN_PEERS_DATA=%s)\n", name.c_str(), e.what(),
                         dataDirectory().c_str());
            std::exit(1);
        }
    });
    // Processor time of the whole process: the worker threads' too.
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
    if (pairedCount() > 0)
        b->Iterations(2 * pairedCount() + 2);
    else if (iterations > 0)
        b->Iterations(iterations);
}

} // namespace peers
