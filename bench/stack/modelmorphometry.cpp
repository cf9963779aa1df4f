// Measuring a model of 100 outlines of 500 vertices, and writing the model
// table of a stack of such models.

#include "stack/modelmorphometry.h"
#include "stack/morphometrytable.h"

#include "../../tests/stack/stackfixture.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <string>

namespace {

// An egg of 100 sections 0.5 apart on slices of 4000 x 4000 pixels of 0.01.
void addEgg(Stack& stack, const std::string& name, double shift)
{
    const double pi = std::numbers::pi;
    auto* model = new Model(name);
    stack.addModel(model);
    for (int k = 0; k < stack.getNumSlices(); ++k) {
        const double t = (k + 0.5) / stack.getNumSlices();
        const double r = 12 * std::sqrt(t * (1 - t)) * (1 + 0.2 * t);
        stacktest::Points points;
        for (int i = 0; i < 500; ++i) {
            const double a = 2 * pi * i / 500 + 0.01 * k;
            points.emplace_back(int(std::lround(2000 + (r * std::cos(a) + shift) / 0.01)),
                                int(std::lround(2000 - r * 0.8 * std::sin(a) / 0.01)));
        }
        stacktest::newItem(model, stack.getSlice(k), points);
    }
}

Stack& eggs()
{
    static Stack* stack = [] {
        auto* s = new Stack;
        for (int k = 0; k < 100; ++k) {
            StackSlice* slice = stacktest::newSlice("slice " + std::to_string(k), 4000, 4000, 0.01f, 0.01f);
            slice->setRelativePosition(0.5f);
            s->addSlice(slice);
        }
        for (int m = 0; m < 4; ++m)
            addEgg(*s, "egg " + std::to_string(m), 3.0 * m - 4.5);
        return s;
    }();
    return *stack;
}

void BM_ModelMorphometry(benchmark::State& state)
{
    const Model& model = *eggs().getModel(0);
    ModelMorphometry morphometry;
    morphometry.setModel(model);
    for (auto _ : state) {
        morphometry.run();
        benchmark::DoNotOptimize(morphometry.getVolume());
    }
    state.counters["vertices"] = morphometry.getNumVertices();
}
BENCHMARK(BM_ModelMorphometry)->Unit(benchmark::kMillisecond);

void BM_ModelTable(benchmark::State& state)
{
    for (auto _ : state) {
        const MorphometryTable table = MorphometryTable::modelTable(eggs(), MPrimitive::Polygon);
        benchmark::DoNotOptimize(table.toTsv());
    }
}
BENCHMARK(BM_ModelTable)->Unit(benchmark::kMillisecond);

} // namespace
