#pragma once

// Blocks of the C library's sinf, log10f, expf and tanhf, several values at a
// time on the best instruction set this machine has, with exactly the
// library's results. `in` and `out` may be the same memory.
namespace lane_math
{
    void sinOfPhase (const float* in, float* out, int count) noexcept;   // fastest for angles in [0, 2 pi]
    void log10 (const float* in, float* out, int count) noexcept;
    void exp (const float* in, float* out, int count) noexcept;          // fastest from -88 to 0
    void tanh (const float* in, float* out, int count) noexcept;

    // Picks the instruction set now (the first block would otherwise do it).
    void chooseInstructionSet() noexcept;

    // The instruction set in use, for the benchmark's report.
    const char* instructionSetName() noexcept;
}
