#pragma once

#include "channel_chain.h"

#include <algorithm>
#include <cmath>

// What the chain works out once per block, for the whole block or for one
// channel, before any sample is processed; and small helpers its stages share.
namespace chain_setup
{
    constexpr double twoPi = 6.283185307179586;

    inline float dbToGain (float db) noexcept { return std::pow (10.0f, db / 20.0f); }

    // 10^(dB / 20) as exp (dB x this), for the one gain that changes every sample.
    constexpr float dbToExponent = 0.115129254649702f;

    inline float finiteOr0 (float x) noexcept { return std::isfinite (x) ? x : 0.0f; }
    inline bool isEnvelopeSource (int source) noexcept { return source == 9 || source == 10; }
    inline bool isOscillatorSource (int source) noexcept { return source != 5 && source != 7 && ! isEnvelopeSource (source); }

    // Each next step of a glide, every `stride`-th value.
    inline void glideValues (juce::SmoothedValue<float>& v, float* values, int count, int stride) noexcept
    {
        if (! v.isSmoothing())
        {
            for (int i = 0; i < count; ++i)
                values[i * stride] = v.getTargetValue();

            return;
        }

        for (int i = 0; i < count; ++i)
            values[i * stride] = v.getNextValue();
    }

    // The factor of each next step of a dB glide, every `stride`-th value.
    inline void glideGains (juce::SmoothedValue<float>& db, float* gains, int count, int stride) noexcept
    {
        if (! db.isSmoothing())
        {
            const float g = dbToGain (db.getTargetValue());

            for (int i = 0; i < count; ++i)
                gains[i * stride] = g;

            return;
        }

        for (int i = 0; i < count; ++i)
            gains[i * stride] = dbToGain (db.getNextValue());
    }

    // One modulation slot as the chain sees it during a block.
    struct mod_slot
    {
        int source = 0;
        int destination = 0;
        bool envelope = false;
        float sideGain = 1.0f;
        const float* received = nullptr;
        LFO channel_state::* lfo = nullptr;
        float depthPrev = 0.0f, depthNow = 0.0f;   // in percent

        mod_slot (const chain_block_values& blk, int slot) noexcept;

        // The depth of each sample of a piece: it glides from the previous
        // block's value to this block's.
        void fillDepths (float* depths, int start, int count, int n) const noexcept
        {
            const float prev = depthPrev, change = depthNow - depthPrev, length = (float) n;

            for (int j = 0; j < count; ++j)
                depths[j] = (prev + (float) (start + j) * change / length) / 100.0f;
        }

        // On the wobble's rate or depth.
        bool movesTape() const noexcept { return destination == 5 || destination == 6; }

        // k of the clip-mix and saturation destinations.
        float share (float d, float m) const noexcept
        {
            return envelope ? d * m : (d * m + 1.0f) / (d + 1.0f);
        }
    };

    // Which sections run in this block; the same for every channel.
    struct switches
    {
        explicit switches (const chain_block_values& blk) noexcept;

        bool inputFiltersOn, highPassOn, lowPassOn;
        int holdCopies;
        bool rateReductionOn;
        bool crushing, saturating, reducingBits, tapeWobbling, clipLowPassOn;
    };

    // Where one channel's tape reads during the block.
    struct tape_start
    {
        int readIndex = 0;
        int indexDelta = 0;      // added to the read index after every sample
        int walkRemainder = 0;   // single steps more (by sign) spread evenly over the block
        float frequency = 0.0f;  // of the wobble, before modulation
    };

    // An oscillator's phase step at `hz`, worked out in double and kept as float.
    inline float phaseIncrementOf (float hz, double radiansPerHz) noexcept
    {
        return (float) ((double) hz * radiansPerHz);
    }

    template <class Oscillator>
    void setUpOscillator (Oscillator& lfo, float hz, double radiansPerHz) noexcept
    {
        lfo.frequency = hz;
        lfo.phaseIncrement = phaseIncrementOf (hz, radiansPerHz);
    }

    // The depth ratio that raw "TapeFreqDelta" gives, and the wobble rate the
    // tape runs at for a "TapeRotation" in Hz.
    inline float tapeDepthRatioOf (float raw) noexcept { return raw / 25.0f + 1.0f; }
    inline float tapeWobbleHzOf (float rotation) noexcept { return rotation > 0.1f ? rotation : 0.1f; }

    // The tape line's length at that ratio and rate: at rate 1 it delays by
    // one sample less.
    int tapeLengthOf (float depthRatio, float wobbleHz, float sampleRate) noexcept;

    // A tape that reads a sample per sample, as the block set it up: off, or
    // without depth.
    inline bool tapeIsStill (const channel_state& st, const chain_block_values& blk) noexcept
    {
        return blk.raw[parameter_table::tapeOn] <= 0.5f || st.tapeDepthRatio == 1.0f;
    }

    // The clip-gain and wet-share targets and the tape's length: set for
    // every channel of the block, whether or not it has samples.
    tape_start setUpTargetsAndTape (channel_state& st, const chain_block_values& blk) noexcept;

    // The rest of a channel's set-up for a block it processes. Returns the
    // length of its noise detector's window.
    int setUpChannel (channel_state& st, const chain_block_values& blk, const switches& on) noexcept;

    // How far a read at the rate 1 + depth x sin (phase) swings either side of
    // the centre it wobbles around.
    double wobbleSwingOf (float depth, float increment) noexcept;

    // Where a wobbling tape is centred, in whole samples: its line's delay at
    // rate 1 and the swing of a read at the rate 1 + depth x sin (phase).
    inline int wobbleCentreOf (int length, float depth, float increment) noexcept
    {
        return length - 1 + (int) wobbleSwingOf (depth, increment);
    }

    // The delay the tape's settings give the dry, in whole samples, and so
    // the one the host is told: the centre of the wobble, or without it the
    // line's delay. Without depth the tape keeps the line it had
    // (`keptLength`). The processor's figure for the host and the chain's
    // dry both come from here.
    int tapeDelayOf (float depthRaw, bool tapeOn, float rotationHz, float sampleRate, int keptLength) noexcept;

    // The longest delay the tape's read may fall to: the top of the swing
    // around where the wobble alone centres it, or of the swing above the
    // delay the host was told (where a transport start puts it), whichever
    // is later.
    float tapeTopOf (const channel_state& st, const chain_block_values& blk) noexcept;
}
