#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <random>

#include "LFO.h"
#include "smooth_IIR_filter.h"

// The memory of one input channel's effect chain. The processor keeps 24 of
// these inside itself for its whole life.
struct channel_state
{
    static constexpr int gainGlideSamples = 4800;

    channel_state()
    {
        for (auto* g : { &clipGainDb, &dryWet, &outGainDb, &inGainDb })
            g->reset (gainGlideSamples);
    }

    LFO lfo1, lfo2;
    std::mt19937 noiseRng { 5489u };
    LFO tapeLfo;

    smooth_IIR_filter noiseFilter;
    smooth_IIR_filter noiseLowCut;
    smooth_IIR_filter inputHighPass;
    smooth_IIR_filter inputLowPass;
    smooth_IIR_filter pitchLowPass[3];

    juce::SmoothedValue<float> clipGainDb, dryWet, outGainDb, inGainDb;
};
