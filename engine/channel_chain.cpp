#include "channel_chain.h"

#include "safe_convert.h"

#include <algorithm>
#include <cmath>

using namespace parameter_table;

namespace
{
    constexpr double twoPi = 6.283185307179586;

    float dbToGain (float db) noexcept { return std::pow (10.0f, db / 20.0f); }

    // The same 10^(dB / 20) through exp, for the one gain that changes every sample.
    float fastDbToGain (float db) noexcept { return std::exp (db * 0.115129254649702f); }
    float finiteOr0 (float x) noexcept { return std::isfinite (x) ? x : 0.0f; }
    bool isEnvelopeSource (int source) noexcept { return source == 9 || source == 10; }

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
        float depthAt (int i, int n) const noexcept
        {
            return (depthPrev + (float) i * (depthNow - depthPrev) / (float) n) / 100.0f;
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

            if (raw (tapeFreqDelta) == 0.0f)
                return;

            st.tapeDepthRatio = raw (tapeFreqDelta) / 25.0f + 1.0f;
            tapeFrequency = blk.tapeRate > 0.1f ? blk.tapeRate : 0.1f;
            st.tapeLfo.frequency = tapeFrequency;
            st.tapeLfo.phaseIncrement = (float) ((double) tapeFrequency * radiansPerHz);

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

            crushAndClip (start, count);
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
            {
                st.recoverFromNonFinite();
                ++results.recoveries;
            }
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
        float modulatedDrive = 0.0f, modulatedTanh = 0.0f;   // the last drive a slot set, and its tanh

        int readIndex = 0, indexDelta = 0;
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
                in[start + i] = finiteOr0 (in[start + i] * gains[i]);

            float* work = in + start;

            if (highPassOn || lowPassOn)
            {
                std::copy_n (work, count, scratch.work.data());
                work = scratch.work.data();

                if (highPassOn)
                    st.inputHighPass.processSamples (work, count);

                if (lowPassOn)
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

        // From the dry delay through the tape, the input modulation and the
        // noise gate; the noise itself is added afterwards in one go.
        void runTapeAndModulation (const float* in, const float* work, int start, int count) noexcept
        {
            const int length = st.PitchNrSamples;
            const float threshold = value (noiseThreshold);
            const float minAmount = value (noiseMinAmount);
            const float ratio = value (noiseRatio);
            const bool releasing = blk.releaseSamples > 1.0f && ratio > 0.0f;
            const float noiseMixPrev = blk.prevValue[noiseMix], noiseMixNow = value (noiseMix);
            auto& pitch = st.pitchHistory;
            modulated = true;

            for (int j = 0; j < count; ++j)
            {
                const int i = start + j;
                scratch.clipGain[(size_t) j] = st.clipGainDb.getNextValue();
                scratch.wetShare[(size_t) j] = st.dryWet.getNextValue();
                st.dryDelay.push (in[i]);
                const float s = work[j];

                const float d1 = slot1.depthAt (i, n), d2 = slot2.depthAt (i, n);
                const float m1 = modulationValue (slot1, i, display1);
                const float m2 = modulationValue (slot2, i, display2);
                scratch.mod1[(size_t) j] = m1;
                scratch.mod2[(size_t) j] = m2;

                st.rmsSquares.push_back (s * s);

                if (st.rmsSquares.size() >= rmsWindow)
                    st.rmsSquares.pop_front();

                // Tape rotation (destination 5) and depth (destination 6).
                float f = tapeFrequency;

                for (auto* slot : { &slot1, &slot2 })
                {
                    if (slot->destination != 5)
                        continue;

                    const float d = slot == &slot1 ? d1 : d2, m = slot == &slot1 ? m1 : m2;
                    f = f * (1.0f + (slot->envelope ? 7.0f * d * m : 3.5f * d * (m + 1.0f)));
                    st.tapeLfo.frequency = f;
                    st.tapeLfo.phaseIncrement = (float) ((double) f * radiansPerHz);

                    if (firstChannel)
                    {
                        lastTapeRate = f;
                        tapeRateWritten = true;
                    }
                }

                float r = st.tapeDepthRatio;

                if (slot1.destination == 6)
                    r = 1.0f + (r - 1.0f) * (slot1.envelope ? 1.0f - d1 * m1 : 1.0f - 0.5f * d1 * (m1 + 1.0f));

                if (slot2.destination == 6)
                    r = 1.0f + (r - 1.0f) * (slot2.envelope ? 1.0f - d2 * m2 : 1.0f - 0.5f * d2 * (m2 + 1.0f));

                const float tw = st.tapeLfo.getNextOutSample();
                const bool wobbling = tapeWobbling && r != 1.0f;
                st.pitchRate = 1.0f + (r - 1.0f) * (tapeWobbling ? tw : 0.0f);

                float y = readTape (pitch, s, length);

                // While the tape does not wobble, the dry signal is read exactly
                // as late as the tape's output, whatever its length did.
                if (! wobbling)
                    st.dryDelaySamples = juce::jmax (0, pitch.size() - 1 - readIndex - (st.pitchReadFraction >= 0.5f ? 1 : 0));

                scratch.dry[(size_t) j] = st.dryDelay.delayed (st.dryDelaySamples);

                if (readIndex > 0)
                {
                    pitch.pop_front();
                    --readIndex;
                }

                // Ring (3) and amplitude (4) modulation of the input.
                for (auto* slot : { &slot1, &slot2 })
                {
                    const float d = slot == &slot1 ? d1 : d2, m = slot == &slot1 ? m1 : m2;

                    if (slot->destination == 3)
                        y = y * d * m;
                    else if (slot->destination == 4)
                        y = y * (slot->envelope ? d * m + (1.0f - d) : (d * m + 1.0f) / (d + 1.0f));
                }

                scratch.wet[(size_t) j] = y;

                if (blk.liveNoiseOn)
                {
                    const float mix = (noiseMixPrev + (float) i * (noiseMixNow - noiseMixPrev) / (float) n) / 100.0f;
                    scratch.noiseShare[(size_t) j] = mix;
                    scratch.noiseGain[(size_t) j] = noiseGate (threshold, minAmount, ratio, releasing, d1, m1, d2, m2);
                }

                readIndex += indexDelta;
            }
        }

        // The tape delay line: append, advance the read position by the rate,
        // then read between two neighbours. Never reads outside the line.
        float readTape (fixed_ring<float>& pitch, float s, int length) noexcept
        {
            if (pitch.full())
            {
                pitch.pop_front();

                if (readIndex > 0)
                    --readIndex;
            }

            pitch.push_back (s);
            int size = pitch.size();

            if (length < size)
            {
                const float pos = st.pitchRate + st.pitchReadFraction;
                int steps = 0;

                if (std::isfinite (pos) && pos >= 0.0f)
                {
                    const float whole = std::trunc (pos);
                    st.pitchReadFraction = pos - whole;
                    steps = whole >= (float) size ? size : (int) whole;
                }
                else
                {
                    st.pitchReadFraction = 0.0f;
                }

                if (steps >= 1)
                {
                    if (readIndex > 0)
                        readIndex = readIndex > size ? readIndex : readIndex + steps;
                    else
                        pitch.pop_front (std::min (steps, size - 1));   // the newest sample stays
                }

                size = pitch.size();
            }

            if (readIndex < 0)
            {
                ++results.readIndexBelowZero;
                results.belowIndex = readIndex;
                results.belowSize = size;
                readIndex = 0;
            }
            else if (readIndex >= size)
            {
                ++results.readIndexBeyondEnd;
                results.beyondIndex = readIndex;
                results.beyondSize = size;
                results.beyondDelta = indexDelta;
                results.beyondLength = length;
                results.beyondLfoHz = st.tapeLfo.frequency;
                readIndex = juce::jlimit (0, size - 1, size - length);
            }

            const float p = st.pitchReadFraction;
            const float h0 = pitch[readIndex];
            const float h1 = pitch[std::min (readIndex + 1, size - 1)];
            return (float) ((double) (p * h1) + (1.0 - (double) p) * (double) h0);
        }

        // The gain of the noise for one sample, or -1 while the gate is closed.
        float noiseGate (float threshold, float minAmount, float ratio, bool releasing,
                         float d1, float m1, float d2, float m2) noexcept
        {
            const int count = st.rmsSquares.size();
            // 20 log10 (rms) taken as 10 log10 (mean square); rms above 6.4e-8
            // is a mean square above 4.096e-15.
            const auto meanSquare = (float) (count > 0 ? std::max (0.0, st.rmsSquares.sum) / count : 0.0);
            const float level = meanSquare > 4.096e-15f ? 10.0f * std::log10 (meanSquare) : -144.0f;

            if (blk.noiseMinAmountChanged)
                st.releaseEnvelope = channel_state::initialReleaseEnvelope;

            if (! (level > threshold || threshold <= -79.99f))
                return -1.0f;

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

            return fastDbToGain (std::min (0.0f, amount));
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
                if (blk.noiseFilterOn)
                    st.noiseFilter.processSampleRun (scratch.noise.data(), open);

                if (blk.noiseLowCutOn)
                    st.noiseLowCut.processSampleRun (scratch.noise.data(), open);
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
        void crushAndClip (int start, int count) noexcept
        {
            int lowPassCount = 0;
            float clipFactor = 0.0f, clipFactorDb = -1.0f;

            for (int j = 0; j < count; ++j)
            {
                const int i = start + j;
                float y = scratch.wet[(size_t) j];
                const float m1 = scratch.mod1[(size_t) j], m2 = scratch.mod2[(size_t) j];

                if (saturating)
                    y = saturate (y, i, m1, m2);

                if (reducingBits)
                    y = reduceBits (y);

                const float gc = scratch.clipGain[(size_t) j];

                if (gc > 0.0f)
                {
                    if (gc != clipFactorDb)
                    {
                        clipFactorDb = gc;
                        clipFactor = dbToGain (gc);
                    }

                    y = clip (y, clipFactor, i, m1, m2);

                    if (clipLowPassOn)
                    {
                        scratch.lowPass[(size_t) lowPassCount] = y;
                        scratch.lowPassAt[(size_t) lowPassCount++] = j;
                    }
                }

                scratch.wet[(size_t) j] = y;
            }

            if (lowPassCount > 0)
            {
                st.pitchLowPass[0].processSampleRun (scratch.lowPass.data(), lowPassCount);

                for (int k = 0; k < lowPassCount; ++k)
                    scratch.wet[(size_t) scratch.lowPassAt[(size_t) k]] = scratch.lowPass[(size_t) k];
            }
        }

        float saturate (float y, int i, float m1, float m2) noexcept
        {
            float d = blk.drive, t = blk.tanhDrive;

            // Each slot starts from the base drive: slot 2 replaces slot 1.
            for (auto* slot : { &slot1, &slot2 })
            {
                if (slot->destination != 7)
                    continue;

                const float k = slot->share (slot->depthAt (i, n), slot == &slot1 ? m1 : m2);
                d = k * blk.drive + (1.0f - k);

                // A square or held modulation keeps the drive for many samples.
                if (d != modulatedDrive)
                {
                    modulatedDrive = d;
                    modulatedTanh = std::tanh (d);
                }

                t = modulatedTanh;
            }

            const float denominator = t * d;
            return denominator != 0.0f ? std::tanh (d * y) / denominator : y;
        }

        float reduceBits (float y) const noexcept
        {
            const int v = truncToInt ((double) y * 8388608.0);
            const auto bitsOf = (std::uint32_t) v;
            const auto kept = v >= 0 ? (bitsOf & blk.bitMask) : (bitsOf | ~blk.bitMask);
            return (float) (std::int32_t) kept * (1.0f / 8388608.0f);
        }

        float clip (float y, float g, int i, float m1, float m2) noexcept
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

            for (auto* slot : { &slot1, &slot2 })
            {
                if (slot->destination != 2)
                    continue;

                const float k = slot->share (slot->depthAt (i, n), slot == &slot1 ? m1 : m2);
                c = c * k + (1.0f - k) * y;
            }

            return juce::jlimit (-1.0f, 1.0f, c);
        }

        void mixAndOutput (float* out, int count) noexcept
        {
            float* gains = scratch.gain.data();
            glideGains (st.outGainDb, gains, count);

            for (int j = 0; j < count; ++j)
            {
                const float w = scratch.wetShare[(size_t) j];
                float o = (scratch.wet[(size_t) j] * w + (1.0f - w) * scratch.dry[(size_t) j]) * gains[j];

                if (o > 1.0f)
                {
                    o = 1.0f;
                    ++overloaded;
                }
                else if (o < -1.0f)
                {
                    o = -1.0f;
                    ++overloaded;
                }
                else if (! (o == o))
                {
                    // Only a broken stage gets here; the channel is flushed after the block.
                    o = 0.0f;
                    nonFiniteOutput = true;
                }

                out[j] = o;
            }
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
