// The tape stage of a channel group: the wobbling read rate, then the tape
// delay line and the dry delay beside it (tape_read-inl.h), and the noise
// detector's window.

#if defined (ZORVALUNE_CHAIN_TAPE_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_CHAIN_TAPE_INL_H_
#undef ZORVALUNE_CHAIN_TAPE_INL_H_
#else
#define ZORVALUNE_CHAIN_TAPE_INL_H_
#endif

#include "chain_group-inl.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

// From the dry delay through the tape, the input modulation and the noise
// gate; the noise itself is added afterwards in one go.
template <int K>
void chain_group<K>::runTapeAndModulation (const float* work, int start, int count) noexcept
{
    fillGlides (start, count);
    fillModulation (slot1, scratch.mod1.data(), start, count, display1);
    fillModulation (slot2, scratch.mod2.data(), start, count, display2);
    runTape (work, count);
    modulateInput (slot1, scratch.depth1.data(), scratch.mod1.data(), count);
    modulateInput (slot2, scratch.depth2.data(), scratch.mod2.data(), count);

    if (blk.liveNoiseOn)
        gateNoise (start, count);
}

template <int K>
void chain_group<K>::runTape (const float* work, int count) noexcept
{
    fillTapeRates (count);

    // The lines are long and out of the cache since their last piece: ask
    // for what the piece reads and writes before touching any of it.
    for (int l = 0; l < K; ++l)
    {
        const auto& s = *st[l];
        s.pitchHistory.prefetch (readIndex[l], count);
        s.pitchHistory.prefetch (s.pitchHistory.size(), count);
        s.dryDelay.prefetchDelayed (s.dryDelaySamples, count);
        s.dryDelay.prefetchPushes (count);
        s.rmsSquares.samples.prefetch (0, count);
        s.rmsSquares.samples.prefetch (s.rmsSquares.size(), count);
    }

    const bool together = tapesStandAlike();

    if (together)
        runTapesTogether (work, count);
    else
        for (int l = 0; l < K; ++l)
            runTapeLane (l, work, count);

    runDry (count, together);
    measureLevels (work, count);
}

// The noise detector's window of squares, and the mean square of each sample.
template <int K>
void chain_group<K>::measureLevels (const float* work, int count) noexcept
{
    summed_window<false>* windows[K];

    for (int l = 0; l < K; ++l)
        windows[l] = &st[l]->rmsSquares;

    lane_windows<K, false> lanesWindows (windows, rmsWindow, count);

    if (lanesWindows.canRun())
    {
        const typename L::DD dd;
        const typename L::DH dh;
        float* squares = scratch.windowIn.data();

        for (int i = 0; i < count * K; ++i)
            squares[i] = work[i] * work[i];

        lanesWindows.begin (squares, scratch.windowOut.data(), count);

        for (int j = 0; j < count; ++j)
            for (int p = 0; p < L::parts; ++p)
            {
                typename L::VD held;
                const auto running = lanesWindows.step (j, p, held);
                const auto positive = hn::IfThenElseZero (running > hn::Zero (dd), running);
                const auto mean = hn::IfThenElseZero (held > hn::Zero (dd), positive / held);
                hn::StoreU (hn::DemoteTo (dh, mean), dh, scratch.meanSquare.data() + j * K + p * L::doubles);
            }

        lanesWindows.end();

        return;
    }

    for (int l = 0; l < K; ++l)
    {
        auto& window = st[l]->rmsSquares;
        fixed_ring<float>::cursor squares (window.samples);
        auto sums = window.takeSums();

        for (int j = 0; j < count; ++j)
        {
            const int i = j * K + l;
            scratch.meanSquare[(size_t) i] = window.pushTakingMean (squares, work[i] * work[i], rmsWindow[l], sums);
        }

        squares.store();
        window.putSums (sums);
    }
}

// The tape's read rate of every sample of the piece. It depends only on
// the modulation, not on the tape's contents, so it runs as a pass of its own.
template <int K>
void chain_group<K>::fillTapeRates (int count) noexcept
{
    float* ratios = scratch.tapeRate.data();
    float* increments = scratch.tapeIncrement.data();

    // Lanes whose tapes are set alike and modulated alike (every channel,
    // unless one joined late) share their rates: worked out once.
    bool& alike = tapeRatesAlike;
    alike = (! slot1.movesTape() || L::agree (scratch.mod1.data(), count))
         && (! slot2.movesTape() || L::agree (scratch.mod2.data(), count));

    for (int l = 1; l < K; ++l)
    {
        const auto& a = *st[0];
        const auto& b = *st[l];
        alike = alike && tapeFrequency[l] == tapeFrequency[0] && b.tapeDepthRatio == a.tapeDepthRatio
                      && b.tapeLfo.frequency == a.tapeLfo.frequency && b.tapeLfo.phaseIncrement == a.tapeLfo.phaseIncrement;
    }

    if (alike)
    {
        float* oneRatios = scratch.oneLane.data();
        float* oneIncrements = scratch.oneLaneOut.data();
        float* oneHz = scratch.windowIn.data();
        tapeRatesOfLane (0, count, 1, oneRatios, oneIncrements, oneHz);

        for (int l = 1; l < K; ++l)
        {
            st[l]->tapeLfo.frequency = st[0]->tapeLfo.frequency;
            st[l]->tapeLfo.phaseIncrement = st[0]->tapeLfo.phaseIncrement;
            lastTapeRate[l] = lastTapeRate[0];
        }

        L::spread (oneRatios, ratios, count);
        L::spread (oneIncrements, increments, count);
        L::spread (oneHz, scratch.tapeLfoHz.data(), count);
    }
    else
    {
        for (int l = 0; l < K; ++l)
            tapeRatesOfLane (l, count, K, ratios + l, increments + l, scratch.tapeLfoHz.data() + l);
    }

    if (slot1.destination == 5 || slot2.destination == 5)
        for (int l = 0; l < K; ++l)
            tapeRateWritten[l] = firstChannel[l];

    float* wobble = scratch.tapeWobble.data();
    fillTapeWobble (wobble, increments, count);

    const FF ff;
    const FV one = hn::Set (ff, 1.0f);

    forEachVector (count * K, [&] (int i)
    {
        const FV wobbling = on.tapeWobbling ? hn::LoadU (ff, wobble + i) : hn::Zero (ff);
        hn::StoreU (one + (hn::LoadU (ff, ratios + i) - one) * wobbling, ff, ratios + i);
    });
}

// The wobble of each lane for the piece, its increment changing before each
// step to the one given (both interleaved; tapeRatesOfLane keeps the last as
// the oscillator's own). Lanes whose oscillators run in
// step share one. The sine is taken of the phase rounded to float: that
// rounding is no larger than a float phase's own and, unlike a float step's,
// averages out.
template <int K>
void chain_group<K>::fillTapeWobble (float* wobble, const float* increments, int count) noexcept
{
    float* phases = scratch.oneLane.data();
    float* sines = scratch.oneLaneOut.data();
    bool inStep = tapeRatesAlike;

    for (int l = 1; l < K; ++l)
        inStep = inStep && st[l]->tapeLfo.phase == st[0]->tapeLfo.phase;

    for (int l = 0; l < (inStep ? 1 : K); ++l)
    {
        auto& lfo = st[l]->tapeLfo;
        double phase = lfo.phase;

        for (int j = 0; j < count; ++j)
        {
            phase = tape_oscillator::advanced (phase, increments[j * K + l]);
            phases[j] = (float) phase;
        }

        lfo.phase = phase;
        lane_math::HWY_NAMESPACE::sinBlock (phases, sines, count);

        if (inStep)
        {
            L::spread (sines, wobble, count);

            for (int other = 1; other < K; ++other)
                st[other]->tapeLfo.phase = phase;
        }
        else
        {
            for (int j = 0; j < count; ++j)
                wobble[j * K + l] = sines[j];
        }
    }
}

// Lane l's depth ratio, oscillator increment and rate of each sample, every
// `stride`-th value of the arrays given.
template <int K>
void chain_group<K>::tapeRatesOfLane (int l, int count, int stride, float* ratios, float* increments, float* hz) noexcept
{
    const bool rotate1 = slot1.destination == 5, rotate2 = slot2.destination == 5, rotating = rotate1 || rotate2;
    const bool deepen1 = slot1.destination == 6, deepen2 = slot2.destination == 6;
    auto& s = *st[l];
    const float heldHz = s.tapeLfo.frequency, heldIncrement = s.tapeLfo.phaseIncrement;

    for (int j = 0; j < count; ++j)
    {
        const int i = j * K + l;
        const float d1 = scratch.depth1[(size_t) i], d2 = scratch.depth2[(size_t) i];
        const float m1 = scratch.mod1[(size_t) i], m2 = scratch.mod2[(size_t) i];

        // Tape rotation (destination 5) sets the oscillator up anew, as setUpOscillator does.
        float f = tapeFrequency[l];

        if (rotate1)
            f = f * (1.0f + (slot1.envelope ? 7.0f * d1 * m1 : 3.5f * d1 * (m1 + 1.0f)));

        if (rotate2)
            f = f * (1.0f + (slot2.envelope ? 7.0f * d2 * m2 : 3.5f * d2 * (m2 + 1.0f)));

        hz[j * stride] = rotating ? f : heldHz;
        increments[j * stride] = rotating ? (float) ((double) f * radiansPerHz) : heldIncrement;

        float r = s.tapeDepthRatio;

        if (deepen1)
            r = 1.0f + (r - 1.0f) * (slot1.envelope ? 1.0f - d1 * m1 : 1.0f - 0.5f * d1 * (m1 + 1.0f));

        if (deepen2)
            r = 1.0f + (r - 1.0f) * (slot2.envelope ? 1.0f - d2 * m2 : 1.0f - 0.5f * d2 * (m2 + 1.0f));

        ratios[j * stride] = r;
    }

    if (rotating)
    {
        s.tapeLfo.frequency = lastTapeRate[l] = hz[(count - 1) * stride];
        s.tapeLfo.phaseIncrement = increments[(count - 1) * stride];
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
