#include "channel_chain.h"

#include "safe_convert.h"
#include "lane_math.h"

#include <algorithm>
#include <cmath>

using namespace parameter_table;

namespace
{
    constexpr double twoPi = 6.283185307179586;

    float dbToGain (float db) noexcept { return std::pow (10.0f, db / 20.0f); }

    // How far a read at the rate 1 + depth x sin (phase) has run ahead of the
    // centre it swings around, at `phase`: the sum of its steps in closed form.
    double wobbleLeadAt (float depth, float phase, float increment) noexcept
    {
        const double halfStep = 0.5 * (double) increment;
        const double lead = -(double) depth * std::cos ((double) phase + halfStep) / (2.0 * std::sin (halfStep));
        return std::isfinite (lead) ? lead : 0.0;
    }

    // 10^(dB / 20) as exp (dB x this), for the one gain that changes every sample.
    constexpr float dbToExponent = 0.115129254649702f;
    float finiteOr0 (float x) noexcept { return std::isfinite (x) ? x : 0.0f; }
    bool isEnvelopeSource (int source) noexcept { return source == 9 || source == 10; }
    bool isOscillatorSource (int source) noexcept { return source != 5 && source != 7 && ! isEnvelopeSource (source); }

    // Fills `values` with each next step of a glide.
    void glideValues (juce::SmoothedValue<float>& v, float* values, int count) noexcept
    {
        if (! v.isSmoothing())
        {
            std::fill_n (values, count, v.getTargetValue());
            return;
        }

        for (int i = 0; i < count; ++i)
            values[i] = v.getNextValue();
    }

    // Fills `gains` with the factor of each next step of a dB glide.
    void glideGains (juce::SmoothedValue<float>& db, float* gains, int count) noexcept
    {
        if (! db.isSmoothing())
        {
            std::fill_n (gains, count, dbToGain (db.getTargetValue()));
            return;
        }

        for (int i = 0; i < count; ++i)
            gains[i] = dbToGain (db.getNextValue());
    }

    // One modulation slot as the chain sees it during a block.
    struct mod_slot
    {
        int source = 0;
        int destination = 0;
        bool envelope = false;
        float sideGain = 1.0f;
        const float* received = nullptr;
        LFO* lfo = nullptr;
        float depthPrev = 0.0f, depthNow = 0.0f;   // in percent

        // The depth glides from the previous block's value to this block's.
        void fillDepths (float* depths, int start, int count, int n) const noexcept
        {
            const float prev = depthPrev, change = depthNow - depthPrev, length = (float) n;

            for (int j = 0; j < count; ++j)
                depths[j] = (prev + (float) (start + j) * change / length) / 100.0f;
        }

        // k of the clip-mix and saturation destinations.
        float share (float d, float m) const noexcept
        {
            return envelope ? d * m : (d * m + 1.0f) / (d + 1.0f);
        }
    };

    // The chain of one channel for one block, worked through in pieces.
    class chain_run
    {
    public:
        chain_run (channel_state& s, const chain_block_values& b, bool first, chain_scratch& sc, chain_block_results& r) noexcept
            : st (s), blk (b), firstChannel (first), scratch (sc), results (r), n (b.numSamples),
              radiansPerHz (twoPi / (double) b.sampleRate)
        {
            slot1 = makeSlot (blk.mod1Source, blk.mod1Destination, blk.sideGain1, blk.receivedRow1, st.lfo1, mod1Depth);
            slot2 = makeSlot (blk.mod2Source, blk.mod2Destination, blk.sideGain2, blk.receivedRow2, st.lfo2, mod2Depth);
        }

        // Set-up that happens whether or not the channel has samples: the
        // clip-gain and wet-share targets and the tape.
        void setUpTargetsAndTape() noexcept
        {
            st.clipGainDb.setTargetValue (raw (crushOn) > 0.5f ? value (clipGain) : 0.0f);
            st.dryWet.setTargetValue (blk.liveDryWet);
            readIndex = st.curPitchHistStartIndx;
            tapeFrequency = blk.tapeRate;

            // Without depth the wobble stops; the delay stays where it is, so nothing jumps.
            if (raw (tapeFreqDelta) == 0.0f)
            {
                st.tapeDepthRatio = 1.0f;
                return;
            }

            st.tapeDepthRatio = raw (tapeFreqDelta) / 25.0f + 1.0f;
            tapeFrequency = blk.tapeRate > 0.1f ? blk.tapeRate : 0.1f;
            setUpOscillator (st.tapeLfo, tapeFrequency);

            int length = truncToInt ((st.tapeDepthRatio - 1.0f) * (blk.sampleRate / tapeFrequency));

            if (length >= channel_state::longestTapeDelay)
                length = channel_state::longestTapeDelay;
            else if (length < 0)
                length = 2;

            if (length == st.PitchNrSamples)
                return;

            st.PitchNrSamples = length;
            const int held = st.pitchHistory.size();

            if (held > length)
            {
                // The read position walks to the shorter delay over this block.
                st.curPitchHistStartIndx = held - length;
                indexDelta = (st.curPitchHistStartIndx - readIndex) / n;
            }
            else
            {
                st.curPitchHistStartIndx = 0;
                indexDelta = 0;
                readIndex = 0;
            }
        }

        void setUp() noexcept
        {
            // The RMS window of the noise detector; a shorter window drops its newest squares.
            const int capacity = st.rmsSquares.samples.capacity() - 1;
            rmsWindow = juce::jlimit (1, capacity, truncToInt (blk.liveRmsTime * 2000.0f * blk.sampleRate / 1000.0f));

            if (st.rmsSquares.size() > rmsWindow)
                st.rmsSquares.truncate (rmsWindow);

            st.inGainDb.setTargetValue (value (inGain));

            inputFiltersOn = raw (inFiltersOn) > 0.5f;
            highPassOn = inputFiltersOn && raw (inHighPassFreq) > 0.0f;
            lowPassOn = inputFiltersOn && raw (inLowPassFreq) < 1.0f;
            holdCopies = truncToInt ((double) blk.liveSrReduc * 100.0 + 0.5);
            rateReductionOn = inputFiltersOn && holdCopies >= 2;

            if (rateReductionOn && st.sampleHoldCounter > holdCopies)
                st.sampleHoldCounter = 0;

            setUpOscillator (st.lfo1, blk.lfo1Hz);
            setUpOscillator (st.lfo2, blk.lfo2Hz);
            st.lfo1.edgeWidth = raw (slewRate);
            st.lfo2.edgeWidth = blk.liveSlewRate;

            st.outGainDb.setTargetValue (value (outGain));

            crushing = raw (crushOn) > 0.5f;
            saturating = blk.drive > 0.0f && crushing;
            reducingBits = blk.bits < 24 && crushing;
            tapeWobbling = raw (tapeOn) > 0.5f;
            clipLowPassOn = raw (pitchLowPassFreq) < 1.0f;
        }

        void processPiece (float* in, float* out, int start, int count) noexcept
        {
            float* work = prepareInput (in, start, count);
            runTapeAndModulation (in, work, start, count);

            if (blk.liveNoiseOn)
                addNoise (count);

            crushAndClip (count);
            mixAndOutput (out, count);
        }

        void finish() noexcept
        {
            st.curPitchHistStartIndx = readIndex;

            if (firstChannel && tapeRateWritten)
            {
                results.tapeWobbleRate = lastTapeRate;
                results.tapeWobbleRateWritten = true;
            }

            if (modulated)
            {
                results.mod1Display = display1;
                results.mod2Display = display2;
                results.modDisplayWritten = true;
            }

            results.clipped += clipped;
            results.overloaded += overloaded;

            const bool broken = nonFiniteOutput
                             || ! std::isfinite (st.rmsSquares.sum) || ! std::isfinite (st.clipInWindow.sum)
                             || ! std::isfinite (st.clipOutWindow.sum) || ! std::isfinite (st.releaseEnvelope)
                             || ! std::isfinite (st.releaseStep) || ! std::isfinite (st.sampleHoldValue);

            if (broken)
                st.recoverFromNonFinite();
        }

    private:
        channel_state& st;
        const chain_block_values& blk;
        const bool firstChannel;
        chain_scratch& scratch;
        chain_block_results& results;
        const int n;
        const double radiansPerHz;

        mod_slot slot1, slot2;

        float lastDrive = 0.0f, lastDriveTanh = 0.0f;   // the last modulated drive, and its tanh
        int readIndex = 0, indexDelta = 0;
        double wobbleLead = 0.0;   // how far the wobble had moved the read ahead of its centre before this piece
        float tapeFrequency = 0.0f;
        int rmsWindow = 1;
        bool inputFiltersOn = false, highPassOn = false, lowPassOn = false;
        int holdCopies = 0;
        bool rateReductionOn = false;
        bool crushing = false, saturating = false, reducingBits = false, tapeWobbling = false, clipLowPassOn = false;

        bool modulated = false;
        float display1 = 0.0f, display2 = 0.0f;
        bool tapeRateWritten = false;
        float lastTapeRate = 0.0f;

        // Where the tape reads, kept in locals through the ring loop: as
        // members they went through memory every sample, since any of the
        // loop's float stores might have been to them.
        struct tape_head
        {
            int index;
            float fraction;
            float rate;        // the read rate at the sample being read
            float lfoHz;       // the tape oscillator's rate there
            int dryOffset;     // the dry signal is read this many samples later than the tape
            int dryNudges;     // single-sample moves of the dry read still to make, by sign
        };
        int clipped = 0, overloaded = 0;
        bool nonFiniteOutput = false;

        float raw (int i) const noexcept   { return blk.raw[i]; }
        float value (int i) const noexcept { return blk.value[i]; }

        mod_slot makeSlot (int source, int destination, float sideGain, const float* received, LFO& lfo, int depthIndex) const noexcept
        {
            mod_slot s;
            s.source = source;
            s.destination = destination;
            s.envelope = isEnvelopeSource (source);
            s.sideGain = sideGain;
            s.received = received;
            s.lfo = &lfo;
            s.depthPrev = blk.prevValue[depthIndex];
            s.depthNow = blk.value[depthIndex];
            return s;
        }

        void setUpOscillator (LFO& lfo, float hz) const noexcept
        {
            lfo.frequency = hz;
            lfo.phaseIncrement = (float) ((double) hz * radiansPerHz);
        }

        // Input gain, then the input filters and the sample-and-hold. Returns
        // the working samples: the input itself unless a filter ran.
        float* prepareInput (float* in, int start, int count) noexcept
        {
            float* gains = scratch.gain.data();
            glideGains (st.inGainDb, gains, count);

            // A non-finite input sample is taken as silence, so nothing
            // downstream ever has to recover from the host's data.
            for (int i = 0; i < count; ++i)
            {
                const float x = in[start + i] * gains[i];
                in[start + i] = x - x == 0.0f ? x : 0.0f;   // infinities and NaN give NaN here
            }

            float* work = in + start;

            if (highPassOn || lowPassOn)
            {
                std::copy_n (work, count, scratch.work.data());
                work = scratch.work.data();

                if (highPassOn && lowPassOn)
                    smooth_IIR_filter::processSamples (st.inputHighPass, st.inputLowPass, work, count);
                else if (highPassOn)
                    st.inputHighPass.processSamples (work, count);
                else
                    st.inputLowPass.processSamples (work, count);
            }

            if (rateReductionOn)
            {
                for (int i = 0; i < count; ++i)
                {
                    if (st.sampleHoldCounter == 0)
                    {
                        st.sampleHoldValue = work[i];
                        st.sampleHoldCounter = holdCopies;
                    }
                    else
                    {
                        work[i] = st.sampleHoldValue;
                        --st.sampleHoldCounter;
                    }
                }
            }

            return work;
        }

        float modulationValue (mod_slot& slot, int i, float& display) const noexcept
        {
            float m;

            switch (slot.source)
            {
                case 5:
                    m = blk.sideChainInput != nullptr
                          ? juce::jlimit (-1.0f, 1.0f, finiteOr0 (blk.sideChainInput[i] * slot.sideGain))
                          : 0.0f;
                    break;

                case 7:
                    m = slot.received != nullptr ? slot.received[i] : 0.0f;
                    break;

                case 9:
                case 10:
                {
                    // The side-chain level glides from the previous block's to this block's.
                    const float level = n > 1 ? (blk.sideChainLevel * (float) i + blk.sideChainPrevLevel * (float) (n - 1 - i))
                                                    * slot.sideGain / (float) (n - 1)
                                              : blk.sideChainLevel * slot.sideGain;
                    const float e = finiteOr0 (std::min (1.0f, level));
                    display = e;
                    return slot.source == 9 ? e : 1.0f - e;
                }

                default:
                    m = slot.lfo->getNextOutSample();
                    break;
            }

            m = finiteOr0 (m);
            display = m;
            return m;
        }

        // Values that glide over the block, one array each for the piece.
        void fillGlides (int start, int count) noexcept
        {
            glideValues (st.clipGainDb, scratch.clipGain.data(), count);
            glideValues (st.dryWet, scratch.wetShare.data(), count);
            slot1.fillDepths (scratch.depth1.data(), start, count, n);
            slot2.fillDepths (scratch.depth2.data(), start, count, n);
        }

        // The modulation value of one slot for every sample of the piece.
        void fillModulation (mod_slot& slot, float* m, int start, int count, float& display) const noexcept
        {
            if (isOscillatorSource (slot.source))
            {
                // The oscillator's whole piece at once; what modulationValue does with each value.
                slot.lfo->fillBlock (m, count);

                for (int j = 0; j < count; ++j)
                    m[j] = finiteOr0 (m[j]);

                display = m[count - 1];
                return;
            }

            for (int j = 0; j < count; ++j)
                m[j] = modulationValue (slot, start + j, display);
        }

        // From the dry delay through the tape, the input modulation and the
        // noise gate; the noise itself is added afterwards in one go.
        void runTapeAndModulation (const float* in, const float* work, int start, int count) noexcept
        {
            modulated = true;
            fillGlides (start, count);
            fillModulation (slot1, scratch.mod1.data(), start, count, display1);
            fillModulation (slot2, scratch.mod2.data(), start, count, display2);
            runTape (in, work, start, count);
            modulateInput (slot1, scratch.depth1.data(), scratch.mod1.data(), count);
            modulateInput (slot2, scratch.depth2.data(), scratch.mod2.data(), count);

            if (blk.liveNoiseOn)
                gateNoise (start, count);
        }

        void runTape (const float* in, const float* work, int start, int count) noexcept
        {
            fillTapeRates (count);

            const int length = st.PitchNrSamples;
            auto& pitch = st.pitchHistory;
            const float* rates = scratch.tapeRate.data();
            const float* lfoHz = scratch.tapeLfoHz.data();

            // The dry signal is read as late as the tape, less the wobble's
            // excursion: readTape takes the read's whole steps back out of the
            // dry offset, so the dry stays at the centre the wobble swings
            // around. When that centre moves, the offset follows one sample per
            // sample; within 3/4 of a sample it stays put.
            const int limit = 2 * st.dryDelay.capacity();
            const int dryOffset = juce::jlimit (-limit, limit, st.dryOffset);
            const double gap = wobbleLead - (double) st.pitchReadFraction - (double) dryOffset;
            const double reach = std::min (std::abs (gap) - 0.75, (double) limit);
            const int nudges = reach > 0.0 ? (gap > 0.0 ? 1 : -1) * (int) std::ceil (reach) : 0;

            // The noise detector's window runs here too, so its additions
            // overlap with the tape's own arithmetic; its sums stay in locals.
            auto rms = st.rmsSquares.takeSums();
            tape_head head { readIndex, st.pitchReadFraction, st.pitchRate, 0.0f, dryOffset, nudges };

            for (int j = 0; j < count; ++j)
            {
                st.dryDelay.push (in[start + j]);
                scratch.meanSquare[(size_t) j] = st.rmsSquares.pushTakingMean (work[j] * work[j], rmsWindow, rms);
                head.rate = rates[j];
                head.lfoHz = lfoHz[j];

                const float y = readTape (pitch, work[j], length, head);

                const int nudge = (head.dryNudges > 0 ? 1 : 0) - (head.dryNudges < 0 ? 1 : 0);
                head.dryNudges -= nudge;
                head.dryOffset += nudge;
                scratch.dry[(size_t) j] = st.dryDelay.delayed (pitch.size() - 1 - head.index + head.dryOffset);

                if (head.index > 0)
                {
                    pitch.pop_front();
                    --head.index;
                }

                scratch.wet[(size_t) j] = y;
                head.index += indexDelta;
            }

            readIndex = head.index;
            st.pitchReadFraction = head.fraction;
            st.pitchRate = head.rate;
            st.dryOffset = head.dryOffset;
            st.rmsSquares.putSums (rms);
        }

        // The tape's read rate of every sample of the piece, and how far the
        // wobble had the read ahead of its centre before it. The rate depends
        // only on the modulation, not on the tape's contents, so it runs as a
        // pass of its own: the oscillator's library call then leaves the ring
        // loop's registers alone.
        void fillTapeRates (int count) noexcept
        {
            const bool rotate1 = slot1.destination == 5, rotate2 = slot2.destination == 5;
            const bool deepen1 = slot1.destination == 6, deepen2 = slot2.destination == 6;
            const float* d1s = scratch.depth1.data();
            const float* d2s = scratch.depth2.data();
            const float* m1s = scratch.mod1.data();
            const float* m2s = scratch.mod2.data();
            float* ratios = scratch.tapeRate.data();
            float* increments = scratch.tapeIncrement.data();
            float* wobble = scratch.tapeWobble.data();

            for (int j = 0; j < count; ++j)
            {
                const float d1 = d1s[j], d2 = d2s[j], m1 = m1s[j], m2 = m2s[j];

                // Tape rotation (destination 5) and depth (destination 6).
                if (rotate1 || rotate2)
                {
                    float f = tapeFrequency;

                    if (rotate1)
                        f = f * (1.0f + (slot1.envelope ? 7.0f * d1 * m1 : 3.5f * d1 * (m1 + 1.0f)));

                    if (rotate2)
                        f = f * (1.0f + (slot2.envelope ? 7.0f * d2 * m2 : 3.5f * d2 * (m2 + 1.0f)));

                    setUpOscillator (st.tapeLfo, f);
                }

                scratch.tapeLfoHz[(size_t) j] = st.tapeLfo.frequency;
                increments[j] = st.tapeLfo.phaseIncrement;

                float r = st.tapeDepthRatio;

                if (deepen1)
                    r = 1.0f + (r - 1.0f) * (slot1.envelope ? 1.0f - d1 * m1 : 1.0f - 0.5f * d1 * (m1 + 1.0f));

                if (deepen2)
                    r = 1.0f + (r - 1.0f) * (slot2.envelope ? 1.0f - d2 * m2 : 1.0f - 0.5f * d2 * (m2 + 1.0f));

                ratios[j] = r;
            }

            if (rotate1 || rotate2)
            {
                lastTapeRate = st.tapeLfo.frequency;

                if (firstChannel)
                    tapeRateWritten = true;
            }

            // Only a tape that reads at a wobbling rate leads or lags its centre.
            const bool reading = st.PitchNrSamples < st.pitchHistory.size();
            wobbleLead = tapeWobbling && reading ? wobbleLeadAt (ratios[0] - 1.0f, st.tapeLfo.phase, increments[0]) : 0.0;

            st.tapeLfo.fillBlock (wobble, count, increments);

            for (int j = 0; j < count; ++j)
                ratios[j] = 1.0f + (ratios[j] - 1.0f) * (tapeWobbling ? wobble[j] : 0.0f);
        }

        // Ring (3) and amplitude (4) modulation of the input by one slot.
        void modulateInput (const mod_slot& slot, const float* d, const float* m, int count) noexcept
        {
            float* y = scratch.wet.data();

            if (slot.destination == 3)
            {
                for (int j = 0; j < count; ++j)
                    y[j] = y[j] * d[j] * m[j];
            }
            else if (slot.destination == 4)
            {
                if (slot.envelope)
                    for (int j = 0; j < count; ++j)
                        y[j] = y[j] * (d[j] * m[j] + (1.0f - d[j]));
                else
                    for (int j = 0; j < count; ++j)
                        y[j] = y[j] * ((d[j] * m[j] + 1.0f) / (d[j] + 1.0f));
            }
        }

        void gateNoise (int start, int count) noexcept
        {
            const float threshold = value (noiseThreshold);
            const float minAmount = value (noiseMinAmount);
            const float ratio = value (noiseRatio);
            const bool releasing = blk.releaseSamples > 1.0f && ratio > 0.0f;
            const float noiseMixPrev = blk.prevValue[noiseMix], noiseMixNow = value (noiseMix);

            for (int j = 0; j < count; ++j)
            {
                const int i = start + j;
                scratch.noiseShare[(size_t) j] = (noiseMixPrev + (float) i * (noiseMixNow - noiseMixPrev) / (float) n) / 100.0f;
            }

            // The level in dB, the gate with its release, then the gain: the
            // library calls run as passes of their own, out of the loop that
            // carries the release envelope.
            float* levels = scratch.noiseLevel.data();
            float* amounts = scratch.noiseGain.data();

            levelsOf (scratch.meanSquare.data(), levels, count);

            for (int j = 0; j < count; ++j)
                scratch.gateOpen[(size_t) j] = noiseAmount (levels[j], amounts[j], threshold, minAmount, ratio, releasing,
                                                            scratch.depth1[(size_t) j], scratch.mod1[(size_t) j],
                                                            scratch.depth2[(size_t) j], scratch.mod2[(size_t) j]);

            // At or above 0 dB the gain is exactly 1; -1 marks a closed gate.
            float* exponents = scratch.noise.data();

            for (int j = 0; j < count; ++j)
                exponents[j] = amounts[j] < 0.0f ? amounts[j] * dbToExponent : 0.0f;

            lane_math::exp (exponents, exponents, count);

            for (int j = 0; j < count; ++j)
                amounts[j] = ! scratch.gateOpen[(size_t) j] ? -1.0f : (amounts[j] < 0.0f ? exponents[j] : 1.0f);
        }

        // The tape delay line: append, advance the read position by the rate,
        // then read between two neighbours. Never reads outside the line.
        float readTape (fixed_ring<float>& pitch, float s, int length, tape_head& head) noexcept
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
                const float pos = head.rate + head.fraction;
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

                // A whole step more or less than one sample moves the read, not the centre it wobbles around.
                head.dryOffset += steps - 1;

                if (steps >= 1)
                {
                    if (head.index > 0)
                        head.index = head.index > size ? head.index : head.index + steps;
                    else
                        pitch.pop_front (std::min (steps, size - 1));   // the newest sample stays
                }

                size = pitch.size();
            }

            if (head.index < 0)
            {
                ++results.readIndexBelowZero;
                results.belowIndex = head.index;
                results.belowSize = size;
                head.index = 0;
            }
            else if (head.index >= size)
            {
                ++results.readIndexBeyondEnd;
                results.beyondIndex = head.index;
                results.beyondSize = size;
                results.beyondDelta = indexDelta;
                results.beyondLength = length;
                results.beyondLfoHz = head.lfoHz;
                head.index = juce::jlimit (0, size - 1, size - length);
            }

            const float p = head.fraction;
            const float h0 = pitch[head.index];
            const float h1 = pitch[std::min (head.index + 1, size - 1)];
            return (float) ((double) (p * h1) + (1.0 - (double) p) * (double) h0);
        }

        // 20 log10 (rms) taken as 10 log10 (mean square); rms above 6.4e-8
        // is a mean square above 4.096e-15.
        static void levelsOf (const float* meanSquares, float* levels, int count) noexcept
        {
            for (int j = 0; j < count; ++j)
                levels[j] = meanSquares[j] > 4.096e-15f ? meanSquares[j] : 1.0f;

            lane_math::log10 (levels, levels, count);

            for (int j = 0; j < count; ++j)
                levels[j] = meanSquares[j] > 4.096e-15f ? 10.0f * levels[j] : -144.0f;
        }

        // The amount of noise in dB for one sample at `level`, with the
        // release; false while the gate is closed.
        bool noiseAmount (float level, float& result, float threshold, float minAmount, float ratio, bool releasing,
                          float d1, float m1, float d2, float m2) noexcept
        {
            if (blk.noiseMinAmountChanged)
                st.releaseEnvelope = channel_state::initialReleaseEnvelope;

            if (! (level > threshold || threshold <= -79.99f))
                return false;

            float amount = level > minAmount ? (level - minAmount) * ratio + minAmount : minAmount;

            if (releasing)
            {
                if (amount > st.releaseEnvelope)
                {
                    st.releaseCounter = 0;
                    st.releaseEnvelope = amount;
                    st.releaseStep = (amount - minAmount) / blk.releaseSamples;
                }
                else if ((float) st.releaseCounter < blk.releaseSamples)
                {
                    ++st.releaseCounter;
                    st.releaseEnvelope -= st.releaseStep;
                    amount = st.releaseEnvelope;
                }
            }

            if (slot1.destination == 1)
                amount += slot1.envelope ? 20.0f * d1 * m1 : 10.0f * d1 * (m1 + 1.0f);

            if (slot2.destination == 1)
                amount += slot2.envelope ? 20.0f * d2 * m2 : 10.0f * d2 * (m2 + 1.0f);

            result = amount;
            return true;
        }

        // Draws the noise of every open-gate sample, filters the run, and mixes
        // it in; every sample gives up its noise share of the signal.
        void addNoise (int count) noexcept
        {
            int open = 0;

            for (int j = 0; j < count; ++j)
            {
                if (scratch.noiseGain[(size_t) j] < 0.0f)
                    continue;

                const auto u = (std::uint32_t) st.noiseRng();
                scratch.noise[(size_t) open] = ((float) u * (1.0f / 4294967296.0f) - 0.5f) * 2.0f;
                scratch.noiseAt[(size_t) open] = j;
                ++open;
            }

            if (open > 0)
            {
                if (blk.noiseFilterOn && blk.noiseLowCutOn)
                    smooth_IIR_filter::processSampleRun (st.noiseFilter, st.noiseLowCut, scratch.noise.data(), open);
                else if (blk.noiseFilterOn)
                    st.noiseFilter.processSampleRun (scratch.noise.data(), open);
                else if (blk.noiseLowCutOn)
                    st.noiseLowCut.processSampleRun (scratch.noise.data(), open);
            }

            float* wet = scratch.wet.data();
            const float* gains = scratch.noiseGain.data();
            const float* shares = scratch.noiseShare.data();
            const float* noise = scratch.noise.data();

            // With the gate open throughout, the noise lines up with the samples
            // and the mix runs as a plain loop.
            if (open == count)
            {
                for (int j = 0; j < count; ++j)
                    wet[j] = wet[j] * (1.0f - shares[j]) + shares[j] * (gains[j] * noise[j]);

                return;
            }

            for (int j = 0, k = 0; j < count; ++j)
            {
                float ns = 0.0f;

                if (k < open && scratch.noiseAt[(size_t) k] == j)
                    ns = scratch.noiseGain[(size_t) j] * scratch.noise[(size_t) k++];

                const float mix = scratch.noiseShare[(size_t) j];
                scratch.wet[(size_t) j] = scratch.wet[(size_t) j] * (1.0f - mix) + mix * ns;
            }
        }

        // Saturation, bit reduction and the clip stage with its low-pass.
        void crushAndClip (int count) noexcept
        {
            if (saturating)
                saturate (count);

            if (reducingBits)
                reduceBits (count);

            const float* gc = scratch.clipGain.data();
            bool allClipped = true, noneClipped = true;

            for (int j = 0; j < count; ++j)
            {
                allClipped = allClipped && gc[j] > 0.0f;
                noneClipped = noneClipped && ! (gc[j] > 0.0f);
            }

            if (noneClipped)
                return;

            if (allClipped)
            {
                clipPiece (count);

                if (clipLowPassOn)
                    st.pitchLowPass[0].processSampleRun (scratch.wet.data(), count);

                return;
            }

            clipSamples (count);
        }

        void saturate (int count) noexcept
        {
            float* wet = scratch.wet.data();
            float* drive = scratch.drive.data();
            float* driveTanh = scratch.driveTanh.data();
            float* shaped = scratch.shaped.data();
            const bool drive1 = slot1.destination == 7, drive2 = slot2.destination == 7;

            if (! drive1 && ! drive2)
            {
                const float d = blk.drive, denominator = blk.tanhDrive * d;

                if (denominator == 0.0f)
                    return;

                for (int j = 0; j < count; ++j)
                    shaped[j] = d * wet[j];

                lane_math::tanh (shaped, shaped, count);

                for (int j = 0; j < count; ++j)
                    wet[j] = shaped[j] / denominator;

                return;
            }

            // Each slot starts from the base drive: slot 2 replaces slot 1.
            std::fill_n (drive, count, blk.drive);

            for (const auto* slot : { &slot1, &slot2 })
            {
                if (slot->destination != 7)
                    continue;

                const float* d = slot == &slot1 ? scratch.depth1.data() : scratch.depth2.data();
                const float* m = slot == &slot1 ? scratch.mod1.data() : scratch.mod2.data();

                for (int j = 0; j < count; ++j)
                {
                    const float k = slot->share (d[j], m[j]);
                    drive[j] = k * blk.drive + (1.0f - k);
                }
            }

            int changes = 0;

            for (int j = 0; j < count; ++j)
            {
                shaped[j] = drive[j] * wet[j];
                changes += drive[j] != (j > 0 ? drive[j - 1] : lastDrive) ? 1 : 0;
            }

            // A square or held modulation keeps the drive for many samples.
            if (changes * 8 > count)
            {
                lane_math::tanh (drive, driveTanh, count);
            }
            else
            {
                for (int j = 0; j < count; ++j)
                {
                    if (drive[j] != lastDrive)
                    {
                        lastDrive = drive[j];
                        lastDriveTanh = std::tanh (lastDrive);
                    }

                    driveTanh[j] = lastDriveTanh;
                }
            }

            lastDrive = drive[count - 1];
            lastDriveTanh = driveTanh[count - 1];
            lane_math::tanh (shaped, shaped, count);

            for (int j = 0; j < count; ++j)
            {
                const float denominator = driveTanh[j] * drive[j];
                wet[j] = denominator != 0.0f ? shaped[j] / denominator : wet[j];
            }
        }

        void reduceBits (int count) noexcept
        {
            float* wet = scratch.wet.data();
            const std::uint32_t keep = blk.bitMask, fill = ~blk.bitMask;

            // The conversion saturates as truncToInt does (NaN gives 0), written
            // without branches so the loop runs four samples at a time.
            for (int j = 0; j < count; ++j)
            {
                double x = (double) wet[j] * 8388608.0;
                x = x == x ? x : 0.0;
                x = std::min (std::max (x, (double) INT_MIN), (double) INT_MAX);
                const int v = (int) x;
                const auto bitsOf = (std::uint32_t) v;
                const auto kept = v >= 0 ? (bitsOf & keep) : (bitsOf | fill);
                wet[j] = (float) (std::int32_t) kept * (1.0f / 8388608.0f);
            }
        }

        // The clip factor of each sample, from the gliding clip gain.
        void fillClipFactors (float* g, int count) noexcept
        {
            const float* gc = scratch.clipGain.data();

            if (! st.clipGainDb.isSmoothing() && gc[0] == gc[count - 1])
            {
                std::fill_n (g, count, dbToGain (gc[0]));
                return;
            }

            float factor = 0.0f, factorDb = -1.0f;

            for (int j = 0; j < count; ++j)
            {
                if (gc[j] != factorDb)
                {
                    factorDb = gc[j];
                    factor = dbToGain (gc[j]);
                }

                g[j] = factor;
            }
        }

        // The clip stage for a piece whose every sample goes through it. The
        // hard clip and the loudness compensation are independent per sample
        // once the windows' running sums are known, so they run as plain loops.
        void clipPiece (int count) noexcept
        {
            float* y = scratch.wet.data();
            float* c = scratch.clipped.data();
            float* g = scratch.gain.data();
            double* inSums = scratch.clipInSums.data();
            double* outSums = scratch.clipOutSums.data();
            fillClipFactors (g, count);

            int over = 0;

            for (int j = 0; j < count; ++j)
            {
                float v = g[j] * y[j];
                over += (v > 1.0f ? 1 : 0) + (v < -1.0f ? 1 : 0);
                v = v > 1.0f ? 1.0f : v;
                v = v < -1.0f ? -1.0f : v;
                c[j] = v;
            }

            clipped += over;
            // Both windows in one loop: their running sums are independent.
            auto inWindow = st.clipInWindow.takeSums(), outWindow = st.clipOutWindow.takeSums();

            for (int j = 0; j < count; ++j)
            {
                st.clipInWindow.pushKeeping (y[j], channel_state::clipWindowLength, inWindow);
                st.clipOutWindow.pushKeeping (c[j], channel_state::clipWindowLength, outWindow);
                inSums[j] = inWindow.running;
                outSums[j] = outWindow.running;
            }

            st.clipInWindow.putSums (inWindow);
            st.clipOutWindow.putSums (outWindow);

            // Bring the clipped signal back to the loudness of its input, never up.
            for (int j = 0; j < count; ++j)
            {
                float compensation = 1.0f;

                if (outSums[j] > 1.0e-7 && inSums[j] > 1.0e-7)
                {
                    const float root = std::sqrt ((float) (inSums[j] / outSums[j]));
                    compensation = root < 1.0f ? root : 1.0f;
                }

                c[j] = c[j] * compensation;
            }

            mixClipped (slot1, scratch.depth1.data(), scratch.mod1.data(), count);
            mixClipped (slot2, scratch.depth2.data(), scratch.mod2.data(), count);

            for (int j = 0; j < count; ++j)
                y[j] = juce::jlimit (-1.0f, 1.0f, c[j]);
        }

        // Destination 2: the slot's share of the clipped signal.
        void mixClipped (const mod_slot& slot, const float* d, const float* m, int count) noexcept
        {
            if (slot.destination != 2)
                return;

            const float* y = scratch.wet.data();
            float* c = scratch.clipped.data();

            for (int j = 0; j < count; ++j)
            {
                const float k = slot.share (d[j], m[j]);
                c[j] = c[j] * k + (1.0f - k) * y[j];
            }
        }

        // The clip stage sample by sample, for a piece in which the clip gain
        // glides to or from 0 dB.
        void clipSamples (int count) noexcept
        {
            int lowPassCount = 0;
            float clipFactor = 0.0f, clipFactorDb = -1.0f;

            for (int j = 0; j < count; ++j)
            {
                const float gc = scratch.clipGain[(size_t) j];

                if (! (gc > 0.0f))
                    continue;

                if (gc != clipFactorDb)
                {
                    clipFactorDb = gc;
                    clipFactor = dbToGain (gc);
                }

                const float y = clip (scratch.wet[(size_t) j], clipFactor, j);
                scratch.wet[(size_t) j] = y;

                if (clipLowPassOn)
                {
                    scratch.lowPass[(size_t) lowPassCount] = y;
                    scratch.lowPassAt[(size_t) lowPassCount++] = j;
                }
            }

            if (lowPassCount > 0)
            {
                st.pitchLowPass[0].processSampleRun (scratch.lowPass.data(), lowPassCount);

                for (int k = 0; k < lowPassCount; ++k)
                    scratch.wet[(size_t) scratch.lowPassAt[(size_t) k]] = scratch.lowPass[(size_t) k];
            }
        }

        float clip (float y, float g, int j) noexcept
        {
            st.clipInWindow.push_back (y);

            if (st.clipInWindow.size() > channel_state::clipWindowLength)
                st.clipInWindow.pop_front();

            float c = g * y;

            if (c > 1.0f)       { c = 1.0f;  ++clipped; }
            else if (c < -1.0f) { c = -1.0f; ++clipped; }

            st.clipOutWindow.push_back (c);

            if (st.clipOutWindow.size() > channel_state::clipWindowLength)
                st.clipOutWindow.pop_front();

            // Bring the clipped signal back to the loudness of its input, never up.
            float compensation = 1.0f;
            const double inSum = st.clipInWindow.sum, outSum = st.clipOutWindow.sum;

            if (outSum > 1.0e-7 && inSum > 1.0e-7)
                compensation = std::min (1.0f, std::sqrt ((float) (inSum / outSum)));

            c = c * compensation;

            if (slot1.destination == 2)
            {
                const float k = slot1.share (scratch.depth1[(size_t) j], scratch.mod1[(size_t) j]);
                c = c * k + (1.0f - k) * y;
            }

            if (slot2.destination == 2)
            {
                const float k = slot2.share (scratch.depth2[(size_t) j], scratch.mod2[(size_t) j]);
                c = c * k + (1.0f - k) * y;
            }

            return juce::jlimit (-1.0f, 1.0f, c);
        }

        void mixAndOutput (float* out, int count) noexcept
        {
            float* gains = scratch.gain.data();
            glideGains (st.outGainDb, gains, count);

            const float* wet = scratch.wet.data();
            const float* dry = scratch.dry.data();
            const float* share = scratch.wetShare.data();
            int over = 0, broken = 0;

            // Written without branches, so the loop runs four samples at a time.
            for (int j = 0; j < count; ++j)
            {
                const float w = share[j];
                float o = (wet[j] * w + (1.0f - w) * dry[j]) * gains[j];
                over += (o > 1.0f ? 1 : 0) + (o < -1.0f ? 1 : 0);
                broken += o == o ? 0 : 1;   // only a broken stage gives NaN; the channel is flushed after the block
                o = o == o ? o : 0.0f;
                o = o > 1.0f ? 1.0f : o;
                o = o < -1.0f ? -1.0f : o;
                out[j] = o;
            }

            overloaded += over;
            nonFiniteOutput = nonFiniteOutput || broken != 0;
        }
    };
}

void runChannelChain (channel_state& state, const chain_block_values& block, bool firstChannel,
                      float* in, float* out, chain_scratch& scratch, chain_block_results& results) noexcept
{
    if (block.numSamples <= 0)
        return;

    chain_run run (state, block, firstChannel, scratch, results);
    run.setUpTargetsAndTape();

    if (in == nullptr || out == nullptr || ! state.isPrepared())
        return;

    run.setUp();

    for (int start = 0; start < block.numSamples; start += chain_scratch::length)
    {
        const int count = std::min (chain_scratch::length, block.numSamples - start);
        run.processPiece (in, out + start, start, count);
    }

    run.finish();
}
