// The block library functions against the C library called value by value:
// nanoseconds per value over blocks of 1024, on the instruction set chosen at
// run time (printed first; see instruction_set_choice.h).

#include <benchmark/benchmark.h>

#include "instruction_set_choice.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
    // A ramp over the range each function serves in the chain, as an
    // oscillator's phase or a gliding level gives it.
    std::vector<float> inputs (float low, float high)
    {
        std::vector<float> v (1024);

        for (size_t i = 0; i < v.size(); ++i)
            v[i] = low + (high - low) * (float) i / (float) v.size();

        return v;
    }

    template <typename Block>
    void block (benchmark::State& state, Block fn, float low, float high)
    {
        const auto in = inputs (low, high);
        std::vector<float> out (in.size());

        for (auto _ : state)
        {
            fn (in.data(), out.data(), (int) in.size());
            benchmark::ClobberMemory();
        }

        state.counters["ns_per_value"] = benchmark::Counter ((double) in.size(), benchmark::Counter::kIsIterationInvariantRate
                                                                                | benchmark::Counter::kInvert);
    }

    template <typename Library>
    void library (benchmark::State& state, Library fn, float low, float high)
    {
        block (state, [fn] (const float* in, float* out, int count)
        {
            for (int i = 0; i < count; ++i)
                out[i] = fn (in[i]);
        }, low, high);
    }
}

BENCHMARK_CAPTURE (block, sin, lane_math::sinOfPhase, 0.0f, 6.283f);
BENCHMARK_CAPTURE (library, sin, [] (float x) { return std::sin (x); }, 0.0f, 6.283f);
BENCHMARK_CAPTURE (block, log10, lane_math::log10, 1.0e-12f, 1.0f);
BENCHMARK_CAPTURE (library, log10, [] (float x) { return std::log10 (x); }, 1.0e-12f, 1.0f);
BENCHMARK_CAPTURE (block, exp, lane_math::exp, -30.0f, 0.0f);
BENCHMARK_CAPTURE (library, exp, [] (float x) { return std::exp (x); }, -30.0f, 0.0f);
BENCHMARK_CAPTURE (block, tanh, lane_math::tanh, -20.0f, 20.0f);
BENCHMARK_CAPTURE (library, tanh, [] (float x) { return std::tanh (x); }, -20.0f, 20.0f);

int main (int argc, char** argv)
{
    chooseBenchInstructionSet();
    std::printf ("Instruction set: %s\n", lane_math::instructionSetName());
    benchmark::Initialize (&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
