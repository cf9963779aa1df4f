#pragma once
// Timing of in-place filters: each run works on a fresh copy of the input,
// made outside the timed region.

#include <benchmark/benchmark.h>

template <typename Image, typename Filter>
Image timeInPlace(benchmark::State& state, const Image& input, Filter& filter)
{
    Image work(input);
    for (auto _ : state) {
        state.PauseTiming();
        work = input;
        state.ResumeTiming();
        filter.apply(work);
        benchmark::ClobberMemory();
    }
    return work;
}
