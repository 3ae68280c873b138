#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "../../engine/PluginProcessor.h"

// The advanced settings page. The control panel creates it hidden, places it
// and shows it from its ADVANCED toggle. For now the page is an empty frame of
// its design size with the knobs that the host's parameter lookup knows.
class AdvancedPanel1 : public juce::Component,
                       public juce::Timer,
                       public juce::Slider::Listener,
                       public juce::ComboBox::Listener,
                       public juce::Button::Listener
{
public:
    explicit AdvancedPanel1 (ZorvaluneAudioProcessor& processor);
    ~AdvancedPanel1() override;

    // Copies the processor's values into the page, then brings the dependent
    // state up to date (which also reaches the control panel).
    void update_UI();

    // 0: also refresh the control panel's dependent state; 1: this page only.
    void update_dependant_UI (int fromControlPanel);

    void timerCallback() override;
    void sliderValueChanged (juce::Slider*) override;
    void comboBoxChanged (juce::ComboBox*) override;
    void buttonClicked (juce::Button*) override;

    ZorvaluneAudioProcessor& processor;

    std::unique_ptr<juce::Slider> noiseThresholdSlider;
    std::unique_ptr<juce::Slider> noiseMinSlider;
    std::unique_ptr<juce::Slider> noiseRatioSlider;
    std::unique_ptr<juce::Slider> lfoSlewRateSlider;
    std::unique_ptr<juce::Slider> filterQSlider;
    std::unique_ptr<juce::Slider> clipLpFilterSlider;
    std::unique_ptr<juce::Slider> noiseRmsSlider;
    std::unique_ptr<juce::Slider> noiseReleaseSlider;
    std::unique_ptr<juce::Slider> inputGainSlider;
    std::unique_ptr<juce::Slider> outputGainSlider;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AdvancedPanel1)
};
