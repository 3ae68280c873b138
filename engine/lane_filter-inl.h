// smooth_IIR_filter for a group of channels: the filters of K channels, one
// per lane, stepped together. Each lane does exactly the arithmetic its
// channel's filter does alone: the same coefficient ramp, the same steps, the
// same flush. Compiled once per instruction set (see channel_chain.cpp).

#if defined (ZORVALUNE_LANE_FILTER_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_LANE_FILTER_INL_H_
#undef ZORVALUNE_LANE_FILTER_INL_H_
#else
#define ZORVALUNE_LANE_FILTER_INL_H_
#endif

#include "channel_chain.h"
#include "lanes-inl.h"
#include "smooth_IIR_filter.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

template <int K>
class lane_filter
{
    using L = lanes<K>;
    using DF = typename L::DF;
    using DI = typename L::DI;
    using VF = typename L::VF;
    using VI = typename L::VI;
    using MF = typename L::MF;

public:
    // The caller holds the filters' locks for as long as this lives.
    explicit lane_filter (smooth_IIR_filter* const* lanesFilters) noexcept
    {
        for (int l = 0; l < K; ++l)
            filters[l] = lanesFilters[l];

        const auto load = [&] (auto member) { return L::gather (df, [&] (int l) { return filters[l]->*member; }); };
        b0 = load (&smooth_IIR_filter::b0); b1 = load (&smooth_IIR_filter::b1); b2 = load (&smooth_IIR_filter::b2);
        a1 = load (&smooth_IIR_filter::a1); a2 = load (&smooth_IIR_filter::a2);
        z1 = load (&smooth_IIR_filter::z1); z2 = load (&smooth_IIR_filter::z2);
        remaining = L::gather (di, [&] (int l) { return filters[l]->rampRemaining; });

        bool on[K];

        for (int l = 0; l < K; ++l)
        {
            on[l] = filters[l]->enabled;
            anyOn = anyOn || on[l];
            mayRamp = mayRamp || filters[l]->rampRemaining > 0;
        }

        enabled = L::maskOf (on);

        if (mayRamp)
        {
            const auto set = [&] (auto coefficients, float filter_coefficients::* c)
            {
                return L::gather (df, [&] (int l) { return (filters[l]->*coefficients).*c; });
            };

            const auto step = [&] (float smooth_IIR_filter::* s) { return L::gather (df, [&] (int l) { return filters[l]->*s; }); };
            const auto from = &smooth_IIR_filter::rampFrom;
            const auto to = &smooth_IIR_filter::rampTo;

            ramp = { { set (from, &filter_coefficients::b0), set (from, &filter_coefficients::b1), set (from, &filter_coefficients::b2),
                       set (from, &filter_coefficients::a1), set (from, &filter_coefficients::a2) },
                     { set (to, &filter_coefficients::b0), set (to, &filter_coefficients::b1), set (to, &filter_coefficients::b2),
                       set (to, &filter_coefficients::a1), set (to, &filter_coefficients::a2) },
                     { step (&smooth_IIR_filter::b0Step), step (&smooth_IIR_filter::b1Step), step (&smooth_IIR_filter::b2Step),
                       step (&smooth_IIR_filter::a1Step), step (&smooth_IIR_filter::a2Step) } };
        }
    }

    // Whether any lane's filter runs at all (one that never ramped passes samples unchanged).
    bool anyEnabled() const noexcept { return anyOn; }

    // Before `count` steps (step or stepAndFlush without a mask) of every
    // lane: where every lane is on the same ramp (as every channel is, unless
    // one joined late), its coefficients are worked out for all the steps at
    // once, several steps to a vector.
    void planRamp (int count) noexcept
    {
        const auto& a = *filters[0];

        if (! mayRamp || a.rampRemaining <= 0)
            return;

        for (int l = 1; l < K; ++l)
        {
            const auto& b = *filters[l];

            if (b.rampRemaining != a.rampRemaining || b.enabled != a.enabled || ! sameSet (b.rampFrom, a.rampFrom)
                 || ! sameSet (b.rampTo, a.rampTo) || b.b0Step != a.b0Step || b.b1Step != a.b1Step || b.b2Step != a.b2Step
                 || b.a1Step != a.a1Step || b.a2Step != a.a2Step)
                return;
        }

        plannedSteps = std::min (count, a.rampRemaining);
        rampStart = a.rampRemaining;
        const FF ff;
        const hn::RebindToSigned<FF> fi;
        const int n = (int) hn::Lanes (ff);
        const float from[] = { a.rampFrom.b0, a.rampFrom.b1, a.rampFrom.b2, a.rampFrom.a1, a.rampFrom.a2 };
        const float to[] = { a.rampTo.b0, a.rampTo.b1, a.rampTo.b2, a.rampTo.a1, a.rampTo.a2 };
        const float step[] = { a.b0Step, a.b1Step, a.b2Step, a.a1Step, a.a2Step };

        const auto ascending = hn::Iota (fi, 0);

        for (int j = 0; j < plannedSteps; j += n)
        {
            const auto done = ascending + hn::Set (fi, smooth_IIR_filter::rampLength + 1 - rampStart + j);
            const auto atEnd = hn::RebindMask (ff, done > hn::Set (fi, smooth_IIR_filter::rampLength - 1));
            const auto k = hn::ConvertTo (ff, hn::Max (done, hn::Set (fi, 1)));

            for (int c = 0; c < 5; ++c)
                hn::StoreU (hn::IfThenElse (atEnd, hn::Set (ff, to[c]), hn::Set (ff, from[c]) + hn::Set (ff, step[c]) * k),
                            ff, planned[c] + j);
        }
    }

    // One sample of every lane; a lane whose filter is off gives x back.
    VF step (VF x) noexcept
    {
        moveAllCoefficients();
        return hn::IfThenElse (enabled, recurse (x), x);
    }

    // One sample with the flush after it, in every lane.
    VF stepAndFlush (VF x) noexcept
    {
        moveAllCoefficients();

        const VF y = recurse (x);
        z1 = flushed (z1);
        z2 = flushed (z2);
        return hn::IfThenElse (enabled, y, x);
    }

    // One sample with the flush after it, in the lanes of `active` only;
    // the other lanes keep their state.
    VF stepAndFlush (VF x, MF active) noexcept
    {
        if (mayRamp)
            moveCoefficients (active);

        const VF z1Before = z1, z2Before = z2;
        const VF y = recurse (x);
        z1 = hn::IfThenElse (active, flushed (z1), z1Before);
        z2 = hn::IfThenElse (active, flushed (z2), z2Before);
        return hn::IfThenElse (enabled, y, x);
    }

    // After a block of step calls: one flush, and the ramp counted down by the
    // whole block, as processSamples does.
    void finishBlock (int count) noexcept
    {
        z1 = flushed (z1);
        z2 = flushed (z2);
        store();

        for (auto* f : filters)
            if (f->enabled && f->rampRemaining > 0)
                f->rampRemaining -= count;
    }

    // After stepAndFlush calls: the ramp counted down once per step taken, as
    // processSampleRun does.
    void finishRun() noexcept
    {
        if (plannedSteps > 0)
            remaining = hn::Set (di, rampStart - plannedSteps);

        store();
        L::scatter (di, remaining, [&] (int l, int r) { if (filters[l]->enabled) filters[l]->rampRemaining = r; });
    }

private:
    struct coefficients { VF b0, b1, b2, a1, a2; };
    struct ramp_sets { coefficients from, to, step; };

    const DF df;
    const DI di;
    const MF allLanes = hn::FirstN (df, K);
    smooth_IIR_filter* filters[K];
    VF b0, b1, b2, a1, a2, z1, z2;
    VI remaining;
    MF enabled;
    bool anyOn = false;
    bool mayRamp = false;   // some lane's coefficients may still move
    ramp_sets ramp;

    // The coefficients of the first plannedSteps steps, shared by every lane
    // (room for the whole vectors planRamp writes).
    int plannedSteps = 0, taken = 0, rampStart = 0;
    float planned[5][chain_scratch::length + 16];

    static bool sameSet (const filter_coefficients& a, const filter_coefficients& b) noexcept
    {
        return a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2 && a.a1 == b.a1 && a.a2 == b.a2;
    }

    // A step in every lane: from the plan while it lasts, else as each lane's ramp says.
    void moveAllCoefficients() noexcept
    {
        if (plannedSteps > 0)
        {
            if (taken < plannedSteps)
            {
                b0 = hn::Set (df, planned[0][taken]);
                b1 = hn::Set (df, planned[1][taken]);
                b2 = hn::Set (df, planned[2][taken]);
                a1 = hn::Set (df, planned[3][taken]);
                a2 = hn::Set (df, planned[4][taken]);
                ++taken;
            }

            return;
        }

        if (mayRamp)
            moveCoefficients (allLanes);
    }

    VF recurse (VF x) noexcept
    {
        const VF y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }

    // A ramp sample in the lanes of `stepping` whose ramp has samples left:
    // with `left` of them, this one included, the coefficients are the start
    // plus (1024 - left + 1) steps, or the target once that reaches 1024.
    void moveCoefficients (MF stepping) noexcept
    {
        const MF left = hn::RebindMask (df, remaining > hn::Zero (di));

        if (hn::AllFalse (df, left))
        {
            mayRamp = false;
            return;
        }

        const MF ramping = hn::And (stepping, left);

        if (hn::AllFalse (df, ramping))
            return;

        const VI done = hn::Set (di, smooth_IIR_filter::rampLength + 1) - remaining;
        const MF atEnd = hn::RebindMask (df, done > hn::Set (di, smooth_IIR_filter::rampLength - 1));
        const VF k = hn::ConvertTo (df, hn::Max (done, hn::Set (di, 1)));
        const bool alongTheWay = hn::AllTrue (df, ramping) && hn::AllFalse (df, atEnd);   // every lane, none at its end
        const auto move = [&] (VF& c, VF from, VF to, VF step)
        {
            c = alongTheWay ? from + step * k : hn::IfThenElse (ramping, hn::IfThenElse (atEnd, to, from + step * k), c);
        };

        move (b0, ramp.from.b0, ramp.to.b0, ramp.step.b0);
        move (b1, ramp.from.b1, ramp.to.b1, ramp.step.b1);
        move (b2, ramp.from.b2, ramp.to.b2, ramp.step.b2);
        move (a1, ramp.from.a1, ramp.to.a1, ramp.step.a1);
        move (a2, ramp.from.a2, ramp.to.a2, ramp.step.a2);
        remaining = hn::IfThenElse (hn::RebindMask (di, ramping), remaining - hn::Set (di, 1), remaining);
    }

    // Kept are the state words with 1e-8 < |z| <= the largest float.
    VF flushed (VF z) const noexcept
    {
        const VI magnitude = hn::BitCast (di, z) & hn::Set (di, 0x7fffffff);
        const auto keep = hn::And (magnitude > hn::Set (di, (std::int32_t) smooth_IIR_filter::tinyBits),
                                   magnitude < hn::Set (di, (std::int32_t) smooth_IIR_filter::largestBits + 1));
        return hn::IfThenElseZero (hn::RebindMask (df, keep), z);
    }

    void store() noexcept
    {
        const auto put = [&] (VF v, float smooth_IIR_filter::* member)
        {
            L::scatter (df, v, [&] (int l, float x) { if (filters[l]->enabled) filters[l]->*member = x; });
        };

        put (b0, &smooth_IIR_filter::b0); put (b1, &smooth_IIR_filter::b1); put (b2, &smooth_IIR_filter::b2);
        put (a1, &smooth_IIR_filter::a1); put (a2, &smooth_IIR_filter::a2);
        put (z1, &smooth_IIR_filter::z1); put (z2, &smooth_IIR_filter::z2);
    }
};

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
