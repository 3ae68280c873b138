// The effect chain of a group of K channels, one per SIMD lane, for one block,
// worked through in pieces. Each lane computes exactly what its channel
// computes alone: recursions (filters, oscillators, glides, windows, the tape
// read) keep one state per lane, and everything else is the same arithmetic
// on every element of the piece. The stages are in chain_input-inl.h,
// chain_modulation-inl.h, chain_tape-inl.h, chain_noise-inl.h and
// chain_crush-inl.h; the set-up, the mix and the output are here.
// Compiled once per instruction set (see channel_chain.cpp).

#if defined (ZORVALUNE_CHAIN_GROUP_INL_H_) == defined (HWY_TARGET_TOGGLE)
#ifdef ZORVALUNE_CHAIN_GROUP_INL_H_
#undef ZORVALUNE_CHAIN_GROUP_INL_H_
#else
#define ZORVALUNE_CHAIN_GROUP_INL_H_
#endif

#include "chain_setup.h"
#include "lane_filter-inl.h"
#include "lane_oscillator-inl.h"
#include "lane_window-inl.h"

HWY_BEFORE_NAMESPACE();
namespace chain_lanes {
namespace HWY_NAMESPACE {

using namespace chain_setup;

class ring_positions;

template <int K>
class chain_group
{
public:
    // `tapes` are the channels' set-ups from setUpTargetsAndTape; lane 0 may
    // hold channel 0, which reports the tape wobble rate.
    chain_group (channel_state* const* states, float* const* samples, const tape_start* tapes, bool holdsChannel0,
                 const chain_block_values& b, chain_scratch& sc) noexcept
        : blk (b), scratch (sc), n (b.numSamples), radiansPerHz (twoPi / (double) b.sampleRate),
          on (b), slot1 (b, 1), slot2 (b, 2)
    {
        for (int l = 0; l < K; ++l)
        {
            st[l] = states[l];
            io[l] = samples[l];
            readIndex[l] = tapes[l].readIndex;
            indexDelta[l] = tapes[l].indexDelta;
            walkRemainder[l] = tapes[l].walkRemainder;
            tapeFrequency[l] = tapes[l].frequency;
            tapeTop[l] = tapeTopOf (*st[l], blk);
            setUpDry (l);
            anyDryFollows = anyDryFollows || dryFollows[l];
            firstChannel[l] = holdsChannel0 && l == 0;
            rmsWindow[l] = setUpChannel (*st[l], blk, on);
        }
    }

    void processPiece (int start, int count) noexcept
    {
        float* work = prepareInput (start, count);
        runTapeAndModulation (work, start, count);

        if (blk.liveNoiseOn)
            addNoise (count);

        crushAndClip (count);
        mixAndOutput (start, count);
    }

    // Hands each lane's state and reports back, in lane order.
    void finish (chain_block_results& results) noexcept
    {
        for (int l = 0; l < K; ++l)
        {
            auto& s = *st[l];
            const auto& r = report[l];
            s.curPitchHistStartIndx = readIndex[l];

            if (firstChannel[l] && tapeRateWritten[l])
            {
                results.tapeWobbleRate = lastTapeRate[l];
                results.tapeWobbleRateWritten = true;
            }

            results.mod1Display = display1[l];
            results.mod2Display = display2[l];
            results.modDisplayWritten = true;
            results.clipped += r.clipped;
            results.overloaded += r.overloaded;

            if (r.readIndexBelowZero != 0)
            {
                results.readIndexBelowZero += r.readIndexBelowZero;
                results.belowIndex = r.belowIndex;
                results.belowSize = r.belowSize;
            }

            if (r.readIndexBeyondEnd != 0)
            {
                results.readIndexBeyondEnd += r.readIndexBeyondEnd;
                results.beyondIndex = r.beyondIndex;
                results.beyondSize = r.beyondSize;
                results.beyondDelta = r.beyondDelta;
                results.beyondLength = r.beyondLength;
                results.beyondLfoHz = r.beyondLfoHz;
            }

            const bool broken = nonFiniteOutput[l]
                             || ! std::isfinite (s.rmsSquares.sum) || ! std::isfinite (s.clipInWindow.sum)
                             || ! std::isfinite (s.clipOutWindow.sum) || ! std::isfinite (s.releaseEnvelope)
                             || ! std::isfinite (s.releaseStep) || ! std::isfinite (s.sampleHoldValue);

            if (broken)
                s.recoverFromNonFinite();
        }
    }

private:
    using L = lanes<K>;
    using DF = typename L::DF;
    using VF = typename L::VF;
    using MF = typename L::MF;

    const chain_block_values& blk;
    chain_scratch& scratch;
    const int n;
    const double radiansPerHz;
    const switches on;
    const mod_slot slot1, slot2;

    channel_state* st[K];
    float* io[K];
    bool firstChannel[K];
    int readIndex[K], indexDelta[K];
    int walkRemainder[K], walkCarry[K] = {};   // the walk's spread single steps, and how far the next one is
    float tapeFrequency[K];
    float tapeTop[K];       // the longest delay the read may fall to
    int rmsWindow[K];
    int dryTarget[K];       // the delay the tape's settings give the dry
    bool dryFollows[K];     // the dry goes with a still tape's read wherever it meets it
    bool anyDryFollows = false;
    bool tapeRatesAlike = false;   // every lane's tape reads at the same rates in this piece

    float display1[K] = {}, display2[K] = {};
    bool tapeRateWritten[K] = {};
    float lastTapeRate[K] = {};
    bool nonFiniteOutput[K] = {};
    chain_block_results report[K] = {};

    // Where one lane's tape reads, kept in locals through the ring loop: as
    // members they went through memory every sample, since any of the
    // loop's float stores might have been to them.
    struct tape_head
    {
        int index;
        float fraction;
        float rate;        // the read rate at the sample being read
        float lfoHz;       // the tape oscillator's rate there
        float top;         // the longest delay it may fall to
        int walkCarry;     // the spread walk's progress towards its next single step
    };

    float raw (int i) const noexcept   { return blk.raw[i]; }
    float value (int i) const noexcept { return blk.value[i]; }

    LFO* oscillatorsOf (LFO channel_state::* which, LFO** lfos) const noexcept
    {
        for (int l = 0; l < K; ++l)
            lfos[l] = &(st[l]->*which);

        return lfos[0];
    }

    // chain_input-inl.h
    float* prepareInput (int start, int count) noexcept;
    void filterInput (float* work, int count) noexcept;
    void holdSamples (float* work, int count) noexcept;

    // chain_modulation-inl.h
    float modulationValue (const mod_slot& slot, int i, float& display) const noexcept;
    void fillGlides (int start, int count) noexcept;
    void fillModulation (const mod_slot& slot, float* m, int start, int count, float* display) noexcept;
    void modulateInput (const mod_slot& slot, const float* d, const float* m, int count) noexcept;

    // chain_tape-inl.h
    void runTapeAndModulation (const float* work, int start, int count) noexcept;
    void runTape (const float* work, int count) noexcept;
    void measureLevels (const float* work, int count) noexcept;
    void fillTapeRates (int count) noexcept;
    void tapeRatesOfLane (int l, int count, int stride, float* ratios, float* increments, float* hz) noexcept;
    void fillTapeWobble (float* wobble, const float* increments, int count) noexcept;

    // tape_read-inl.h
    struct tape_read { int at0, at1; };   // the read lies between these elements

    void setUpDry (int l) noexcept;
    void runDry (int count, bool tapesTogether) noexcept;

    tape_head tapeHeadOf (int l) const noexcept;
    void runTapeLane (int l, const float* work, int count) noexcept;
    void runTapesTogether (const float* work, int count) noexcept;
    void moveTapeSamples (const float* work, int held, int count) noexcept;
    bool tapesStandAlike() const noexcept;
    template <class Ring> tape_read stepTape (int l, Ring& pitch, float s, int length, tape_head& head) noexcept;
    static bool steadyStep (ring_positions& pitch, int length, tape_head& head, tape_read& read) noexcept;
    static float heldRate (const tape_head& head, int size) noexcept;
    template <class Ring> void dropRead (Ring& pitch, tape_head& head, int l) const noexcept;
    static void takeTapeReport (chain_block_results& to, const chain_block_results& before, const chain_block_results& after) noexcept;
    void keepTapeHead (int l, const tape_head& head) noexcept;

    // The tape's output p of the way from h0 to h1.
    static float between (float p, float h0, float h1) noexcept
    {
        return (float) ((double) (p * h1) + (1.0 - (double) p) * (double) h0);
    }

    // chain_noise-inl.h
    void gateNoise (int start, int count) noexcept;
    void gateLanes (const float* levels, float* amounts, float* open, int count, float threshold, float minAmount,
                    float ratio, bool releasing) noexcept;
    void addNoise (int count) noexcept;
    void filterNoise (int count) noexcept;

    // chain_crush-inl.h
    void crushAndClip (int count) noexcept;
    void saturate (int count) noexcept;
    void reduceBits (int count) noexcept;
    void fillClipFactors (int l, int count) noexcept;
    void clipPiece (const bool* clipping, bool all, int count) noexcept;
    bool clipWindows (int count) noexcept;
    void clipWindowsLaneByLane (const bool* clipping, int count) noexcept;
    void mixClipped (const mod_slot& slot, const float* d, const float* m, int count) noexcept;
    void clipSamples (int l, int count) noexcept;
    float clip (int l, float y, float g, int i) noexcept;

    // Dry and wet mixed, the output gain and the final hard clip, into the
    // host's samples.
    void mixAndOutput (int start, int count) noexcept
    {
        float* gains = scratch.gain.data();

        for (int l = 0; l < K; ++l)
            glideGains (st[l]->outGainDb, gains + l, count, K);

        const float* wet = scratch.wet.data();
        const float* dry = scratch.dry.data();
        const float* share = scratch.wetShare.data();
        float* mixed = scratch.work.data();
        const int size = count * K;
        const FF ff;
        const FV one = hn::Set (ff, 1.0f), minusOne = hn::Set (ff, -1.0f);
        int over = 0;
        bool anyBroken = false;

        forEachVector (size, [&] (int i)
        {
            const FV w = hn::LoadU (ff, share + i);
            FV o = (hn::LoadU (ff, wet + i) * w + (one - w) * hn::LoadU (ff, dry + i)) * hn::LoadU (ff, gains + i);
            const auto inside = within (size, i);
            over += (int) (hn::CountTrue (ff, hn::And (inside, o > one)) + hn::CountTrue (ff, hn::And (inside, o < minusOne)));
            anyBroken = anyBroken || ! hn::AllFalse (ff, hn::And (inside, o != o));
            o = hn::IfThenElseZero (o == o, o);
            o = hn::IfThenElse (o > one, one, o);
            hn::StoreU (hn::IfThenElse (o < minusOne, minusOne, o), ff, mixed + i);
        });

        report[0].overloaded += over;   // only the total counts

        // Only a broken stage gives NaN; the channel is flushed after the block.
        if (anyBroken)
            markBrokenLanes (count);

        for (int l = 0; l < K; ++l)
        {
            float* out = io[l] + start;

            for (int j = 0; j < count; ++j)
                out[j] = mixed[j * K + l];
        }
    }

    // The lanes whose mix gave NaN somewhere in the piece (worked out again).
    void markBrokenLanes (int count) noexcept
    {
        for (int l = 0; l < K; ++l)
            for (int j = 0; j < count; ++j)
            {
                const int i = j * K + l;
                const float w = scratch.wetShare[(size_t) i];
                const float o = (scratch.wet[(size_t) i] * w + (1.0f - w) * scratch.dry[(size_t) i]) * scratch.gain[(size_t) i];
                nonFiniteOutput[l] = nonFiniteOutput[l] || o != o;
            }
    }
};

}  // namespace HWY_NAMESPACE
}  // namespace chain_lanes
HWY_AFTER_NAMESPACE();

#endif
