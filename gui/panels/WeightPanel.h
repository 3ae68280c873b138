#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "../../engine/PluginProcessor.h"

#include <array>

// The per-input-channel weight page: sixteen knobs in dB over the processor's
// linear channel weights, usable for the channels the main input has. The
// control panel keeps it as a hidden child and refreshes it with the other
// pages. A fixed layout of 700 x 360; nothing moves when it is resized.
class WeightPanel : public juce::Component,
                    public juce::Slider::Listener
{
public:
    static constexpr int numKnobs = 16;

    explicit WeightPanel (ZorvaluneAudioProcessor& processor);
    ~WeightPanel() override;

    void paint (juce::Graphics&) override;
    bool keyPressed (const juce::KeyPress&) override;
    void modifierKeysChanged (const juce::ModifierKeys&) override;
    void resized() override;
    void sliderValueChanged (juce::Slider*) override;

    // Shows every weight in dB and enables the knobs of the input's channels.
    void update_UI();

    ZorvaluneAudioProcessor& processor;

    // The knob of channel k + 1 at entry k.
    std::array<std::unique_ptr<juce::Slider>*, numKnobs> weightSliderRefs;

    //============================================================================== children, in creation order
    std::unique_ptr<juce::Label> cornerLabel;
    std::unique_ptr<juce::Slider> weightSlider1, weightSlider2, weightSlider3, weightSlider4,
                                  weightSlider5, weightSlider6, weightSlider7, weightSlider8,
                                  weightSlider9, weightSlider10, weightSlider11, weightSlider12,
                                  weightSlider13, weightSlider14, weightSlider15, weightSlider16;
    std::unique_ptr<juce::Label> titleLabel;
    std::unique_ptr<juce::Label> channelLabel1, channelLabel2, channelLabel3, channelLabel4,
                                 channelLabel5, channelLabel6, channelLabel7, channelLabel8,
                                 channelLabel9, channelLabel10, channelLabel11, channelLabel12,
                                 channelLabel13, channelLabel14, channelLabel15, channelLabel16;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WeightPanel)
};
