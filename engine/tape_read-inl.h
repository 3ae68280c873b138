// The tape delay line of a channel group, and the dry delay beside it. Where
// every lane's tape stands the same (as every channel's does, unless one
// joined late), the read's bookkeeping runs once for the group on positions
// alone, and each lane then only moves its own samples.

#if defined (ZORVALUNE_TAPE_READ_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_TAPE_READ_INL_H_
#undef ZORVALUNE_TAPE_READ_INL_H_
#else
#define ZORVALUNE_TAPE_READ_INL_H_
#endif

#include "chain_group-inl.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

// A tape line's elements as positions only, counted from where its front was
// when the piece began: the read's bookkeeping without the samples.
class ring_positions
{
public:
    ring_positions (int held, int room) noexcept : count (held), limit (room) {}

    int size() const noexcept { return count; }
    bool full() const noexcept { return count == limit; }
    void push_back (float) noexcept { ++count; }
    void pop_front() noexcept { pop_front (1); }

    void pop_front (int n) noexcept
    {
        n = std::min (n, count);
        dropped += n;
        count -= n;
    }

    int dropped = 0;   // elements gone from the front

private:
    int count, limit;
};

// The dry keeps a delay of its own: the one the tape's settings give, which
// the host is told, and it moves there a sample per sample at most. A
// wobbling tape's dry heads straight for the centre the new settings give
// (the rotation's glide and a depth changed with it would lead it astray).
// A still tape (off, or without depth) reads a sample per sample at its
// line's delay, which follows the rotation's glide: its dry heads there, and
// once it stands where the read does it goes wherever the read goes (walks
// to a new line included), so the two never part. It joins the read only
// where the read stands still: one walking past it comes from the wobble.
template <int K>
void chain_group<K>::setUpDry (int l) noexcept
{
    using namespace parameter_table;
    const auto& s = *st[l];
    const bool still = tapeIsStill (s, blk);
    const float rotation = still ? blk.tapeRate : blk.value[tapeRotation];
    dryTarget[l] = tapeDelayOf (blk.raw[tapeFreqDelta], ! still, rotation, blk.sampleRate, s.PitchNrSamples);
    dryFollows[l] = still && (s.dryDelaySamples == s.tapeReadDelay || (indexDelta[l] == 0 && walkRemainder[l] == 0));
}

// Every lane's dry delay for the piece, after its tape has run (which left
// the whole delay of each read in readDelay): in, and out as late as it is
// held. Lanes whose tapes ran together and whose dry lines stand alike (as
// every channel's do, unless one joined late) share where each sample goes.
template <int K>
void chain_group<K>::runDry (int count, bool tapesTogether) noexcept
{
    const float* in = scratch.input.data();
    const int* reads = scratch.readDelay.data();
    float* dry = scratch.dry.data();
    int* delays = scratch.oneLaneAt.data();
    auto& a = *st[0];
    const int slot0 = delay_line::cursor (a.dryDelay).slotAhead (0);
    bool alike = tapesTogether;

    for (int l = 1; l < K; ++l)
    {
        auto& b = *st[l];
        alike = alike && b.dryDelaySamples == a.dryDelaySamples && b.tapeReadDelay == a.tapeReadDelay
                      && dryTarget[l] == dryTarget[0] && dryFollows[l] == dryFollows[0]
                      && b.dryDelay.capacity() == a.dryDelay.capacity()
                      && delay_line::cursor (b.dryDelay).slotAhead (0) == slot0;
    }

    for (int l = 0; l < (alike ? 1 : K); ++l)
    {
        const auto& line = st[l]->dryDelay;
        int delay = line.within (st[l]->dryDelaySamples);
        int lastRead = dryFollows[l] ? st[l]->tapeReadDelay : -1;   // -1: the read was not followed
        const int target = line.within (dryTarget[l]);
        const bool held = ! dryFollows[l] && delay == target;   // as nearly always: one delay all through

        // Otherwise the delay of each sample: with the read, or on its way to the target.
        if (! held)
        {
            for (int j = 0; j < count; ++j)
            {
                const int read = dryFollows[l] ? reads[j * K + l] : -1;
                delay = delay == lastRead ? line.within (read) : delay + juce::jlimit (-1, 1, target - delay);
                delays[j] = delay;
                lastRead = read;
            }
        }

        // Where each sample goes and where it is read, worked out once for
        // the lanes that stand alike.
        const int first = l, end = alike ? K : l + 1;
        const delay_line::cursor slots (st[l]->dryDelay);
        float* storage[K];

        for (int m = first; m < end; ++m)
            storage[m] = delay_line::cursor (st[m]->dryDelay).storage();

        for (int j = 0; j < count; ++j)
        {
            const int written = slots.slotAhead (j + 1), read = slots.slotBefore (written, held ? delay : delays[j]);

            for (int m = first; m < end; ++m)
            {
                storage[m][written] = in[j * K + m];
                dry[j * K + m] = storage[m][read];
            }
        }

        for (int m = first; m < end; ++m)
        {
            delay_line::cursor cursor (st[m]->dryDelay);
            cursor.advance (count);
            cursor.store();
            st[m]->dryDelaySamples = delay;
            st[m]->tapeReadDelay = lastRead;
        }
    }
}

// Where one lane's tape reads as the piece begins.
template <int K>
typename chain_group<K>::tape_head chain_group<K>::tapeHeadOf (int l) const noexcept
{
    const auto& s = *st[l];
    return { readIndex[l], s.pitchReadFraction, s.pitchRate, 0.0f, tapeTop[l], walkCarry[l] };
}

// One lane's tape delay line, sample by sample.
template <int K>
void chain_group<K>::runTapeLane (int l, const float* work, int count) noexcept
{
    auto& s = *st[l];
    const int length = s.PitchNrSamples;
    fixed_ring<float>::cursor pitch (s.pitchHistory);
    const float* rates = scratch.tapeRate.data();
    const float* lfoHz = scratch.tapeLfoHz.data();
    tape_head head = tapeHeadOf (l);

    for (int j = 0; j < count; ++j)
    {
        const int i = j * K + l;
        head.rate = rates[i];
        head.lfoHz = lfoHz[i];

        const auto read = stepTape (l, pitch, work[i], length, head);
        scratch.wet[(size_t) i] = between (head.fraction, pitch[read.at0], pitch[read.at1]);

        if (dryFollows[l])
            scratch.readDelay[(size_t) i] = pitch.size() - 1 - read.at0;
        dropRead (pitch, head, l);
    }

    pitch.store();
    keepTapeHead (l, head);
}

// Every lane's tape at once, lane 0's bookkeeping standing for all.
template <int K>
void chain_group<K>::runTapesTogether (const float* work, int count) noexcept
{
    const auto& s = *st[0];
    const int length = s.PitchNrSamples;
    const int held = s.pitchHistory.size();
    ring_positions pitch (held, s.pitchHistory.capacity());
    tape_head head = tapeHeadOf (0);
    const auto reportBefore = report[0];

    int* at0 = scratch.tapeAt0.data();
    int* at1 = scratch.tapeAt1.data();
    float* fraction = scratch.oneLane.data();

    for (int j = 0; j < count; ++j)
    {
        head.rate = scratch.tapeRate[(size_t) (j * K)];
        head.lfoHz = scratch.tapeLfoHz[(size_t) (j * K)];

        tape_read read;

        if (! steadyStep (pitch, length, head, read))
            read = stepTape (0, pitch, 0.0f, length, head);

        at0[j] = pitch.dropped + read.at0;
        at1[j] = pitch.dropped + read.at1;
        fraction[j] = head.fraction;

        if (anyDryFollows)
            for (int l = 0; l < K; ++l)
                scratch.readDelay[(size_t) (j * K + l)] = pitch.size() - 1 - read.at0;

        dropRead (pitch, head, 0);
    }

    moveTapeSamples (work, held, count);

    for (int l = 0; l < K; ++l)
    {
        fixed_ring<float>::cursor ring (st[l]->pitchHistory);
        ring.settle (pitch.dropped, pitch.size());
        ring.store();
        keepTapeHead (l, head);

        if (l > 0)
            takeTapeReport (report[l], reportBefore, report[0]);
    }

    // Between the two neighbours, in double lanes.
    L::spread (fraction, scratch.readFraction.data(), count);
    const float* p = scratch.readFraction.data();
    const float* h0 = scratch.readBefore.data();
    const float* h1 = scratch.readAfter.data();
    const hn::ScalableTag<double> dd;
    const hn::Rebind<float, decltype (dd)> df;

    for (int i = 0; i < count * K; i += (int) hn::Lanes (dd))
    {
        const auto share = hn::LoadU (df, p + i);
        const auto nearer = hn::PromoteTo (dd, share * hn::LoadU (df, h1 + i));
        const auto further = (hn::Set (dd, 1.0) - hn::PromoteTo (dd, share)) * hn::PromoteTo (dd, hn::LoadU (df, h0 + i));
        hn::StoreU (hn::DemoteTo (df, nearer + further), df, scratch.wet.data() + i);
    }
}

// Every lane's samples through its own tape line, on the steps worked out
// for lane 0: new samples go in after the ones held, so sample j lands at
// held + j counted from the old front, whatever has left the line meanwhile;
// the reads lie at tapeAt0 and tapeAt1 counted the same way. Lines whose
// storage stands alike (as it does for channels that ran alike from the
// start) share where each goes.
template <int K>
void chain_group<K>::moveTapeSamples (const float* work, int held, int count) noexcept
{
    const int* at0 = scratch.tapeAt0.data();
    const int* at1 = scratch.tapeAt1.data();
    float* before = scratch.readBefore.data();
    float* after = scratch.readAfter.data();

    float* tapes[K];
    bool alike = true;

    for (int l = 0; l < K; ++l)
    {
        const fixed_ring<float>::cursor ring (st[l]->pitchHistory);
        tapes[l] = ring.storage();
        alike = alike && ring.slotOf (0) == fixed_ring<float>::cursor (st[0]->pitchHistory).slotOf (0);
    }

    if (alike)
    {
        const fixed_ring<float>::cursor ring (st[0]->pitchHistory);

        for (int j = 0; j < count; ++j)
        {
            const int written = ring.slotOf (held + j), read0 = ring.slotOf (at0[j]), read1 = ring.slotOf (at1[j]);

            for (int l = 0; l < K; ++l)
            {
                const int i = j * K + l;
                tapes[l][written] = work[i];
                before[i] = tapes[l][read0];
                after[i] = tapes[l][read1];
            }
        }

        return;
    }

    for (int l = 0; l < K; ++l)
    {
        const fixed_ring<float>::cursor ring (st[l]->pitchHistory);

        for (int j = 0; j < count; ++j)
        {
            const int i = j * K + l;
            tapes[l][ring.slotOf (held + j)] = work[i];
            before[i] = tapes[l][ring.slotOf (at0[j])];
            after[i] = tapes[l][ring.slotOf (at1[j])];
        }
    }
}

// Whether every lane's tape would take the same steps through this piece.
template <int K>
bool chain_group<K>::tapesStandAlike() const noexcept
{
    if (! tapeRatesAlike)
        return false;

    const auto& a = *st[0];

    for (int l = 1; l < K; ++l)
    {
        const auto& b = *st[l];

        if (readIndex[l] != readIndex[0] || indexDelta[l] != indexDelta[0]
             || walkRemainder[l] != walkRemainder[0] || walkCarry[l] != walkCarry[0]
             || b.PitchNrSamples != a.PitchNrSamples || b.pitchReadFraction != a.pitchReadFraction
             || b.pitchHistory.size() != a.pitchHistory.size() || b.pitchHistory.capacity() != a.pitchHistory.capacity())
            return false;
    }

    return true;
}

// The tape delay line for one sample: append, advance the read position by
// the rate, and say between which two elements the read lies (counted from
// the line's front). Never reads outside the line.
template <int K>
template <class Ring>
typename chain_group<K>::tape_read chain_group<K>::stepTape (int l, Ring& pitch, float s, int length, tape_head& head) noexcept
{
    if (pitch.full())
    {
        pitch.pop_front();

        if (head.index > 0)
            --head.index;
    }

    pitch.push_back (s);
    int size = pitch.size();

    if (length < size)
    {
        const float pos = heldRate (head, size) + head.fraction;
        int steps = 0;

        if (std::isfinite (pos) && pos >= 0.0f)
        {
            // trunc without a library call. The rate stays near 1, so
            // the position is nearly always below 2; below 2^23 the
            // int conversion truncates exactly, above it pos is whole.
            const float whole = pos < 1.0f ? 0.0f
                              : pos < 2.0f ? 1.0f
                              : (pos < 8388608.0f ? (float) (int) pos : pos);
            head.fraction = pos - whole;
            steps = whole >= (float) size ? size : (int) whole;
        }
        else
        {
            head.fraction = 0.0f;
        }

        if (steps >= 1)
        {
            if (head.index > 0)
                head.index = head.index > size ? head.index : head.index + steps;
            else
                pitch.pop_front (std::min (steps, size - 1));   // the newest sample stays
        }

        size = pitch.size();
    }

    auto& r = report[l];

    if (head.index < 0)
    {
        ++r.readIndexBelowZero;
        r.belowIndex = head.index;
        r.belowSize = size;
        head.index = 0;
    }
    else if (head.index >= size)
    {
        ++r.readIndexBeyondEnd;
        r.beyondIndex = head.index;
        r.beyondSize = size;
        r.beyondDelta = indexDelta[l];
        r.beyondLength = length;
        r.beyondLfoHz = head.lfoHz;
        head.index = juce::jlimit (0, size - 1, size - length);
    }

    return { head.index, std::min (head.index + 1, size - 1) };
}

// stepTape for the positions alone in the case that nearly every step is: the
// line long enough to read, the read inside it (mostly at its front, which
// the steps then drop) and moving by fewer whole samples than it holds.
// False, with nothing changed, for any other case.
template <int K>
bool chain_group<K>::steadyStep (ring_positions& pitch, int length, tape_head& head, tape_read& read) noexcept
{
    int size = pitch.size() + 1;   // once the new sample is in

    if (pitch.full() || length >= size || head.index < 0 || head.index > size)
        return false;

    const float pos = heldRate (head, size) + head.fraction;

    if (! (pos >= 0.0f && pos < 8388608.0f))
        return false;

    const float whole = pos < 1.0f ? 0.0f : (pos < 2.0f ? 1.0f : (float) (int) pos);
    const int steps = (int) whole;
    const int index = head.index > 0 ? head.index + steps : 0;

    if (whole >= (float) size || index >= size)
        return false;

    pitch.push_back (0.0f);
    head.fraction = pos - whole;
    head.index = index;

    if (index == 0)
    {
        pitch.pop_front (std::min (steps, size - 1));   // the newest sample stays
        size = pitch.size();
    }

    read = { index, std::min (index + 1, size - 1) };
    return true;
}

// The read rate of a step, with the read at the front of a line of `size`
// samples: at the top of its swing, the read falls no further behind. The
// line's length holds the lowest turn; this holds the highest where a
// modulation of the wobble's rate or depth that keeps step with it would
// otherwise pull the read later without end.
template <int K>
float chain_group<K>::heldRate (const tape_head& head, int size) noexcept
{
    const bool atTop = head.rate < 1.0f && head.index == 0 && (float) (size - 1) - head.fraction > head.top;
    return atTop ? 1.0f : head.rate;
}

// After the read the element before it leaves the line, and the read
// position walks on towards a new length (lane l's walk).
template <int K>
template <class Ring>
void chain_group<K>::dropRead (Ring& pitch, tape_head& head, int l) const noexcept
{
    if (head.index > 0)
    {
        pitch.pop_front();
        --head.index;
    }

    head.index += indexDelta[l];

    // |remainder| single steps over the block's n samples, evenly spaced.
    if (const int remainder = walkRemainder[l]; remainder != 0)
    {
        head.walkCarry += std::abs (remainder);

        if (head.walkCarry >= n)
        {
            head.walkCarry -= n;
            head.index += remainder > 0 ? 1 : -1;
        }
    }
}

// What lane 0's read reported from `before` to `after`, as if lane `to` had read it.
template <int K>
void chain_group<K>::takeTapeReport (chain_block_results& to, const chain_block_results& before, const chain_block_results& after) noexcept
{
    if (after.readIndexBelowZero != before.readIndexBelowZero)
    {
        to.readIndexBelowZero += after.readIndexBelowZero - before.readIndexBelowZero;
        to.belowIndex = after.belowIndex;
        to.belowSize = after.belowSize;
    }

    if (after.readIndexBeyondEnd != before.readIndexBeyondEnd)
    {
        to.readIndexBeyondEnd += after.readIndexBeyondEnd - before.readIndexBeyondEnd;
        to.beyondIndex = after.beyondIndex;
        to.beyondSize = after.beyondSize;
        to.beyondDelta = after.beyondDelta;
        to.beyondLength = after.beyondLength;
        to.beyondLfoHz = after.beyondLfoHz;
    }
}

template <int K>
void chain_group<K>::keepTapeHead (int l, const tape_head& head) noexcept
{
    auto& s = *st[l];
    readIndex[l] = head.index;
    s.pitchReadFraction = head.fraction;
    s.pitchRate = head.rate;
    walkCarry[l] = head.walkCarry;
}

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
