#include "PluginProcessor.h"

#include <cmath>

// While the host bypasses the plug-in the input goes back unchanged (the
// buffer is processed in place, so leaving it alone is enough).
void ZorvaluneAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&)
{
}

//============================================================================== history ring
// The entry of the current block, with the rows of the received side chains
// silenced. Its storage was reserved by prepareToPlay; rows that a block
// longer than that would need are simply not there.
ZorvaluneAudioProcessor::ringbuf_data* ZorvaluneAudioProcessor::setUpHistoryRing (int numSamples)
{
    if (historyRing.empty())
        return nullptr;

    if (historyRingIndex < 0 || historyRingIndex >= (int) historyRing.size())
        historyRingIndex = (int) historyRing.size() - 1;

    auto& entry = historyRing[(size_t) historyRingIndex];
    const int t = totalInputChannels;
    const int receiving = (mod1Source.load() == 7 || mod2Source.load() == 7) ? 2 : 0;
    const auto n = (size_t) numSamples;

    for (int row = t; row < t + receiving + 2; ++row)
        if ((size_t) (row + 1) * n <= entry.samples.size())
            std::fill_n (entry.samples.begin() + (std::ptrdiff_t) ((size_t) row * n), n, 0.0f);

    return &entry;
}

void ZorvaluneAudioProcessor::advanceHistoryRing()
{
    historyRingIndex = historyRingIndex + 1 < (int) historyRing.size() ? historyRingIndex + 1 : 0;
}

// The level of the first side-chain channel in this block, and the one of the
// block before.
void ZorvaluneAudioProcessor::measureSideChainLevel (const juce::AudioBuffer<float>& buffer, int numSamples, ringbuf_data* entry)
{
    if (! (mainInputChannels < totalInputChannels && mainInputChannels < buffer.getNumChannels()) || entry == nullptr
        || (size_t) mainInputChannels >= entry->rms.size())
        return;

    const float* samples = buffer.getReadPointer (mainInputChannels);
    double sum = 0.0;

    for (int i = 0; i < numSamples; ++i)
        sum += (double) samples[i] * (double) samples[i];

    auto& level = entry->rms[(size_t) mainInputChannels];
    sideChainPrevRms = level;
    level = (float) std::sqrt (sum / numSamples);
}
