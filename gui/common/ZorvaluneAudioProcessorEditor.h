#pragma once

#include "../../engine/PluginProcessor.h"

class ControlPanel;

// The plug-in window's content: it holds the one control panel, fits it into
// whatever size the window gets (aspect 4:3 .. 8:5, centred on black) and
// remembers the fitted size in the processor for the next editor.
//
// Refreshes reach it only on the message thread: the processor raises a flag
// from any thread, the editor's own timer collects it and turns it into an
// asynchronous update, which refreshes the panel.
class ZorvaluneAudioProcessorEditor : public juce::AudioProcessorEditor,
                                      public juce::AsyncUpdater,
                                      private juce::Timer
{
public:
    explicit ZorvaluneAudioProcessorEditor (ZorvaluneAudioProcessor&);
    ~ZorvaluneAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    int getControlParameterIndex (juce::Component&) override;
    void handleAsyncUpdate() override;

    ZorvaluneAudioProcessor& pluginProcessor;
    std::unique_ptr<ControlPanel> controlPanel;
    int naturalPanelHeight = 0;
    int naturalPanelWidth = 0;

    // Where the advanced page records the panel offset when a drag ends; the
    // editor never moves the panel itself.
    juce::Point<int> panelOffset, dragStartOffset;

private:
    void timerCallback() override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZorvaluneAudioProcessorEditor)
};
