#pragma once

#include "engine_test_support.h"

#include <functional>

// Block-at-a-time driving of an in-process processor, for tests that look at
// its state between blocks (sequencer, side chain, bypass).
namespace block_steps
{
    // Runs `count` blocks of n samples with `fill` (channel, sample) as input
    // on every input channel (silence without one); the play head, if given,
    // moves on with every block. `bypassed` takes the host's bypass path.
    // Returns the last block.
    inline juce::AudioBuffer<float> run (ZorvaluneAudioProcessor& p, int count, int n,
                                         const std::function<float (int, int)>& fill = {},
                                         engine_test::test_play_head* head = nullptr, bool bypassed = false)
    {
        const int channels = juce::jmax (p.getTotalNumInputChannels(), p.getTotalNumOutputChannels());
        juce::AudioBuffer<float> buffer (channels, n);
        juce::MidiBuffer midi;

        for (int b = 0; b < count; ++b)
        {
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < n; ++i)
                    buffer.setSample (c, i, fill && c < p.getTotalNumInputChannels() ? fill (c, i) : 0.0f);

            if (bypassed)
                p.processBlockBypassed (buffer, midi);
            else
                p.processBlock (buffer, midi);

            if (head != nullptr)
                head->time += n;
        }

        return buffer;
    }

    inline std::function<float (int, int)> constant (float value)
    {
        return [value] (int, int) { return value; };
    }
}
