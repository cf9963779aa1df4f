// The file workload compared with other readers on the same files
// (bench/peers/run.sh): 200 TIFF files of 1024 x 1024 8-bit pixels and 50 of
// 2048 x 2048 16-bit pixels read into images, from the page cache.
// Registered only when PLEXAN_PEERS_DATA names the generated inputs; leaves
// the sums of the pixel values beside them for the agreement check.

#include "image/image.h"
#include "image/imagereader.h"

#include "../peers/peerdata.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> fileList(const std::string& prefix)
{
    std::ifstream in(peers::inputPath("w7/" + prefix + "list.txt"));
    std::vector<std::string> files;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            files.push_back(line);
    return files;
}

std::uint64_t pixelSum(const Image& image)
{
    const unsigned char* data = image.getData();
    const std::size_t bytes = image.dataLength();
    std::uint64_t sum = 0;
    if (image.getDepth() == 16) {
        for (std::size_t n = 0; n + 1 < bytes; n += 2) {
            std::uint16_t value;
            std::memcpy(&value, data + n, 2);
            sum += value;
        }
    } else {
        for (std::size_t n = 0; n < bytes; ++n)
            sum += data[n];
    }
    return sum;
}

void readTiffs(benchmark::State& state, const std::string& prefix)
{
    const std::vector<std::string> files = fileList(prefix);
    ImageReader reader;
    Image image;
    std::uint64_t bytes = 0;
    for (const std::string& file : files) // into the page cache
        reader.read(image, file);
    for (auto _ : state)
        for (const std::string& file : files) {
            reader.read(image, file);
            benchmark::DoNotOptimize(image.getData());
            bytes += image.dataLength();
        }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    std::uint64_t sum = 0;
    for (const std::string& file : files) {
        reader.read(image, file);
        sum += pixelSum(image);
    }
    peers::writeText("w7_" + prefix + "sum.txt", std::to_string(files.size()) + " " + std::to_string(sum) + "\n");
}

[[maybe_unused]] const bool registered = [] {
    peers::addWorkload("W7_ReadTiff_8bit_200x1024", [](benchmark::State& s) { readTiffs(s, "u8_"); });
    peers::addWorkload("W7_ReadTiff_16bit_50x2048", [](benchmark::State& s) { readTiffs(s, "u16_"); });
    return true;
}();

} // namespace
