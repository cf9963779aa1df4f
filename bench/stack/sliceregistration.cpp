// Automatic registration of the sample specimen's 30 sections of 256 x 256.

#include "stack/sliceregistration.h"
#include "stack/stack.h"
#include "stack/stackreader.h"
#include "stack/stackslice.h"
#include "stack/stackvolumeconversion.h"
#include "image/voxelmatrix.h"

#include <benchmark/benchmark.h>

namespace {

void readSample(Stack& stack)
{
    StackReader().read(stack, PLEXAN_SAMPLE_DIR "/sample.sdf");
}

// One section on the one before it: both images read, made grey and matched.
void BM_RegisterOneSlice(benchmark::State& state)
{
    Stack stack;
    readSample(stack);
    for (auto _ : state)
        benchmark::DoNotOptimize(SliceRegistration::compute(*stack.getSlice(15)));
}
BENCHMARK(BM_RegisterOneSlice)->Unit(benchmark::kMillisecond);

// Every section, each image read once.
void BM_RegisterAllSlices(benchmark::State& state)
{
    Stack stack;
    readSample(stack);
    SliceRegistration registration;
    for (auto _ : state)
        benchmark::DoNotOptimize(registration.registerAllSlices(stack));
    state.SetItemsProcessed(state.iterations() * (stack.getNumSlices() - 1));
}
BENCHMARK(BM_RegisterAllSlices)->Unit(benchmark::kMillisecond);

void BM_StackToVolume(benchmark::State& state)
{
    Stack stack;
    readSample(stack);
    const StackVolumeConversion conversion;
    for (auto _ : state) {
        const VoxelMatrix<float> volume = conversion.apply<float>(stack);
        benchmark::DoNotOptimize(volume(0, 0, 0));
    }
    state.SetBytesProcessed(state.iterations() * stack.getNumSlices() * 256 * 256);
}
BENCHMARK(BM_StackToVolume)->Unit(benchmark::kMillisecond);

} // namespace
