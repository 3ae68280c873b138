// The input stage of a channel group: input gain, the input filters and the
// sample-and-hold rate reduction.

#if defined (ZORVALUNE_CHAIN_INPUT_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_CHAIN_INPUT_INL_H_
#undef ZORVALUNE_CHAIN_INPUT_INL_H_
#else
#define ZORVALUNE_CHAIN_INPUT_INL_H_
#endif

#include "chain_group-inl.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

// The input with its gain (scratch.input, which the dry path reads), then the
// input filters and the sample-and-hold. Returns the working samples: the
// input itself unless a filter ran.
template <int K>
float* chain_group<K>::prepareInput (int start, int count) noexcept
{
    float* in = scratch.input.data();
    float* gains = scratch.gain.data();

    for (int l = 0; l < K; ++l)
    {
        glideGains (st[l]->inGainDb, gains + l, count, K);
        const float* host = io[l] + start;

        for (int j = 0; j < count; ++j)
            in[j * K + l] = host[j];
    }

    // A non-finite input sample is taken as silence, so nothing
    // downstream ever has to recover from the host's data.
    const FF ff;
    forEachVector (count * K, [&] (int i)
    {
        const FV x = hn::LoadU (ff, in + i) * hn::LoadU (ff, gains + i);
        hn::StoreU (hn::IfThenElseZero (x - x == hn::Zero (ff), x), ff, in + i);   // infinities and NaN give NaN there
    });

    float* work = in;

    if (on.highPassOn || on.lowPassOn)
    {
        std::copy_n (in, count * K, scratch.work.data());
        work = scratch.work.data();
        filterInput (work, count);
    }

    if (on.rateReductionOn)
        holdSamples (work, count);

    return work;
}

// The high-pass, then the low-pass, each over the whole piece as a block.
template <int K>
void chain_group<K>::filterInput (float* work, int count) noexcept
{
    const DF df;
    smooth_IIR_filter* highPass[K];
    smooth_IIR_filter* lowPass[K];

    for (int l = 0; l < K; ++l)
    {
        highPass[l] = &st[l]->inputHighPass;
        lowPass[l] = &st[l]->inputLowPass;
    }

    const auto run = [&] (smooth_IIR_filter* const* filters)
    {
        const held_locks<K> locked ([&] (int l) -> juce::SpinLock& { return filters[l]->lock; });
        lane_filter<K> f (filters);

        if (! f.anyEnabled())
            return;

        f.planRamp (count);

        for (int j = 0; j < count; ++j)
            hn::StoreU (f.step (hn::LoadU (df, work + j * K)), df, work + j * K);

        f.finishBlock (count);
    };

    if (on.highPassOn && on.lowPassOn)
    {
        // Both recursions in one loop, so their latencies overlap.
        const held_locks<2 * K> locked ([&] (int i) -> juce::SpinLock& { return (i < K ? highPass[i] : lowPass[i - K])->lock; });
        lane_filter<K> first (highPass), second (lowPass);
        first.planRamp (count);
        second.planRamp (count);

        for (int j = 0; j < count; ++j)
            hn::StoreU (second.step (first.step (hn::LoadU (df, work + j * K))), df, work + j * K);

        first.finishBlock (count);
        second.finishBlock (count);
    }
    else
    {
        run (on.highPassOn ? highPass : lowPass);
    }
}

// Each captured sample is followed by holdCopies copies of itself.
template <int K>
void chain_group<K>::holdSamples (float* work, int count) noexcept
{
    const DF df;
    const typename L::DI di;
    auto counter = L::gather (di, [&] (int l) { return st[l]->sampleHoldCounter; });
    auto held = L::gather (df, [&] (int l) { return st[l]->sampleHoldValue; });
    const auto copies = hn::Set (di, on.holdCopies);

    for (int j = 0; j < count; ++j)
    {
        const auto take = counter == hn::Zero (di);
        held = hn::IfThenElse (hn::RebindMask (df, take), hn::LoadU (df, work + j * K), held);
        hn::StoreU (held, df, work + j * K);
        counter = hn::IfThenElse (take, copies, counter - hn::Set (di, 1));
    }

    L::scatter (di, counter, [&] (int l, int c) { st[l]->sampleHoldCounter = c; });
    L::scatter (df, held, [&] (int l, float v) { st[l]->sampleHoldValue = v; });
}

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
