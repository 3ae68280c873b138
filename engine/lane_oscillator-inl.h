// LFO for a group of channels: the oscillators of K channels, one per lane,
// giving each lane exactly the outputs of its channel's LFO::fillBlock.
// Compiled once per instruction set (see channel_chain.cpp).

#if defined (ZORVALUNE_LANE_OSCILLATOR_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_LANE_OSCILLATOR_INL_H_
#undef ZORVALUNE_LANE_OSCILLATOR_INL_H_
#else
#define ZORVALUNE_LANE_OSCILLATOR_INL_H_
#endif

#include "LFO.h"
#include "lane_math-inl.h"
#include "lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

template <int K>
struct lane_oscillators
{
    using L = lanes<K>;

    // The next `count` outputs of each lane's oscillator into `out`, lanes
    // interleaved. `laneIn` and `laneOut` hold `count` values of one lane on
    // the way.
    static void fill (LFO* const* lfos, float* out, int count, float* laneIn, float* laneOut) noexcept
    {
        bool allAdvance = true;

        for (int l = 0; l < K; ++l)
            allAdvance = allAdvance && lfos[l]->advancesPhase();

        if (! allAdvance)
        {
            // A random or silent oscillator: each lane on its own.
            for (int l = 0; l < K; ++l)
            {
                lfos[l]->fillBlock (laneOut, count);

                for (int j = 0; j < count; ++j)
                    out[j * K + l] = laneOut[j];
            }

            return;
        }

        // Channels whose oscillators run in step (they all do, unless one
        // joined late) share one output: worked out once.
        if (inStep (lfos))
        {
            LFO& lfo = *lfos[0];

            for (int j = 0; j < count; ++j)
                laneIn[j] = lfo.phase = LFO::advanced (lfo.phase, lfo.phaseIncrement);

            shape (lfo, laneIn, laneOut, count);
            L::spread (laneOut, out, count);

            for (int l = 1; l < K; ++l)
                lfos[l]->phase = lfo.phase;

            return;
        }

        fillPhases (lfos, out, count);

        for (int l = 0; l < K; ++l)
        {
            for (int j = 0; j < count; ++j)
                laneIn[j] = out[j * K + l];

            shape (*lfos[l], laneIn, laneOut, count);

            for (int j = 0; j < count; ++j)
                out[j * K + l] = laneOut[j];
        }
    }

private:
    static bool inStep (LFO* const* lfos) noexcept
    {
        const LFO& a = *lfos[0];

        for (int l = 1; l < K; ++l)
        {
            const LFO& b = *lfos[l];

            if (b.waveform != a.waveform || b.amplitude != a.amplitude || b.edgeWidth != a.edgeWidth
                 || b.phase != a.phase || b.phaseIncrement != a.phaseIncrement)
                return false;
        }

        return true;
    }

    // One oscillator's outputs at the given phases, as LFO::shapeAt gives them.
    static void shape (const LFO& lfo, const float* phases, float* out, int count) noexcept
    {
        constexpr float pi = 3.14159265358979f;
        const FF ff;
        const FV a = hn::Set (ff, lfo.amplitude);

        switch (lfo.waveform)
        {
            case LFO::sine:
                lane_math::HWY_NAMESPACE::sinBlock (phases, out, count);
                forEachVector (count, [&] (int i) { hn::StoreU (hn::LoadU (ff, out + i) * a, ff, out + i); });
                return;

            case LFO::fallingSaw:
                forEachVector (count, [&] (int i)
                {
                    hn::StoreU ((hn::Set (ff, 1.0f) - hn::LoadU (ff, phases + i) / hn::Set (ff, pi)) * a, ff, out + i);
                });
                return;

            case LFO::risingSaw:
                forEachVector (count, [&] (int i)
                {
                    hn::StoreU ((hn::LoadU (ff, phases + i) / hn::Set (ff, pi) - hn::Set (ff, 1.0f)) * a, ff, out + i);
                });
                return;

            case LFO::slopedSquare:
                if (lfo.edgeWidth > 0.0f)
                {
                    slopedSquare (lfo, phases, out, count);
                    return;
                }
                break;

            default:
                break;
        }

        forEachVector (count, [&] (int i)
        {
            hn::StoreU (hn::IfThenElse (hn::LoadU (ff, phases + i) < hn::Set (ff, pi), a, hn::Neg (a)), ff, out + i);
        });
    }

    // The square with linear edges of LFO::shapeAt: its comparisons made in
    // double (the first on a float phase and edge, which double keeps as they are).
    static void slopedSquare (const LFO& lfo, const float* phases, float* out, int count) noexcept
    {
        constexpr double piD = 3.141592653589793;
        const hn::ScalableTag<double> dd;
        const hn::Rebind<float, decltype (dd)> df;
        const float edge = (float) ((double) lfo.edgeWidth * piD * 0.5);
        const auto a = hn::Set (df, lfo.amplitude), e = hn::Set (df, edge);
        const auto pi = hn::Set (dd, piD), eD = hn::Set (dd, (double) edge), twoPi = hn::Set (dd, 2.0 * piD);
        const auto top = hn::PromoteTo (dd, a), bottom = hn::PromoteTo (dd, hn::Neg (a));

        for (int i = 0; i < count; i += (int) hn::Lanes (dd))
        {
            const auto p = hn::LoadU (df, phases + i);
            const auto pd = hn::PromoteTo (dd, p);
            const auto rising = hn::PromoteTo (dd, p * a / e);
            const auto falling = hn::PromoteTo (dd, hn::DemoteTo (df, pi - pd) * a / e);
            const auto fallingBelow = hn::PromoteTo (dd, hn::DemoteTo (df, pd - pi) * hn::Neg (a) / e);
            const auto risingBelow = hn::PromoteTo (dd, hn::DemoteTo (df, twoPi - pd) * hn::Neg (a) / e);

            auto v = risingBelow;
            v = hn::IfThenElse (pd < twoPi - eD, bottom, v);
            v = hn::IfThenElse (pd < pi + eD, fallingBelow, v);
            v = hn::IfThenElse (pd < pi, falling, v);
            v = hn::IfThenElse (pd < pi - eD, top, v);
            v = hn::IfThenElse (pd < eD, rising, v);
            hn::StoreU (hn::DemoteTo (df, v), df, out + i);
        }
    }

    // Each step as LFO::advanced takes it. (double) p > 2 pi is the same as
    // p >= the first float above 2 pi, so the test stays in float lanes; the
    // rare turn itself is taken lane by lane.
    static void fillPhases (LFO* const* lfos, float* phases, int count) noexcept
    {
        const typename L::DF df;
        const auto turnEnd = hn::Set (df, LFO::turnEnd);

        auto phase = L::gather (df, [&] (int l) { return lfos[l]->phase; });
        const auto increment = L::gather (df, [&] (int l) { return lfos[l]->phaseIncrement; });

        for (int j = 0; j < count; ++j)
        {
            phase = phase + increment;

            if (! hn::AllTrue (df, hn::And (phase >= hn::Zero (df), phase < turnEnd)))
            {
                float p[K];
                hn::StoreU (phase, df, p);

                for (auto& x : p)
                {
                    if (x >= LFO::turnEnd)
                        x = (float) ((double) x - LFO::twoPi);

                    x = LFO::isWithinTurn (x) ? x : LFO::intoTurn (x);
                }

                phase = hn::LoadU (df, p);
            }

            hn::StoreU (phase, df, phases + j * K);
        }

        L::scatter (df, phase, [&] (int l, float p) { lfos[l]->phase = p; });
    }
};

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
