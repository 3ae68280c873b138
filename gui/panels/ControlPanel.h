#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include "../../engine/PluginProcessor.h"
#include "../../platform/document_opener.h"
#include "../common/BlinkingLed.h"
#include "../common/TextEditPanel.h"
#include "../common/WidgetVariants.h"
#include "AdvancedPanel1.h"
#include "WeightPanel.h"

#include <array>
#include <map>
#include <memory>
#include <vector>

// The editor's main page, designed at 800 x 600 and laid out in proportion at
// any size. It owns every main control, the preset name entry, and the
// advanced and weight pages, which it creates hidden.
//
// Children are created in declaration order and added in that order, so a
// later child lies above an earlier one where they overlap.
class ControlPanel : public juce::Component,
                     public juce::Timer,
                     public juce::TextEditor::Listener,
                     public juce::Slider::Listener,
                     public juce::Button::Listener,
                     public juce::ComboBox::Listener
{
public:
    explicit ControlPanel (ZorvaluneAudioProcessor& processor);
    ~ControlPanel() override;

    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    bool keyPressed (const juce::KeyPress&) override;
    void modifierKeysChanged (const juce::ModifierKeys&) override;
    void resized() override;
    void timerCallback() override;
    void sliderDragEnded (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderValueChanged (juce::Slider*) override;
    void buttonClicked (juce::Button*) override;
    void comboBoxChanged (juce::ComboBox*) override;

    // Copies the processor's state into the panel and its pages.
    void update_UI();

    // What depends on the values shown: presentation, enables, and the
    // advanced page's own dependent state.
    void update_dependant_UI();

    // The LFO rate knobs' range for their X10 state, showing the rate.
    void update_LFO1_slider();
    void update_LFO2_slider();

    // Rebuilds the preset menu and shows the current user preset, marked
    // "* name *" while modified.
    void updateUserPresets();

    // Adds the grouped preset name (group:rest) as item `index` + 6 into
    // (nested) sub-menus of `menu`, reusing a group that already exists.
    void add_groups_2_menu (int index, juce::String name, juce::PopupMenu* menu);

    // The parameter that a control edits, found by the control's identity; -1
    // for anything that edits none.
    int getControlParameterIndex (juce::Component& control);

    ZorvaluneAudioProcessor& processor;
    const int refreshPeriodMs = 20;
    ForcePopupsInParentWindow popupLookAndFeel;

    std::unique_ptr<AdvancedPanel1> advancedPanel;
    std::unique_ptr<WeightPanel> weightPanel;
    std::unique_ptr<juce::Label> advancedBackdrop;

    // Design font height of every direct child label, read by resized().
    std::map<juce::Label*, float> labelSizes;

    int lfo1LedCountdown = 0, lfo2LedCountdown = 0, tapeLedCountdown = 0;
    int lfo1X10 = 0, lfo2X10 = 0;

    // The user presets as the menu lists them (item id - 6) and the one it
    // shows as current: a pick acts on what the user saw.
    std::vector<juce::String> presetMenuNames;
    juce::String presetMenuCurrent;

    // The item the last rebuild selected. The combo delivers a pick later; a
    // selection that differs is a pick on its way, and a rebuild then would
    // replace it, so the rebuild waits until the pick has run. A change seen
    // while the menu is open waits for it to close (presetMenuStale); the
    // refresh timer applies it then, also when nothing was picked.
    int presetMenuSelectedId = 0;
    bool presetMenuStale = false;

    // The help document or web site being opened, the button that asked, and
    // what to tell the user by that button when nothing can open it.
    std::unique_ptr<platform::document_opener::Opening> opening;
    juce::Component* openingButton = nullptr;
    juce::String openingFailure;

    // Says what could not be done, by the control that asked for it.
    std::unique_ptr<juce::BubbleMessageComponent> failureBubble;

    // Waveforms of modulation sources 0..3: sine, square, falling saw, rising saw.
    std::array<juce::Image, 4> modSourceImages;

    // The step LEDs in step order.
    std::array<std::unique_ptr<BlinkingLed>*, ZorvaluneAudioProcessor::NUM_STEPS> stepLeds;

    //============================================================================== children, in creation order
    std::unique_ptr<juce::Label> crushTitleLabel;
    std::unique_ptr<juce::Label> noiseMixLabel;
    std::unique_ptr<juce::Slider> noiseMixSlider;
    std::unique_ptr<juce::Slider> clipSlider;
    std::unique_ptr<juce::Slider> bitsSlider;
    std::unique_ptr<juce::Label> bitsLabel;
    std::unique_ptr<juce::Slider> mod1DepthSlider;
    std::unique_ptr<juce::Label> mod1Label;
    std::unique_ptr<juce::TextButton> advancedButton;
    std::unique_ptr<juce::ImageButton> logoButton;
    std::unique_ptr<juce::TextButton> helpButton;
    std::unique_ptr<ComboBox_IgnoreKeys> presetsCombo;
    std::unique_ptr<BlinkingLed> lfo1Led;
    std::unique_ptr<juce::TextButton> weightButton;
    std::unique_ptr<juce::Slider> mod2DepthSlider;
    std::unique_ptr<juce::Label> mod2Label;
    std::unique_ptr<juce::Slider> lfo1RateSlider;
    std::unique_ptr<juce::Label> lfo1RateLabel;
    std::unique_ptr<juce::Label> mod1DestLabel;
    std::unique_ptr<ComboBox_IgnoreKeys> mod1DestCombo;
    std::unique_ptr<juce::Slider> lfo2RateSlider;
    std::unique_ptr<juce::Label> lfo2RateLabel;
    std::unique_ptr<ComboBox_IgnoreKeys> mod2DestCombo;
    std::unique_ptr<juce::Label> mod2DestLabel;
    std::unique_ptr<BlinkingLed> lfo2Led;
    std::unique_ptr<juce::Slider> dryWetSlider;
    std::unique_ptr<juce::Label> dryWetLabel;
    std::unique_ptr<juce::ToggleButton> lfo1X10Toggle;
    std::unique_ptr<juce::Label> lfo1X10Label;
    std::unique_ptr<ComboBox_IgnoreKeys> lfo1SyncCombo;
    std::unique_ptr<ComboBox_IgnoreKeys> lfo2SyncCombo;
    std::unique_ptr<juce::ToggleButton> lfo2X10Toggle;
    std::unique_ptr<juce::Label> lfo2X10Label;
    std::unique_ptr<TextEditPanel> textEditPanel;
    std::unique_ptr<juce::ImageButton> mod1SourceButton;
    std::unique_ptr<juce::ImageButton> mod2SourceButton;
    std::unique_ptr<juce::Label> clipLabel;
    std::unique_ptr<juce::Slider> bpmSlider;
    std::unique_ptr<juce::Label> sequencerLabel;
    std::unique_ptr<juce::Slider> tapeDepthSlider;
    std::unique_ptr<juce::Label> tapeDepthLabel;
    std::unique_ptr<juce::Slider> tapeRotationSlider;
    std::unique_ptr<juce::Label> tapeRotationLabel;
    std::unique_ptr<BlinkingLed> tapeLed;
    std::unique_ptr<BlinkingLed> clipLed;
    std::unique_ptr<juce::Slider> srReducSlider;
    std::unique_ptr<juce::Label> srReducLabel;
    std::unique_ptr<juce::ToggleButton> crushOnToggle;
    std::unique_ptr<juce::ToggleButton> tapeOnToggle;
    std::unique_ptr<juce::ToggleButton> noiseOnToggle;
    std::unique_ptr<juce::ToggleButton> filterOnToggle;
    std::unique_ptr<BlinkingLed> stepLed1, stepLed2, stepLed3, stepLed4, stepLed5, stepLed6, stepLed7, stepLed8;
    std::unique_ptr<juce::Slider> lowCutSlider;
    std::unique_ptr<juce::Label> lowCutLabel;
    std::unique_ptr<juce::Slider> highCutSlider;
    std::unique_ptr<juce::Label> highCutLabel;
    std::unique_ptr<juce::Slider> saturationSlider;
    std::unique_ptr<juce::Label> saturationLabel;
    std::unique_ptr<juce::Slider> noiseFiltSlider;
    std::unique_ptr<juce::Label> noiseFiltLabel;
    std::unique_ptr<juce::ImageButton> stepButton1;
    std::unique_ptr<juce::TextButton> startButton;
    std::unique_ptr<juce::TextButton> saveButton;
    std::unique_ptr<juce::ImageButton> stepButton2, stepButton3, stepButton4, stepButton5, stepButton6, stepButton7, stepButton8;
    std::unique_ptr<ComboBox_IgnoreKeys> barsCombo;
    std::unique_ptr<juce::TextButton> dawButton;
    std::unique_ptr<BlinkingLed> recordLed;
    std::unique_ptr<juce::Label> bpmLabel;
    std::unique_ptr<juce::Label> filterTitleLabel;
    std::unique_ptr<juce::Label> tapeTitleLabel;
    std::unique_ptr<juce::Label> noiseTitleLabel;
    std::unique_ptr<BlinkingLed> sequencerLed;
    std::unique_ptr<BlinkingLed> outputLed;
    std::unique_ptr<BlinkingLed> side1Led;
    std::unique_ptr<BlinkingLed> side2Led;

private:
    // The name entry is created early, below controls placed over it; whenever
    // it is shown it is brought to the front so nothing covers it.
    struct FrontWhenShown : juce::ComponentListener
    {
        void componentVisibilityChanged (juce::Component&) override;
    };

    // Handles the name typed into the name entry.
    void presetNameEntered (TextEditPanel*, int result, juce::String text);

    FrontWhenShown textEditPanelRaiser;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ControlPanel)
};
