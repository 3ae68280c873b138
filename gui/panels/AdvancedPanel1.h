#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "../../engine/PluginProcessor.h"
#include "../common/BlinkingLed.h"
#include "../common/WidgetVariants.h"

#include <map>
#include <memory>

// The advanced settings page: the noise detector, the noise and clip filters,
// gains, LFO slew, the two modulation sources with their side-chain slots, the
// sequencer modes and the MIDI settings, with the side-chain link and clip
// LEDs. Designed at 700 x 480 and laid out in proportion at any size. The
// control panel creates it hidden, places it and shows it from its ADVANCED
// toggle.
//
// Children are created, added and released in declaration order; the design
// (bounds, captions, knob ranges, item lists) is data in advanced_panel_design.h.
class AdvancedPanel1 : public juce::Component,
                       public juce::Timer,
                       public juce::Slider::Listener,
                       public juce::ComboBox::Listener,
                       public juce::Button::Listener
{
public:
    explicit AdvancedPanel1 (ZorvaluneAudioProcessor& processor);
    ~AdvancedPanel1() override;

    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    bool keyPressed (const juce::KeyPress&) override;
    void modifierKeysChanged (const juce::ModifierKeys&) override;
    void resized() override;

    // Every 50 ms: the link LEDs of both sources and the clip LED.
    void timerCallback() override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override;
    void sliderValueChanged (juce::Slider*) override;
    void comboBoxChanged (juce::ComboBox*) override;
    void buttonClicked (juce::Button*) override;

    // Copies the processor's values into the page without telling anybody,
    // then brings the dependent state up to date (which also reaches the
    // control panel).
    void update_UI();

    // Enables the knobs from modulation source 1 and the Q knob from the
    // filter type. 0: then also the control panel's dependent state; else
    // this page only.
    void update_dependant_UI (int fromParent);

    ZorvaluneAudioProcessor& processor;

    // Design font height of every direct child label, read by resized().
    std::map<juce::Label*, float> fontSizeMap;

private:
    // The noise filter's list opens where the framework would open it; it
    // outlives the children.
    ForcePopupsInParentWindow noiseFilterLookAndFeel;

public:
    //============================================================================== children, in creation order
    std::unique_ptr<juce::Label> versionLabel;
    std::unique_ptr<juce::Label> noiseThresholdLabel;
    std::unique_ptr<juce::Slider> noiseThresholdSlider;
    std::unique_ptr<juce::Label> madeWithJuceLabel;
    std::unique_ptr<juce::ComboBox> midiProgChangeModeCombo;
    std::unique_ptr<juce::Label> midiProgChangeModeLabel;
    std::unique_ptr<juce::Label> midiChannelLabel;
    std::unique_ptr<juce::ComboBox> midiChannelCombo;
    std::unique_ptr<juce::Slider> noiseMinSlider;
    std::unique_ptr<juce::Slider> noiseRatioSlider;
    std::unique_ptr<juce::Label> noiseRatioLabel;
    std::unique_ptr<juce::Slider> lfoSlewRateSlider;
    std::unique_ptr<juce::Label> lfoSlewRateLabel;
    std::unique_ptr<ComboBox_IgnoreKeys> mod1ChannelCombo;
    std::unique_ptr<ComboBox_IgnoreKeys> mod1SourceCombo;
    std::unique_ptr<juce::Label> mod1ChannelLabel;
    std::unique_ptr<BlinkingLed> mod1LinkLed;
    std::unique_ptr<juce::Label> mod1SourceLabel;
    std::unique_ptr<ComboBox_IgnoreKeys> mod2ChannelCombo;
    std::unique_ptr<ComboBox_IgnoreKeys> mod2SourceCombo;
    std::unique_ptr<juce::Label> mod2ChannelLabel;
    std::unique_ptr<BlinkingLed> mod2LinkLed;
    std::unique_ptr<juce::Label> mod2SourceLabel;
    std::unique_ptr<juce::Label> noiseMinLabel;
    std::unique_ptr<juce::Label> noiseFilterLabel;
    std::unique_ptr<ComboBox_IgnoreKeys> noiseFilterCombo;
    std::unique_ptr<juce::Slider> filterQSlider;
    std::unique_ptr<juce::Label> filterQLabel;
    std::unique_ptr<juce::Slider> clipLpFilterSlider;
    std::unique_ptr<juce::Label> clipLpFilterLabel;
    std::unique_ptr<juce::Label> ccEnableLabel;
    std::unique_ptr<juce::ToggleButton> ccEnableToggle;
    std::unique_ptr<juce::ToggleButton> lowCutToggle;
    std::unique_ptr<juce::Label> lowCutLabel;
    std::unique_ptr<juce::Slider> noiseRmsSlider;
    std::unique_ptr<juce::Label> noiseRmsLabel;
    std::unique_ptr<ComboBox_IgnoreKeys> seqStartCombo;
    std::unique_ptr<juce::Label> seqStartLabel;
    std::unique_ptr<ComboBox_IgnoreKeys> seqSkipModeCombo;
    std::unique_ptr<juce::Label> seqSkipModeLabel;
    std::unique_ptr<juce::Slider> noiseReleaseSlider;
    std::unique_ptr<juce::Label> noiseReleaseLabel;
    std::unique_ptr<juce::Slider> inputGainSlider;
    std::unique_ptr<juce::Label> inputGainLabel;
    std::unique_ptr<juce::Slider> outputGainSlider;
    std::unique_ptr<juce::Label> outputGainLabel;
    std::unique_ptr<BlinkingLed> clipLed;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AdvancedPanel1)
};
