// The channel loop: channels run through the chain side by side, one per SIMD
// lane, on the best instruction set this machine has (AVX-512, AVX2, SSE4,
// SSSE3 or plain code), chosen at run time.
#define HWY_DISABLED_TARGETS (HWY_AVX3_DL)

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/channel_chain.cpp"
#include <hwy/foreach_target.h>
#include <hwy/highway.h>

#include "chain_group-inl.h"
#include "chain_input-inl.h"
#include "chain_modulation-inl.h"
#include "chain_tape-inl.h"
#include "tape_read-inl.h"
#include "chain_noise-inl.h"
#include "chain_crush-inl.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

static_assert (widestGroup <= chain_scratch::maxLanes, "the scratch holds a piece of the widest group");

template <int K>
void runGroup (channel_state* const* states, float* const* samples, const tape_start* tapes, bool holdsChannel0,
               const chain_block_values& block, chain_scratch& scratch, chain_block_results& results) noexcept
{
    chain_group<K> group (states, samples, tapes, holdsChannel0, block, scratch);

    for (int start = 0; start < block.numSamples; start += chain_scratch::length)
        group.processPiece (start, std::min (chain_scratch::length, block.numSamples - start));

    group.finish (results);
}

// runGroup for a group `width` wide, at most K.
template <int K>
void runGroupOf (int width, channel_state* const* states, float* const* samples, const tape_start* tapes, bool holdsChannel0,
                 const chain_block_values& block, chain_scratch& scratch, chain_block_results& results) noexcept
{
    if constexpr (K > 1)
        if (width < K)
            return runGroupOf<K / 2> (width, states, samples, tapes, holdsChannel0, block, scratch, results);

    runGroup<K> (states, samples, tapes, holdsChannel0, block, scratch, results);
}

void runChains (channel_state* const* states, float* const* samples, int count,
                const chain_block_values& block, chain_scratch& scratch, chain_block_results& results)
{
    constexpr int most = 24;

    if (block.numSamples <= 0)
        return;

    // Every channel takes its block's settings; those with samples run in groups.
    channel_state* running[most];
    float* runningSamples[most];
    tape_start tapes[most];
    int runningCount = 0;
    bool channel0Runs = false;

    for (int c = 0; c < std::min (count, most); ++c)
    {
        const auto tape = setUpTargetsAndTape (*states[c], block);

        if (samples[c] == nullptr || ! states[c]->isPrepared())
            continue;

        channel0Runs = channel0Runs || c == 0;
        running[runningCount] = states[c];
        runningSamples[runningCount] = samples[c];
        tapes[runningCount++] = tape;
    }

    // As wide as the machine allows, the rest in narrower groups.
    for (int first = 0; first < runningCount;)
    {
        int width = widestGroup;

        while (width > runningCount - first)
            width /= 2;

        runGroupOf<widestGroup> (width, running + first, runningSamples + first, tapes + first, channel0Runs && first == 0,
                                 block, scratch, results);
        first += width;
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace chain_lanes
{
    HWY_EXPORT (runChains);
}

void runChannelChains (channel_state* const* states, float* const* samples, int count,
                       const chain_block_values& block, chain_scratch& scratch, chain_block_results& results) noexcept
{
    HWY_DYNAMIC_DISPATCH (chain_lanes::runChains) (states, samples, count, block, scratch, results);
}
#endif
