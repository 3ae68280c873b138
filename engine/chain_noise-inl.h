// The noise stage of a channel group: the gate with its release, the noise
// draws, the noise filters and the mix.

#if defined (ZORVALUNE_CHAIN_NOISE_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_CHAIN_NOISE_INL_H_
#undef ZORVALUNE_CHAIN_NOISE_INL_H_
#else
#define ZORVALUNE_CHAIN_NOISE_INL_H_
#endif

#include "chain_group-inl.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

template <int K>
void chain_group<K>::gateNoise (int start, int count) noexcept
{
    using namespace parameter_table;
    const float threshold = value (noiseThreshold);
    const float minAmount = value (noiseMinAmount);
    const float ratio = value (noiseRatio);
    const bool releasing = blk.releaseSamples > 1.0f && ratio > 0.0f;
    const float noiseMixPrev = blk.prevValue[noiseMix], noiseMixNow = value (noiseMix);
    const int size = count * K;

    float* shares = scratch.oneLane.data();

    for (int j = 0; j < count; ++j)
        shares[j] = (noiseMixPrev + (float) (start + j) * (noiseMixNow - noiseMixPrev) / (float) n) / 100.0f;

    L::spread (shares, scratch.noiseShare.data(), count);

    // The level in dB, the gate with its release, then the gain: the
    // library calls run as passes of their own, out of the loop that
    // carries the release envelope. 20 log10 (rms) is taken as
    // 10 log10 (mean square); rms above 6.4e-8 is a mean square above 4.096e-15.
    const float* meanSquares = scratch.meanSquare.data();
    float* levels = scratch.noiseLevel.data();
    float* amounts = scratch.noiseGain.data();

    const FF ff;
    const FV audible = hn::Set (ff, 4.096e-15f);

    forEachVector (size, [&] (int i)
    {
        const FV meanSquare = hn::LoadU (ff, meanSquares + i);
        hn::StoreU (hn::IfThenElse (meanSquare > audible, meanSquare, hn::Set (ff, 1.0f)), ff, levels + i);
    });

    lane_math::HWY_NAMESPACE::log10Block (levels, levels, size);

    forEachVector (size, [&] (int i)
    {
        const FV decibels = hn::Set (ff, 10.0f) * hn::LoadU (ff, levels + i);
        hn::StoreU (hn::IfThenElse (hn::LoadU (ff, meanSquares + i) > audible, decibels, hn::Set (ff, -144.0f)), ff, levels + i);
    });

    // The gate and the amount; `levels` then holds 1 where the gate is open.
    float* open = levels;
    gateLanes (levels, amounts, open, count, threshold, minAmount, ratio, releasing);

    // At or above 0 dB the gain is exactly 1; -1 marks a closed gate.
    float* exponents = scratch.noise.data();

    forEachVector (size, [&] (int i)
    {
        const FV amount = hn::LoadU (ff, amounts + i);
        hn::StoreU (hn::IfThenElseZero (amount < hn::Zero (ff), amount * hn::Set (ff, dbToExponent)), ff, exponents + i);
    });

    lane_math::HWY_NAMESPACE::expBlock (exponents, exponents, size);

    forEachVector (size, [&] (int i)
    {
        const FV amount = hn::LoadU (ff, amounts + i);
        const FV gain = hn::IfThenElse (amount < hn::Zero (ff), hn::LoadU (ff, exponents + i), hn::Set (ff, 1.0f));
        hn::StoreU (hn::IfThenElse (hn::LoadU (ff, open + i) == hn::Zero (ff), hn::Set (ff, -1.0f), gain), ff, amounts + i);
    });
}

// The amount of noise in dB of every sample at its level, with each lane's
// release envelope: it holds the loudest amount and falls linearly to the
// minimum over the release time. `open` (which may be `levels`) gets 1
// where the gate is open, 0 where it is closed.
template <int K>
void chain_group<K>::gateLanes (const float* levels, float* amounts, float* open, int count, float threshold,
                                float minAmount, float ratio, bool releasing) noexcept
{
    const DF df;
    const typename L::DI di;
    auto envelope = L::gather (df, [&] (int l) { return st[l]->releaseEnvelope; });
    auto step = L::gather (df, [&] (int l) { return st[l]->releaseStep; });
    auto counter = L::gather (di, [&] (int l) { return st[l]->releaseCounter; });

    const VF minA = hn::Set (df, minAmount), releaseSamples = hn::Set (df, blk.releaseSamples);
    const bool alwaysOpen = threshold <= -79.99f;
    const MF everyLane = hn::FirstN (df, K);

    const auto destination1 = [] (const mod_slot& slot, VF d, VF m)
    {
        return slot.envelope ? hn::Set (DF(), 20.0f) * d * m : hn::Set (DF(), 10.0f) * d * (m + hn::Set (DF(), 1.0f));
    };

    for (int j = 0; j < count; ++j)
    {
        const int i = j * K;

        if (blk.noiseMinAmountChanged)
            envelope = hn::Set (df, channel_state::initialReleaseEnvelope);

        const VF level = hn::LoadU (df, levels + i);
        const MF isOpen = alwaysOpen ? everyLane : level > hn::Set (df, threshold);
        VF amount = hn::IfThenElse (level > minA, (level - minA) * hn::Set (df, ratio) + minA, minA);

        if (releasing)
        {
            const MF peak = hn::And (isOpen, amount > envelope);
            const MF decay = hn::AndNot (peak, hn::And (isOpen, hn::ConvertTo (df, counter) < releaseSamples));
            counter = hn::IfThenElse (hn::RebindMask (di, peak), hn::Zero (di),
                                      hn::IfThenElse (hn::RebindMask (di, decay), counter + hn::Set (di, 1), counter));
            step = hn::IfThenElse (peak, (amount - minA) / releaseSamples, step);
            envelope = hn::IfThenElse (peak, amount, hn::IfThenElse (decay, envelope - step, envelope));
            amount = hn::IfThenElse (decay, envelope, amount);
        }

        if (slot1.destination == 1)
            amount = amount + destination1 (slot1, hn::LoadU (df, scratch.depth1.data() + i), hn::LoadU (df, scratch.mod1.data() + i));

        if (slot2.destination == 1)
            amount = amount + destination1 (slot2, hn::LoadU (df, scratch.depth2.data() + i), hn::LoadU (df, scratch.mod2.data() + i));

        hn::StoreU (amount, df, amounts + i);
        hn::StoreU (hn::IfThenElseZero (isOpen, hn::Set (df, 1.0f)), df, open + i);
    }

    L::scatter (df, envelope, [&] (int l, float e) { st[l]->releaseEnvelope = e; });
    L::scatter (df, step, [&] (int l, float x) { st[l]->releaseStep = x; });
    L::scatter (di, counter, [&] (int l, int c) { st[l]->releaseCounter = c; });
}

// Draws the noise of every open-gate sample, filters it, and mixes it in;
// every sample gives up its noise share of the signal.
template <int K>
void chain_group<K>::addNoise (int count) noexcept
{
    float* noise = scratch.noise.data();
    const float* gains = scratch.noiseGain.data();
    bool anyOpen = false;

    // Each channel's generator draws for its open samples only.
    for (int l = 0; l < K; ++l)
    {
        int open = 0;

        for (int j = 0; j < count; ++j)
            open += gains[j * K + l] < 0.0f ? 0 : 1;

        std::uint32_t* u = scratch.draws.data();
        st[l]->noiseRng.draw (u, open);
        anyOpen = anyOpen || open > 0;

        if (open == count)
        {
            for (int j = 0; j < count; ++j)
                noise[j * K + l] = ((float) u[j] * (1.0f / 4294967296.0f) - 0.5f) * 2.0f;

            continue;
        }

        for (int j = 0, k = 0; j < count; ++j)
        {
            const int i = j * K + l;
            noise[i] = gains[i] < 0.0f ? 0.0f : ((float) u[k++] * (1.0f / 4294967296.0f) - 0.5f) * 2.0f;
        }
    }

    if (anyOpen && (blk.noiseFilterOn || blk.noiseLowCutOn))
        filterNoise (count);

    float* wet = scratch.wet.data();
    const float* shares = scratch.noiseShare.data();
    const FF ff;

    forEachVector (count * K, [&] (int i)
    {
        const FV gain = hn::LoadU (ff, gains + i), share = hn::LoadU (ff, shares + i);
        const FV ns = hn::IfThenZeroElse (gain < hn::Zero (ff), gain * hn::LoadU (ff, noise + i));
        hn::StoreU (hn::LoadU (ff, wet + i) * (hn::Set (ff, 1.0f) - share) + share * ns, ff, wet + i);
    });
}

// The noise filter and the noise low-cut, each stepping (with its flush)
// only on a lane's open samples, as the channel's run of them would.
template <int K>
void chain_group<K>::filterNoise (int count) noexcept
{
    const DF df;
    smooth_IIR_filter* first[K];
    smooth_IIR_filter* second[K];
    const bool both = blk.noiseFilterOn && blk.noiseLowCutOn;

    for (int l = 0; l < K; ++l)
    {
        first[l] = blk.noiseFilterOn ? &st[l]->noiseFilter : &st[l]->noiseLowCut;
        second[l] = &st[l]->noiseLowCut;
    }

    const held_locks<K> lockedFirst ([&] (int l) -> juce::SpinLock& { return first[l]->lock; });
    lane_filter<K> f (first);
    float* noise = scratch.noise.data();
    const float* gains = scratch.noiseGain.data();

    const FF ff;
    bool allOpen = true;

    forEachVector (count * K, [&] (int i)
    {
        allOpen = allOpen && hn::AllFalse (ff, hn::And (within (count * K, i), hn::LoadU (ff, gains + i) < hn::Zero (ff)));
    });

    // A lane steps only on its open samples; with every gate open throughout
    // no lane needs to be held back.
    const auto run = [&] (auto stepBoth)
    {
        for (int j = 0; j < count; ++j)
            hn::StoreU (stepBoth (hn::LoadU (df, noise + j * K), j), df, noise + j * K);
    };

    const auto openAt = [&] (int j) { return hn::LoadU (df, gains + j * K) >= hn::Zero (df); };

    if (both)
    {
        const held_locks<K> lockedSecond ([&] (int l) -> juce::SpinLock& { return second[l]->lock; });
        lane_filter<K> g (second);

        if (allOpen)
        {
            f.planRamp (count);
            g.planRamp (count);
            run ([&] (VF x, int) { return g.stepAndFlush (f.stepAndFlush (x)); });
        }
        else
            run ([&] (VF x, int j) { const MF open = openAt (j); return g.stepAndFlush (f.stepAndFlush (x, open), open); });

        f.finishRun();
        g.finishRun();
        return;
    }

    if (allOpen)
    {
        f.planRamp (count);
        run ([&] (VF x, int) { return f.stepAndFlush (x); });
    }
    else
        run ([&] (VF x, int j) { return f.stepAndFlush (x, openAt (j)); });

    f.finishRun();
}

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
