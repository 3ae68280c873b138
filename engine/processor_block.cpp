#include "PluginProcessor.h"

// The block frame. For now every processed channel passes through unchanged
// and surplus outputs are cleared.
void ZorvaluneAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;
    ++processBlockCounter;

    const int inputs = juce::jmin (getMainBusNumInputChannels(), MAX_CHANNELS);

    for (int channel = inputs; channel < buffer.getNumChannels(); ++channel)
        if (channel < getTotalNumOutputChannels())
            buffer.clear (channel, 0, buffer.getNumSamples());
}

void ZorvaluneAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&)
{
}
