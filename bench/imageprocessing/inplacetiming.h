#pragma once
// Timing of in-place filters: each run works on a fresh copy of the input,
// made outside the timed region.

#include <benchmark/benchmark.h>

struct PlainCall {};

// Call lives around each timed call (the side-by-side workloads time their
// calls one by one with it).
template <typename Call = PlainCall, typename Image, typename Filter>
Image timeInPlace(benchmark::State& state, const Image& input, Filter& filter)
{
    Image work(input);
    for (auto _ : state) {
        state.PauseTiming();
        work = input;
        state.ResumeTiming();
        [[maybe_unused]] const Call call;
        filter.apply(work);
        benchmark::ClobberMemory();
    }
    return work;
}
