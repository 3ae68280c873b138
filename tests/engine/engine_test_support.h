#pragma once

#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"

#include "block_runner.h"

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
    // the play head, if given, moves on with every block.
    inline juce::AudioBuffer<float> run (ZorvaluneAudioProcessor& p, const juce::AudioBuffer<float>& in,
                                         std::vector<int> blockSizes, test_play_head* head = nullptr)
    {
        return block_runner::process (p, in, blockSizes, [head] (int n) { if (head != nullptr) head->time += n; });
    }

    inline juce::AudioBuffer<float> run (ZorvaluneAudioProcessor& p, const juce::AudioBuffer<float>& in, int blockSize = 512)
    {
        return run (p, in, std::vector<int> { blockSize });
    }

    using block_runner::constant;
    using block_runner::noise;
    using block_runner::sine;
    using block_runner::allFinite;
    using block_runner::largestDifference;
}
