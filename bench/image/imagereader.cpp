// Reading a stack of slice images: 100 TIFF files of 1024 x 1024 pixels, 8-bit
// and 16-bit grey, written once into a scratch directory. The raw read of the
// same files (whole file into memory) tells how much the decoding costs on
// top of the file system.

#include "image/image.h"
#include "image/imagereader.h"
#include "image/imagewriter.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int slices = 100;
constexpr int side = 1024;

class SliceFiles {
public:
    explicit SliceFiles(int depth)
        : m_dir(std::filesystem::temp_directory_path() /
                ("plexan-bench-read-" + std::to_string(getpid()) + "-" + std::to_string(depth)))
    {
        std::filesystem::create_directories(m_dir);
        Image image(side, side, depth);
        std::mt19937 generator(depth);
        for (int k = 0; k < slices; ++k) {
            for (std::size_t i = 0; i < image.dataLength(); ++i)
                image.getData()[i] = static_cast<unsigned char>(generator() >> 24);
            m_files.push_back((m_dir / ("slice" + std::to_string(k) + ".tif")).string());
            ImageWriter().write(image, m_files.back(), true);
        }
        m_bytes = image.dataLength();
    }
    ~SliceFiles() { std::filesystem::remove_all(m_dir); }
    const std::vector<std::string>& files() const { return m_files; }
    std::size_t bytesPerSlice() const { return m_bytes; }

private:
    std::filesystem::path m_dir;
    std::vector<std::string> m_files;
    std::size_t m_bytes = 0;
};

const SliceFiles& slicesOf(int depth)
{
    static SliceFiles eight(8), sixteen(16);
    return depth == 8 ? eight : sixteen;
}

void BM_ReadTiffSlices(benchmark::State& state)
{
    const SliceFiles& files = slicesOf(static_cast<int>(state.range(0)));
    ImageReader reader;
    Image image;
    for (auto _ : state)
        for (const std::string& file : files.files()) {
            reader.read(image, file);
            benchmark::DoNotOptimize(image.getData());
        }
    state.SetBytesProcessed(state.iterations() * slices * static_cast<int64_t>(files.bytesPerSlice()));
}
BENCHMARK(BM_ReadTiffSlices)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_ReadTiffHeaders(benchmark::State& state)
{
    const SliceFiles& files = slicesOf(8);
    ImageReader reader;
    ImageHeader header;
    for (auto _ : state)
        for (const std::string& file : files.files()) {
            reader.read(header, file);
            benchmark::DoNotOptimize(header.getWidth());
        }
    state.SetItemsProcessed(state.iterations() * slices);
}
BENCHMARK(BM_ReadTiffHeaders)->Unit(benchmark::kMillisecond);

// The floor: the same files read whole with plain stream reads.
void BM_ReadRawFiles(benchmark::State& state)
{
    const SliceFiles& files = slicesOf(static_cast<int>(state.range(0)));
    std::vector<char> buffer(files.bytesPerSlice() + 4096);
    for (auto _ : state)
        for (const std::string& file : files.files()) {
            std::ifstream in(file, std::ios::binary);
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            benchmark::DoNotOptimize(buffer.data());
        }
    state.SetBytesProcessed(state.iterations() * slices * static_cast<int64_t>(files.bytesPerSlice()));
}
BENCHMARK(BM_ReadRawFiles)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

} // namespace
