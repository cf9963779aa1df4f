// Reading and writing a large stack file: 200 slices (each naming a small
// TIFF file) and 20,000 items of 200 vertices in 10 models, about 40 MB of
// text.

#include "image/image.h"
#include "image/imagesourcefile.h"
#include "image/imagewriter.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackreader.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <unistd.h>

namespace {

constexpr int sliceCount = 200;
constexpr int modelCount = 10;
constexpr int itemCount = 20000;
constexpr int vertexCount = 200;

// The images, the stack and its file, made once.
struct LargeStack {
    LargeStack()
    {
        directory = std::filesystem::temp_directory_path() / ("plexan-bench-stackfile-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
        Image image(64, 64, 8);
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> coordinate(0, 2000);
        stack.setName("bench");
        stack.setDefaultRelativePosition(2.5f);
        for (int k = 0; k < sliceCount; ++k) {
            const std::string file = (directory / ("slice" + std::to_string(k) + ".tif")).string();
            ImageWriter().write(image, file, true);
            auto* slice = new StackSlice("slice " + std::to_string(k));
            stack.addSlice(slice);
            slice->setImageSource(ImageSourceFile(file));
        }
        for (int m = 0; m < modelCount; ++m) {
            auto* model = new Model("model " + std::to_string(m));
            model->getProperties().setGeometry(static_cast<MPrimitive>(m % 3));
            stack.addModel(model);
        }
        for (int i = 0; i < itemCount; ++i) {
            auto* item = new ModelItem(stack.getModel(i % modelCount), stack.getSlice(i % sliceCount));
            Vertices<int> v(2, vertexCount);
            for (int j = 0; j < vertexCount; ++j) {
                v[j][0] = coordinate(rng);
                v[j][1] = coordinate(rng);
            }
            item->setVertices(v);
            item->attach();
        }
        file = (directory / "bench.sdf").string();
        StackWriter().write(stack, file);
        bytes = static_cast<std::int64_t>(std::filesystem::file_size(file));
    }
    ~LargeStack() { std::filesystem::remove_all(directory); }

    std::filesystem::path directory;
    Stack stack;
    std::string file;
    std::int64_t bytes = 0;
};

LargeStack& largeStack()
{
    static LargeStack stack;
    return stack;
}

void BM_StackWriter_write(benchmark::State& state)
{
    LargeStack& large = largeStack();
    const std::string out = (large.directory / "out.sdf").string();
    StackWriter writer;
    for (auto _ : state)
        benchmark::DoNotOptimize(writer.write(large.stack, out));
    state.SetBytesProcessed(state.iterations() * large.bytes);
    state.counters["MB"] = static_cast<double>(large.bytes) / 1e6;
}
BENCHMARK(BM_StackWriter_write)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StackReader_read(benchmark::State& state)
{
    LargeStack& large = largeStack();
    StackReader reader;
    for (auto _ : state) {
        auto stack = std::make_unique<Stack>();
        benchmark::DoNotOptimize(reader.read(*stack, large.file));
        state.PauseTiming();
        stack.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * large.bytes);
    state.counters["MB"] = static_cast<double>(large.bytes) / 1e6;
}
BENCHMARK(BM_StackReader_read)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

} // namespace
