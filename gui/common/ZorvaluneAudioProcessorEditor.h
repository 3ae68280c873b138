#pragma once

#include "../../engine/PluginProcessor.h"

// The plug-in window's content. It collects the processor's refresh requests
// on the message thread and refreshes its pages from there.
class ZorvaluneAudioProcessorEditor : public juce::AudioProcessorEditor,
                                      public juce::AsyncUpdater,
                                      private juce::Timer
{
public:
    explicit ZorvaluneAudioProcessorEditor (ZorvaluneAudioProcessor&);
    ~ZorvaluneAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void handleAsyncUpdate() override;

    // Number of refreshes run on the message thread (tests watch it).
    int refreshCount = 0;

private:
    void timerCallback() override;

    ZorvaluneAudioProcessor& pluginProcessor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZorvaluneAudioProcessorEditor)
};
