#pragma once

#include "engine/lane_math.h"

#include <hwy/targets.h>

#include <cstdlib>
#include <string>

// ZORVALUNE_BENCH_INSTRUCTION_SET=AVX2 (or AVX3, SSE4, SSSE3, SCALAR) runs a bench
// on that instruction set instead of the best this machine has.
inline void chooseBenchInstructionSet()
{
    if (const char* wanted = std::getenv ("ZORVALUNE_BENCH_INSTRUCTION_SET"))
        for (auto target : { HWY_AVX3, HWY_AVX2, HWY_SSE4, HWY_SSSE3, HWY_SCALAR })
            if (std::string (hwy::TargetName (target)) == wanted)
                hwy::SetSupportedTargetsForTest (target);

    lane_math::chooseInstructionSet();
}
