#include "chain_setup.h"

#include "safe_convert.h"

using namespace parameter_table;

namespace chain_setup
{
    mod_slot::mod_slot (const chain_block_values& blk, int slot) noexcept
    {
        const bool first = slot == 1;
        source = first ? blk.mod1Source : blk.mod2Source;
        destination = first ? blk.mod1Destination : blk.mod2Destination;
        envelope = isEnvelopeSource (source);
        sideGain = first ? blk.sideGain1 : blk.sideGain2;
        received = first ? blk.receivedRow1 : blk.receivedRow2;
        lfo = first ? &channel_state::lfo1 : &channel_state::lfo2;

        const int depthIndex = first ? mod1Depth : mod2Depth;
        depthPrev = blk.prevValue[depthIndex];
        depthNow = blk.value[depthIndex];
    }

    switches::switches (const chain_block_values& blk) noexcept
    {
        const auto raw = [&] (int i) { return blk.raw[i]; };

        inputFiltersOn = raw (inFiltersOn) > 0.5f;
        highPassOn = inputFiltersOn && raw (inHighPassFreq) > 0.0f;
        lowPassOn = inputFiltersOn && raw (inLowPassFreq) < 1.0f;
        holdCopies = truncToInt ((double) blk.liveSrReduc * 100.0 + 0.5);
        rateReductionOn = inputFiltersOn && holdCopies >= 2;

        crushing = raw (crushOn) > 0.5f;
        saturating = blk.drive > 0.0f && crushing;
        reducingBits = blk.bits < 24 && crushing;
        tapeWobbling = raw (tapeOn) > 0.5f;
        clipLowPassOn = raw (pitchLowPassFreq) < 1.0f;
    }

    namespace
    {
        // A transport start restarted the tape's oscillator at phase 0, where
        // the read is at the top of its swing: the read goes there, around the
        // delay the host was told, so that the signal stays as late as the host
        // thinks (the swing's lowest turn then meets the line's length, which
        // holds it there). Without the wobble the read sits at that delay.
        void placeTapeReadIfPending (channel_state& st, const chain_block_values& blk, tape_start& tape) noexcept
        {
            if (! st.tapeReadPending)
                return;

            const int centre = std::max (0, blk.toldDelay);
            const int swing = tapeIsStill (st, blk) ? 0 : (int) wobbleSwingOf (st.tapeDepthRatio - 1.0f, st.tapeLfo.phaseIncrement);
            st.placeTapeRead (centre + swing, centre);
            tape.readIndex = 0;
        }
    }

    tape_start setUpTargetsAndTape (channel_state& st, const chain_block_values& blk) noexcept
    {
        const auto raw = [&] (int i) { return blk.raw[i]; };

        st.clipGainDb.setTargetValue (raw (crushOn) > 0.5f ? blk.value[clipGain] : 0.0f);
        st.dryWet.setTargetValue (blk.liveDryWet);

        // What lies before the read is never read again: dropped, the read
        // stands at the front, where the line's length holds the wobble's
        // lowest turn in place (otherwise its centre drifts).
        if (st.curPitchHistStartIndx > 0 && ! st.tapeReadPending)
        {
            st.pitchHistory.pop_front (st.curPitchHistStartIndx);
            st.curPitchHistStartIndx = 0;
        }

        tape_start tape;
        tape.readIndex = st.curPitchHistStartIndx;
        tape.frequency = blk.tapeRate;

        // Without depth the wobble stops, and the line keeps its length.
        int length = st.PitchNrSamples;

        if (raw (tapeFreqDelta) == 0.0f)
        {
            st.tapeDepthRatio = 1.0f;
        }
        else
        {
            st.tapeDepthRatio = tapeDepthRatioOf (raw (tapeFreqDelta));
            tape.frequency = tapeWobbleHzOf (blk.tapeRate);
            setUpOscillator (st.tapeLfo, tape.frequency, twoPi / (double) blk.sampleRate);
            length = tapeLengthOf (st.tapeDepthRatio, tape.frequency, blk.sampleRate);
        }

        if (st.tapeReadPending)
        {
            st.PitchNrSamples = length;
            placeTapeReadIfPending (st, blk, tape);
            return tape;
        }

        // A new length, or a still tape that the wobble left later than its
        // line: the read walks to the line's delay over this block, all the
        // way, whole steps per sample and what they leave spread out. (A
        // still tape rests at its line's delay, wherever the wobble stopped.)
        const bool still = tapeIsStill (st, blk);
        const bool newLength = length != st.PitchNrSamples;
        const int held = st.pitchHistory.size();
        st.PitchNrSamples = length;

        if (held > length && (newLength || still))
        {
            st.curPitchHistStartIndx = held - length;
            const int walk = st.curPitchHistStartIndx - tape.readIndex;
            tape.indexDelta = walk / blk.numSamples;
            tape.walkRemainder = walk % blk.numSamples;
        }
        else if (newLength)
        {
            st.curPitchHistStartIndx = 0;
            tape.readIndex = 0;
        }

        return tape;
    }

    int tapeLengthOf (float depthRatio, float wobbleHz, float sampleRate) noexcept
    {
        const int length = truncToInt ((depthRatio - 1.0f) * (sampleRate / wobbleHz));

        if (length >= channel_state::longestTapeDelay)
            return channel_state::longestTapeDelay;

        // A line of no length would read a sample ahead of the newest (a tiny
        // depth at a fast wobble): as short as a negative one instead.
        return length <= 0 ? 2 : length;
    }

    int setUpChannel (channel_state& st, const chain_block_values& blk, const switches& on) noexcept
    {
        // The RMS window of the noise detector; a shorter window drops its newest squares.
        const int capacity = st.rmsSquares.samples.capacity() - 1;
        const int rmsWindow = juce::jlimit (1, capacity, truncToInt (blk.liveRmsTime * 2000.0f * blk.sampleRate / 1000.0f));

        if (st.rmsSquares.size() > rmsWindow)
            st.rmsSquares.truncate (rmsWindow);

        st.inGainDb.setTargetValue (blk.value[inGain]);

        if (on.rateReductionOn && st.sampleHoldCounter > on.holdCopies)
            st.sampleHoldCounter = 0;

        const double radiansPerHz = twoPi / (double) blk.sampleRate;
        setUpOscillator (st.lfo1, blk.lfo1Hz, radiansPerHz);
        setUpOscillator (st.lfo2, blk.lfo2Hz, radiansPerHz);
        st.lfo1.edgeWidth = blk.raw[slewRate];
        st.lfo2.edgeWidth = blk.liveSlewRate;

        st.outGainDb.setTargetValue (blk.value[outGain]);
        return rmsWindow;
    }

    double wobbleSwingOf (float depth, float increment) noexcept
    {
        const double swing = (double) depth / (2.0 * std::sin (0.5 * (double) increment));
        return std::isfinite (swing) ? swing : 0.0;
    }

    int tapeDelayOf (float depthRaw, bool tapeOn, float rotationHz, float sampleRate, int keptLength) noexcept
    {
        if (depthRaw == 0.0f)
            return std::max (0, keptLength - 1);

        const float ratio = tapeDepthRatioOf (depthRaw);
        const float hz = tapeWobbleHzOf (rotationHz);
        const int length = tapeLengthOf (ratio, hz, sampleRate);
        const float swingDepth = tapeOn ? ratio - 1.0f : 0.0f;
        return std::max (0, wobbleCentreOf (length, swingDepth, phaseIncrementOf (hz, twoPi / (double) sampleRate)));
    }

    float tapeTopOf (const channel_state& st, const chain_block_values& blk) noexcept
    {
        // Two samples of room at the top: the swing's top as the read reaches
        // it lies within a sample and a half of its ideal one.
        const double swing = wobbleSwingOf (st.tapeDepthRatio - 1.0f, st.tapeLfo.phaseIncrement);
        const double centre = (double) (st.PitchNrSamples - 1) + swing;
        return (float) (std::max ((double) blk.toldDelay, centre) + swing + 2.0);
    }
}
