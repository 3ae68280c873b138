// The crush stage of a channel group: saturation, bit reduction and the clip
// stage with its loudness compensation and low-pass.

#if defined (ZORVALUNE_CHAIN_CRUSH_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_CHAIN_CRUSH_INL_H_
#undef ZORVALUNE_CHAIN_CRUSH_INL_H_
#else
#define ZORVALUNE_CHAIN_CRUSH_INL_H_
#endif

#include "chain_group-inl.h"

#include <climits>

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

template <int K>
void chain_group<K>::crushAndClip (int count) noexcept
{
    if (on.saturating)
        saturate (count);

    if (on.reducingBits)
        reduceBits (count);

    // A lane's clip stage runs on the samples whose gliding clip gain is
    // above 0 dB: on the whole piece, on none of it, or (while the gain
    // glides to or from 0 dB) on some samples.
    const float* gc = scratch.clipGain.data();
    const DF df;
    auto every = hn::FirstN (df, K), any = hn::FirstN (df, 0);

    for (int j = 0; j < count; ++j)
    {
        const auto clips = hn::LoadU (df, gc + j * K) > hn::Zero (df);
        every = hn::And (every, clips);
        any = hn::Or (any, clips);
    }

    std::uint8_t everyLane[8] = {}, anyLane[8] = {};
    hn::StoreMaskBits (df, every, everyLane);
    hn::StoreMaskBits (df, any, anyLane);
    bool whole[K], some[K];
    bool allWhole = true, anyWhole = false;

    for (int l = 0; l < K; ++l)
    {
        whole[l] = ((everyLane[0] >> l) & 1) != 0;
        some[l] = ! whole[l] && ((anyLane[0] >> l) & 1) != 0;
        allWhole = allWhole && whole[l];
        anyWhole = anyWhole || whole[l];
    }

    if (anyWhole)
        clipPiece (whole, allWhole, count);

    for (int l = 0; l < K; ++l)
        if (some[l])
            clipSamples (l, count);
}

template <int K>
void chain_group<K>::saturate (int count) noexcept
{
    const int size = count * K;
    float* wet = scratch.wet.data();
    float* drive = scratch.drive.data();
    float* driveTanh = scratch.driveTanh.data();
    float* shaped = scratch.shaped.data();
    const bool drive1 = slot1.destination == 7, drive2 = slot2.destination == 7;
    const FF ff;

    if (! drive1 && ! drive2)
    {
        const float d = blk.drive, denominator = blk.tanhDrive * d;

        if (denominator == 0.0f)
            return;

        forEachVector (size, [&] (int i) { hn::StoreU (hn::Set (ff, d) * hn::LoadU (ff, wet + i), ff, shaped + i); });
        lane_math::HWY_NAMESPACE::tanhBlock (shaped, shaped, size);
        forEachVector (size, [&] (int i) { hn::StoreU (hn::LoadU (ff, shaped + i) / hn::Set (ff, denominator), ff, wet + i); });
        return;
    }

    // Each slot starts from the base drive: slot 2 replaces slot 1. With the
    // modulation the same in every lane (the oscillators run in step), the
    // drive and its tanh are worked out once per sample.
    const mod_slot& last = drive2 ? slot2 : slot1;
    const float* d = drive2 ? scratch.depth2.data() : scratch.depth1.data();
    const float* m = drive2 ? scratch.mod2.data() : scratch.mod1.data();
    const int stride = L::agree (m, count) ? K : 1;
    const int values = size / stride;
    float* one = stride == K ? scratch.oneLane.data() : drive;
    float* oneTanh = stride == K ? scratch.oneLaneOut.data() : driveTanh;

    for (int i = 0; i < values; ++i)
    {
        const float k = last.share (d[i * stride], m[i * stride]);
        one[i] = k * blk.drive + (1.0f - k);
    }

    lane_math::HWY_NAMESPACE::tanhBlock (one, oneTanh, values);

    if (stride == K)
    {
        L::spread (one, drive, count);
        L::spread (oneTanh, driveTanh, count);
    }

    forEachVector (size, [&] (int i) { hn::StoreU (hn::LoadU (ff, drive + i) * hn::LoadU (ff, wet + i), ff, shaped + i); });
    lane_math::HWY_NAMESPACE::tanhBlock (shaped, shaped, size);

    forEachVector (size, [&] (int i)
    {
        const FV denominator = hn::LoadU (ff, driveTanh + i) * hn::LoadU (ff, drive + i);
        const FV quotient = hn::LoadU (ff, shaped + i) / denominator;
        hn::StoreU (hn::IfThenElse (denominator != hn::Zero (ff), quotient, hn::LoadU (ff, wet + i)), ff, wet + i);
    });
}

template <int K>
void chain_group<K>::reduceBits (int count) noexcept
{
    float* wet = scratch.wet.data();
    const hn::ScalableTag<double> dd;
    const hn::Rebind<float, decltype (dd)> df;
    const hn::Rebind<std::int32_t, decltype (dd)> di;
    const auto keep = hn::Set (di, (std::int32_t) blk.bitMask), fill = hn::Set (di, (std::int32_t) ~blk.bitMask);
    const int n = (int) hn::Lanes (dd);

    // The conversion saturates as truncToInt does (NaN gives 0).
    for (int i = 0; i < count * K; i += n)
    {
        auto x = hn::PromoteTo (dd, hn::LoadU (df, wet + i)) * hn::Set (dd, 8388608.0);
        x = hn::IfThenElseZero (x == x, x);
        x = hn::Min (hn::Max (x, hn::Set (dd, (double) INT_MIN)), hn::Set (dd, (double) INT_MAX));
        const auto v = hn::DemoteTo (di, x);
        const auto kept = hn::IfThenElse (v > hn::Set (di, -1), v & keep, v | fill);
        hn::StoreU (hn::ConvertTo (df, kept) * hn::Set (df, 1.0f / 8388608.0f), df, wet + i);
    }
}

// The clip factor of each sample of lane l, from its gliding clip gain.
template <int K>
void chain_group<K>::fillClipFactors (int l, int count) noexcept
{
    const float* gc = scratch.clipGain.data() + l;
    float* g = scratch.gain.data() + l;

    if (! st[l]->clipGainDb.isSmoothing() && gc[0] == gc[(count - 1) * K])
    {
        const float factor = dbToGain (gc[0]);

        for (int j = 0; j < count; ++j)
            g[j * K] = factor;

        return;
    }

    float factor = 0.0f, factorDb = -1.0f;

    for (int j = 0; j < count; ++j)
    {
        if (gc[j * K] != factorDb)
        {
            factorDb = gc[j * K];
            factor = dbToGain (gc[j * K]);
        }

        g[j * K] = factor;
    }
}

// The clip stage in the lanes of `clipping`, each of which runs it on every
// sample of the piece (`all`: every lane does). The hard clip and the loudness
// compensation are independent per sample once the windows' running sums are
// known, so they run as plain loops.
template <int K>
void chain_group<K>::clipPiece (const bool* clipping, bool all, int count) noexcept
{
    const int size = count * K;
    float* y = scratch.wet.data();
    float* c = scratch.clipped.data();
    float* g = scratch.gain.data();
    double* inSums = scratch.clipInSums.data();
    double* outSums = scratch.clipOutSums.data();

    for (int l = 0; l < K; ++l)
        if (clipping[l])
            fillClipFactors (l, count);
        else
            for (int j = 0; j < count; ++j)
                g[j * K + l] = 0.0f;

    const FF ff;
    const FV one = hn::Set (ff, 1.0f), minusOne = hn::Set (ff, -1.0f);
    int over = 0;

    forEachVector (size, [&] (int i)
    {
        FV v = hn::LoadU (ff, g + i) * hn::LoadU (ff, y + i);
        const auto inside = within (size, i);
        over += (int) (hn::CountTrue (ff, hn::And (inside, v > one)) + hn::CountTrue (ff, hn::And (inside, v < minusOne)));
        v = hn::IfThenElse (v > one, one, v);
        hn::StoreU (hn::IfThenElse (v < minusOne, minusOne, v), ff, c + i);
    });

    report[0].clipped += over;   // only the total counts; lanes outside the stage have factor 0 and never clip

    if (! (all && clipWindows (count)))
        clipWindowsLaneByLane (clipping, count);

    // Bring the clipped signal back to the loudness of its input, never up.
    const hn::ScalableTag<double> dd;
    const hn::Rebind<float, decltype (dd)> dh;
    const auto quiet = hn::Set (dd, 1.0e-7);

    for (int i = 0; i < size; i += (int) hn::Lanes (dd))
    {
        const auto in = hn::LoadU (dd, inSums + i), out = hn::LoadU (dd, outSums + i);
        const auto root = hn::Sqrt (hn::DemoteTo (dh, in / out));
        const auto below = hn::PromoteTo (dd, hn::IfThenElse (root < hn::Set (dh, 1.0f), root, hn::Set (dh, 1.0f)));
        const auto compensation = hn::IfThenElse (hn::And (out > quiet, in > quiet), below, hn::Set (dd, 1.0));
        hn::StoreU (hn::LoadU (dh, c + i) * hn::DemoteTo (dh, compensation), dh, c + i);
    }

    mixClipped (slot1, scratch.depth1.data(), scratch.mod1.data(), count);
    mixClipped (slot2, scratch.depth2.data(), scratch.mod2.data(), count);

    if (all)
    {
        forEachVector (size, [&] (int i)
        {
            const FV v = hn::LoadU (ff, c + i);
            hn::StoreU (hn::IfThenElse (v < minusOne, minusOne, hn::IfThenElse (one < v, one, v)), ff, y + i);
        });
    }
    else
    {
        for (int j = 0; j < count; ++j)
            for (int l = 0; l < K; ++l)
                if (clipping[l])
                    y[j * K + l] = juce::jlimit (-1.0f, 1.0f, c[j * K + l]);
    }

    if (! on.clipLowPassOn)
        return;

    const DF df;
    smooth_IIR_filter* lowPass[K];

    for (int l = 0; l < K; ++l)
        lowPass[l] = &st[l]->pitchLowPass[0];

    const held_locks<K> locked ([&] (int l) -> juce::SpinLock& { return lowPass[l]->lock; });
    lane_filter<K> f (lowPass);
    const MF active = L::maskOf (clipping);

    if (all)
        f.planRamp (count);

    for (int j = 0; j < count; ++j)
    {
        const VF x = hn::LoadU (df, y + j * K);
        hn::StoreU (all ? f.stepAndFlush (x) : hn::IfThenElse (active, f.stepAndFlush (x, active), x), df, y + j * K);
    }

    f.finishRun();
}

// The windows before (the wet samples) and after the hard clip (scratch.clipped)
// of every lane, with their running sums into clipInSums and clipOutSums; false
// (and nothing done) where lane_windows cannot take them.
template <int K>
bool chain_group<K>::clipWindows (int count) noexcept
{
    summed_window<true>* ins[K];
    summed_window<true>* outs[K];
    int dropAt[K];

    for (int l = 0; l < K; ++l)
    {
        ins[l] = &st[l]->clipInWindow;
        outs[l] = &st[l]->clipOutWindow;
        dropAt[l] = channel_state::clipWindowLength + 1;
    }

    lane_windows<K, true> in (ins, dropAt, count), out (outs, dropAt, count);

    if (! in.canRun() || ! out.canRun())
        return false;

    // Both windows in one loop: their running sums are independent.
    const typename L::DD dd;
    typename L::VD sizes;
    in.begin (scratch.wet.data(), scratch.windowIn.data(), count);
    out.begin (scratch.clipped.data(), scratch.windowOut.data(), count);

    for (int j = 0; j < count; ++j)
        for (int p = 0; p < L::parts; ++p)
        {
            hn::StoreU (in.step (j, p, sizes), dd, scratch.clipInSums.data() + j * K + p * L::doubles);
            hn::StoreU (out.step (j, p, sizes), dd, scratch.clipOutSums.data() + j * K + p * L::doubles);
        }

    in.end();
    out.end();

    return true;
}

// The same, each window on its own, in the lanes of `clipping`.
template <int K>
void chain_group<K>::clipWindowsLaneByLane (const bool* clipping, int count) noexcept
{
    const float* y = scratch.wet.data();
    const float* c = scratch.clipped.data();
    double* inSums = scratch.clipInSums.data();
    double* outSums = scratch.clipOutSums.data();

    for (int l = 0; l < K; ++l)
    {
        if (! clipping[l])
            continue;

        // Both windows in one loop: their running sums are independent.
        auto& in = st[l]->clipInWindow;
        auto& out = st[l]->clipOutWindow;
        fixed_ring<float>::cursor inRing (in.samples), outRing (out.samples);
        auto inWindow = in.takeSums(), outWindow = out.takeSums();

        for (int j = 0; j < count; ++j)
        {
            const int i = j * K + l;
            in.pushKeeping (inRing, y[i], channel_state::clipWindowLength, inWindow);
            out.pushKeeping (outRing, c[i], channel_state::clipWindowLength, outWindow);
            inSums[i] = inWindow.running;
            outSums[i] = outWindow.running;
        }

        inRing.store();
        outRing.store();
        in.putSums (inWindow);
        out.putSums (outWindow);
    }
}

// Destination 2: the slot's share of the clipped signal.
template <int K>
void chain_group<K>::mixClipped (const mod_slot& slot, const float* d, const float* m, int count) noexcept
{
    if (slot.destination != 2)
        return;

    const float* y = scratch.wet.data();
    float* c = scratch.clipped.data();

    for (int i = 0; i < count * K; ++i)
    {
        const float k = slot.share (d[i], m[i]);
        c[i] = c[i] * k + (1.0f - k) * y[i];
    }
}

// The clip stage sample by sample for lane l, for a piece in which its clip
// gain glides to or from 0 dB.
template <int K>
void chain_group<K>::clipSamples (int l, int count) noexcept
{
    int lowPassCount = 0;
    float clipFactor = 0.0f, clipFactorDb = -1.0f;
    float* lowPass = scratch.oneLane.data();
    int* lowPassAt = scratch.oneLaneAt.data();

    for (int j = 0; j < count; ++j)
    {
        const int i = j * K + l;
        const float gc = scratch.clipGain[(size_t) i];

        if (! (gc > 0.0f))
            continue;

        if (gc != clipFactorDb)
        {
            clipFactorDb = gc;
            clipFactor = dbToGain (gc);
        }

        const float y = clip (l, scratch.wet[(size_t) i], clipFactor, i);
        scratch.wet[(size_t) i] = y;

        if (on.clipLowPassOn)
        {
            lowPass[lowPassCount] = y;
            lowPassAt[lowPassCount++] = i;
        }
    }

    if (lowPassCount > 0)
    {
        st[l]->pitchLowPass[0].processSampleRun (lowPass, lowPassCount);

        for (int k = 0; k < lowPassCount; ++k)
            scratch.wet[(size_t) lowPassAt[k]] = lowPass[k];
    }
}

template <int K>
float chain_group<K>::clip (int l, float y, float g, int i) noexcept
{
    auto& s = *st[l];
    s.clipInWindow.push_back (y);

    if (s.clipInWindow.size() > channel_state::clipWindowLength)
        s.clipInWindow.pop_front();

    float c = g * y;

    if (c > 1.0f)       { c = 1.0f;  ++report[l].clipped; }
    else if (c < -1.0f) { c = -1.0f; ++report[l].clipped; }

    s.clipOutWindow.push_back (c);

    if (s.clipOutWindow.size() > channel_state::clipWindowLength)
        s.clipOutWindow.pop_front();

    // Bring the clipped signal back to the loudness of its input, never up.
    float compensation = 1.0f;
    const double inSum = s.clipInWindow.sum, outSum = s.clipOutWindow.sum;

    if (outSum > 1.0e-7 && inSum > 1.0e-7)
        compensation = std::min (1.0f, std::sqrt ((float) (inSum / outSum)));

    c = c * compensation;

    if (slot1.destination == 2)
    {
        const float k = slot1.share (scratch.depth1[(size_t) i], scratch.mod1[(size_t) i]);
        c = c * k + (1.0f - k) * y;
    }

    if (slot2.destination == 2)
    {
        const float k = slot2.share (scratch.depth2[(size_t) i], scratch.mod2[(size_t) i]);
        c = c * k + (1.0f - k) * y;
    }

    return juce::jlimit (-1.0f, 1.0f, c);
}

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
