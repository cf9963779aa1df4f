#include "image/imagesource.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"
#include "stack/stackslice.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

// Names an image of a fixed size without any file behind it.
class FixedSizeSource : public ImageSource {
public:
    FixedSizeSource(int rows, int columns) : m_rows(rows), m_columns(columns) {}
    std::unique_ptr<ImageSource> clone() const override { return std::make_unique<FixedSizeSource>(*this); }
    int getType() const override { return FileType; }
    bool isDefined() const override { return true; }
    int getSize1() const override { return m_rows; }
    int getSize2() const override { return m_columns; }
    int getDepth() const override { return 8; }
    const Colormap* getColormap() const override { return nullptr; }

private:
    int m_rows, m_columns;
};

// n registered 1024 x 1024 slices, a third of them at their own spacing.
void fillStack(Stack& stack, int n)
{
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> shift(-20, 20);
    std::uniform_real_distribution<float> angle(0.0f, 5.0f);
    stack.setDefaultRelativePosition(1.5f);
    for (int k = 0; k < n; ++k) {
        auto* slice = new StackSlice("s" + std::to_string(k));
        slice->setImageSource(FixedSizeSource(1024, 1024));
        slice->getPixelCalibration().setPixelWidth(0.4f);
        slice->getPixelCalibration().setPixelHeight(0.4f);
        slice->setRegistration(Registration(shift(rng), shift(rng), angle(rng)));
        if (k % 3 == 2)
            slice->setRelativePosition(2.0f);
        stack.addSlice(slice);
    }
}

void BM_ComputeMaps(benchmark::State& state)
{
    Stack stack;
    fillStack(stack, static_cast<int>(state.range(0)));
    StackReconstruction<float> reconstruction(stack);
    for (auto _ : state) {
        reconstruction.computeMaps();
        benchmark::DoNotOptimize(reconstruction.getMaps()[0][0]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ComputeMaps)->Arg(2000)->Unit(benchmark::kMicrosecond);

// A model with one closed outline of `vertices` vertices on each of 500 slices.
void BM_ApplyModel(benchmark::State& state)
{
    const int items = 500;
    const int vertices = static_cast<int>(state.range(0));
    Stack stack;
    fillStack(stack, items);
    auto* model = new Model;
    stack.addModel(model);
    for (int k = 0; k < items; ++k) {
        auto* item = new ModelItem(model, stack.getSlice(k));
        Vertices<int> outline(2, 0, vertices, 0);
        for (int i = 0; i < vertices; ++i) {
            const double a = 2 * 3.141592653589793 * i / vertices;
            outline.append(Vector<int>{static_cast<int>(512 + 300 * std::cos(a)),
                                       static_cast<int>(512 + 200 * std::sin(a))});
        }
        item->setVertices(outline);
        item->attach();
    }
    const StackReconstruction<float> reconstruction(stack);
    for (auto _ : state) {
        const std::unique_ptr<VertexStack<float>> placed = reconstruction.apply(*model);
        benchmark::DoNotOptimize(placed->getHeight());
    }
    state.SetItemsProcessed(state.iterations() * items * vertices);
}
BENCHMARK(BM_ApplyModel)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
