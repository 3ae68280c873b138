#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <functional>
#include <vector>

// Feeds audio to any processor (ours in process, or a hosted bundle) block by
// block, the way a host's render loop does, with the test signals and checks
// that go with it. Shared by the engine tests and the host-level signal-chain
// tests.
namespace block_runner
{
    // Processes `in` in blocks of the given lengths (repeated as needed) and
    // returns every output channel. Input channels beyond `in` are silent;
    // `afterBlock` is told each block's length.
    inline juce::AudioBuffer<float> process (juce::AudioProcessor& p, const juce::AudioBuffer<float>& in,
                                             const std::vector<int>& blockSizes,
                                             const std::function<void (int)>& afterBlock = {})
    {
        const int channels = juce::jmax (p.getTotalNumInputChannels(), p.getTotalNumOutputChannels());
        const int total = in.getNumSamples();
        juce::AudioBuffer<float> out (p.getTotalNumOutputChannels(), total);
        juce::AudioBuffer<float> block (channels, 8192);
        juce::MidiBuffer midi;
        size_t which = 0;

        for (int start = 0; start < total;)
        {
            const int n = juce::jmin (blockSizes[which++ % blockSizes.size()], total - start);
            block.setSize (channels, n, false, false, true);
            block.clear();

            for (int c = 0; c < juce::jmin (channels, in.getNumChannels()); ++c)
                block.copyFrom (c, 0, in, c, start, n);

            p.processBlock (block, midi);

            for (int c = 0; c < out.getNumChannels(); ++c)
                out.copyFrom (c, start, block, c, 0, n);

            if (afterBlock)
                afterBlock (n);

            start += n;
        }

        return out;
    }

    inline juce::AudioBuffer<float> constant (int channels, int samples, float value)
    {
        juce::AudioBuffer<float> b (channels, samples);

        for (int c = 0; c < channels; ++c)
            juce::FloatVectorOperations::fill (b.getWritePointer (c), value, samples);

        return b;
    }

    // Uniform noise in -amplitude..amplitude, different on every channel.
    inline juce::AudioBuffer<float> noise (int channels, int samples, float amplitude = 0.5f, int seed = 1)
    {
        juce::Random random (seed);
        juce::AudioBuffer<float> b (channels, samples);

        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < samples; ++i)
                b.setSample (c, i, (random.nextFloat() * 2.0f - 1.0f) * amplitude);

        return b;
    }

    inline juce::AudioBuffer<float> sine (int channels, int samples, double hz, double rate, float amplitude)
    {
        juce::AudioBuffer<float> b (channels, samples);

        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < samples; ++i)
                b.setSample (c, i, amplitude * (float) std::sin (2.0 * juce::MathConstants<double>::pi * hz * i / rate));

        return b;
    }

    inline bool allFinite (const juce::AudioBuffer<float>& b)
    {
        for (int c = 0; c < b.getNumChannels(); ++c)
            for (int i = 0; i < b.getNumSamples(); ++i)
                if (! std::isfinite (b.getSample (c, i)))
                    return false;

        return true;
    }

    // The largest difference between channel ca of a and channel cb of b,
    // from sample `from` on, with b read `lag` samples later.
    inline float largestDifference (const juce::AudioBuffer<float>& a, int ca, const juce::AudioBuffer<float>& b,
                                    int cb, int from = 0, int lag = 0)
    {
        float worst = 0.0f;

        for (int i = from; i + lag < b.getNumSamples() && i < a.getNumSamples(); ++i)
            worst = juce::jmax (worst, std::abs (a.getSample (ca, i) - b.getSample (cb, i + lag)));

        return worst;
    }

    // What a ramp played through the tape says of its delay: the range of the
    // delays heard less the one told, and the largest change of the delay
    // from one sample to the next.
    struct ramp_delays
    {
        juce::Range<int> strayed;
        int steepest = 0;
    };

    // Plays `seconds` of a ramp that counts the samples (exact in float; it
    // starts again every 2^22 samples, far more than any delay) through a
    // processor with every section but the tape off: each output sample then
    // tells how late it is (the wet one to the nearest sample). Blocks of the
    // lengths given, repeated as needed; `beforeBlock` is told when each
    // block starts, in seconds.
    inline ramp_delays rampDelaysAround (juce::AudioProcessor& p, int told, double seconds,
                                         const std::vector<int>& blocks = { 512 },
                                         const std::function<void (double)>& beforeBlock = {})
    {
        constexpr int period = 1 << 22;
        juce::AudioBuffer<float> buffer (p.getTotalNumInputChannels(), *std::max_element (blocks.begin(), blocks.end()));
        juce::MidiBuffer midi;
        int lo = std::numeric_limits<int>::max(), hi = std::numeric_limits<int>::min();
        int steepest = 0, last = 0;
        bool heardAny = false;
        size_t which = 0;

        for (int start = 0, block = 0; start < (int) (seconds * p.getSampleRate()); start += block)
        {
            block = blocks[which++ % blocks.size()];
            buffer.setSize (buffer.getNumChannels(), block, false, false, true);

            for (int c = 0; c < buffer.getNumChannels(); ++c)
                for (int i = 0; i < block; ++i)
                    buffer.setSample (c, i, (float) ((start + i) % period) * 0x1p-22f);

            if (beforeBlock)
                beforeBlock ((double) start / p.getSampleRate());

            p.processBlock (buffer, midi);

            for (int i = 0; i < block; ++i)
            {
                const float heard = buffer.getSample (0, i);   // 0 until the ramp comes out

                if (heard <= 0.0f)
                    continue;

                const int since = (start + i - (int) std::lround (heard * 0x1p22f)) % period;
                const int late = (since + period + period / 2) % period - period / 2 - told;
                steepest = heardAny ? std::max (steepest, std::abs (late - last)) : 0;
                lo = std::min (lo, late);
                hi = std::max (hi, late);
                last = late;
                heardAny = true;
            }
        }

        return { { lo, hi }, steepest };
    }
}
