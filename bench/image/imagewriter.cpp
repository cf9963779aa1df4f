// Writing a stack of slice images: 100 new TIFF files of 1024 x 1024 pixels,
// 8-bit and 16-bit grey, into a scratch directory (the files of the previous
// round are removed untimed: replacing a file costs the file system more than
// writing a new one).

#include "image/image.h"
#include "image/imagewriter.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

void BM_WriteTiffSlices(benchmark::State& state)
{
    constexpr int slices = 100;
    const int depth = static_cast<int>(state.range(0));
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("plexan-bench-write-" + std::to_string(getpid()) + "-" + std::to_string(depth));
    std::filesystem::create_directories(dir);
    Image image(1024, 1024, depth);
    std::mt19937 generator(7);
    for (std::size_t i = 0; i < image.dataLength(); ++i)
        image.getData()[i] = static_cast<unsigned char>(generator() >> 24);
    std::vector<std::string> files;
    for (int k = 0; k < slices; ++k)
        files.push_back((dir / ("slice" + std::to_string(k) + ".tif")).string());

    ImageWriter writer;
    for (auto _ : state) {
        state.PauseTiming();
        for (const std::string& file : files)
            std::filesystem::remove(file);
        state.ResumeTiming();
        for (const std::string& file : files)
            writer.write(image, file, false);
    }
    state.SetBytesProcessed(state.iterations() * slices * static_cast<int64_t>(image.dataLength()));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteTiffSlices)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

} // namespace
