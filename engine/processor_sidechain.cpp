#include "PluginProcessor.h"

// The exchange of side-chain audio between instances of one process. The
// block frame calls these at their places in the block; the process-wide
// slot store itself is not built yet, so for now nothing is kept: a sending
// instance only passes its audio through (the frame ends its block), and a
// receiver finds no link and a silent row.

void ZorvaluneAudioProcessor::clearSideChainSlots()
{
}

void ZorvaluneAudioProcessor::sendSideChainBlock (const juce::AudioBuffer<float>& buffer, int numSamples, juce::int64 time)
{
    juce::ignoreUnused (buffer, numSamples, time);
}

int ZorvaluneAudioProcessor::getReceivingSideChainData (juce::int64 time, int useHostTime, int slot, int row)
{
    juce::ignoreUnused (time, useHostTime, slot, row);
    return 0;
}
