// Compiles the lane kernels once for each instruction set and picks the best
// one this machine has at run time: AVX-512, AVX2, SSE4, SSSE3 or plain code.
#define HWY_DISABLED_TARGETS (HWY_AVX3_DL)
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/lane_math.cpp"
#include <hwy/foreach_target.h>
#include <hwy/highway.h>

#include "lane_math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace lane_math {
namespace HWY_NAMESPACE {
    void sinOfPhaseBlock (const float* in, float* out, int count) { sinBlock (in, out, count); }
    void log10OfBlock (const float* in, float* out, int count)    { log10Block (in, out, count); }
    void expOfBlock (const float* in, float* out, int count)      { expBlock (in, out, count); }
    void tanhOfBlock (const float* in, float* out, int count)     { tanhBlock (in, out, count); }
    const char* targetName()                                       { return hwy::TargetName (HWY_TARGET); }
}
}
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "lane_math.h"

namespace lane_math
{
    HWY_EXPORT (sinOfPhaseBlock);
    HWY_EXPORT (log10OfBlock);
    HWY_EXPORT (expOfBlock);
    HWY_EXPORT (tanhOfBlock);
    HWY_EXPORT (targetName);

    void sinOfPhase (const float* in, float* out, int count) noexcept { HWY_DYNAMIC_DISPATCH (sinOfPhaseBlock) (in, out, count); }
    void log10 (const float* in, float* out, int count) noexcept      { HWY_DYNAMIC_DISPATCH (log10OfBlock) (in, out, count); }
    void exp (const float* in, float* out, int count) noexcept        { HWY_DYNAMIC_DISPATCH (expOfBlock) (in, out, count); }
    void tanh (const float* in, float* out, int count) noexcept       { HWY_DYNAMIC_DISPATCH (tanhOfBlock) (in, out, count); }

    void chooseInstructionSet() noexcept
    {
        auto& chosen = hwy::GetChosenTarget();

        if (! chosen.IsInitialized())
            chosen.Update (hwy::SupportedTargets());
    }

    const char* instructionSetName() noexcept { return HWY_DYNAMIC_DISPATCH (targetName)(); }
}
#endif
