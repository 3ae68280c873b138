#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "../../engine/PluginProcessor.h"

// The per-channel weight page. The control panel keeps it as a hidden child
// and refreshes it with the other pages; for now it is an empty frame of its
// design size.
class WeightPanel : public juce::Component,
                    public juce::Slider::Listener
{
public:
    explicit WeightPanel (ZorvaluneAudioProcessor& processor);
    ~WeightPanel() override;

    void update_UI();

    void sliderValueChanged (juce::Slider*) override;

    ZorvaluneAudioProcessor& processor;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WeightPanel)
};
