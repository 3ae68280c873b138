#pragma once

#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"

#include <cmath>
#include <memory>
#include <vector>

// In-process helpers for the engine tests: a processor prepared the way a host
// prepares it, a play head the test controls, and block-by-block processing.
namespace engine_test
{
    using namespace parameter_table;

    struct test_play_head : juce::AudioPlayHead
    {
        double bpm = 120.0;
        juce::int64 time = 0;
        bool playing = false;

        juce::Optional<PositionInfo> getPosition() const override
        {
            PositionInfo info;
            info.setBpm (bpm);
            info.setTimeInSamples (time);
            info.setIsPlaying (playing);
            return info;
        }
    };

    // Main input and output of `channels`, a side chain of `sideChannels`
    // (0: the side-chain bus is disabled).
    inline std::unique_ptr<ZorvaluneAudioProcessor> makeProcessor (double rate = 48000.0, int block = 512,
                                                                   int channels = 2, int sideChannels = 0)
    {
        auto p = std::make_unique<ZorvaluneAudioProcessor>();
        auto layout = p->getBusesLayout();
        layout.inputBuses.getReference (0) = juce::AudioChannelSet::discreteChannels (channels);
        layout.outputBuses.getReference (0) = juce::AudioChannelSet::discreteChannels (channels);
        layout.inputBuses.getReference (1) = sideChannels > 0 ? juce::AudioChannelSet::discreteChannels (sideChannels)
                                                              : juce::AudioChannelSet::disabled();
        EXPECT_TRUE (p->setBusesLayout (layout));
        p->setRateAndBufferSizeDetails (rate, block);
        p->prepareToPlay (rate, block);
        return p;
    }

    // Every section off and the tape length left at 1024 samples: the chain is
    // then a plain delay of 1023 samples.
    inline void makeNeutral (ZorvaluneAudioProcessor& p)
    {
        p.setParameter (tapeFreqDelta, 0.0f);
    }

    constexpr int neutralDelay = 1023;

    // Processes `in` block by block with the sizes given (repeated as needed);
    // returns every output channel. Input channels beyond `in` are silent.
    inline juce::AudioBuffer<float> run (ZorvaluneAudioProcessor& p, const juce::AudioBuffer<float>& in,
                                         std::vector<int> blockSizes, test_play_head* head = nullptr)
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

            if (head != nullptr)
                head->time += n;

            start += n;
        }

        return out;
    }

    inline juce::AudioBuffer<float> run (ZorvaluneAudioProcessor& p, const juce::AudioBuffer<float>& in, int blockSize = 512)
    {
        return run (p, in, std::vector<int> { blockSize });
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
}
