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

    // Sequencer steps k = 0..7 that each move the input low-pass and the noise
    // filter (frequency and type), over the steps' present values.
    inline float stepLowPass (int k) { return 0.1f + 0.05f * (float) k; }

    inline void storeFilterSteps (ZorvaluneAudioProcessor& p)
    {
        for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
            p.storeStep (k, [k] (auto& step)
            {
                step[inLowPassFreq] = stepLowPass (k);
                step[noiseFilterFreq] = 0.3f - 0.02f * (float) k;
                step[noiseFilterType] = 0.1f * (float) (k % 4);
                step[seqStepSaved] = (float) (k + 1);
            });
    }

    // Whether the input low-pass and the noise filter hold the sets designed
    // afresh from the values their parameters hold now.
    inline bool filterSetsFollowTheValues (ZorvaluneAudioProcessor& p)
    {
        const auto value = [&] (int i) { return p.parameterValues[(size_t) i].load(); };
        filter_coefficients lowPass, noise;
        butterworth::lowPass (juce::jlimit (50.0, 20000.0, value (inLowPassFreq) * 20000.0), p.sampleRate.load(), lowPass);
        p.calc_filter_coeffs ((int) (value (noiseFilterType) * 10.0f), value (noiseFilterFreq) * 20000.0f, noise);
        const auto same = [] (const filter_coefficients& a, const filter_coefficients& b)
        {
            return a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2 && a.a1 == b.a1 && a.a2 == b.a2;
        };

        return same (p.inputLowPassCoeffs.read(), lowPass) && same (p.noiseFilterCoeffs.read(), noise);
    }

    using block_runner::constant;
    using block_runner::noise;
    using block_runner::sine;
    using block_runner::allFinite;
    using block_runner::largestDifference;
}
