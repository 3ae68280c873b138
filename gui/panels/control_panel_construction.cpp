#include "control_panel_design.h"

#include "../common/EmbeddedResources.h"
#include "../common/LabelFonts.h"

namespace control_panel_design
{
namespace
{
    //============================================================================== knobs
    struct Knob
    {
        Member<juce::Slider> slider;
        const char* name;
        double minimum, maximum, interval;
        double skew;            // 1: linear, no skew set
        int textBoxHeight;
    };

    const Knob knobs[] = {
        { &P::lowCutSlider,       "slider",               50.0, 20000.0, 0.1,  0.2,  14 },
        { &P::highCutSlider,      "right_is_zero_slider", 50.0, 20000.0, 0.1,  0.3,  14 },
        { &P::srReducSlider,      "attack slider",        1.0,  50.0,    0.1,  1.0,  16 },
        { &P::tapeDepthSlider,    "slider",               0.0,  100.0,   0.1,  1.0,  16 },
        { &P::tapeRotationSlider, "lookahead slider",     0.0,  20.0,    0.1,  0.45, 16 },
        { &P::noiseMixSlider,     "slider",               0.0,  100.0,   0.1,  0.35, 16 },
        { &P::noiseFiltSlider,    "slider",               50.0, 20000.0, 0.1,  0.3,  14 },
        { &P::clipSlider,         "slider",               0.0,  60.0,    0.1,  1.0,  16 },
        { &P::bitsSlider,         "attack slider",        1.0,  24.0,    1.0,  1.0,  16 },
        { &P::saturationSlider,   "slider",               0.0,  100.0,   0.1,  0.35, 14 },
        { &P::mod1DepthSlider,    "slider",               0.0,  100.0,   0.1,  0.3,  16 },
        { &P::lfo1RateSlider,     "lookahead slider",     0.0,  40.0,    0.01, 0.25, 16 },
        { &P::mod2DepthSlider,    "slider",               0.0,  100.0,   0.1,  0.3,  16 },
        { &P::lfo2RateSlider,     "lookahead slider",     0.0,  40.0,    0.1,  0.25, 16 },
        { &P::bpmSlider,          "ratio slider",         0.0,  1000.0,  0.1,  0.35, 16 },   // the tempo parameter ends at 1000
        { &P::dryWetSlider,       "slider",               0.0,  100.0,   0.1,  1.0,  16 },
    };

    // Knobs that a double-click (or alt-click) returns to a value, in the order set.
    const std::pair<Member<juce::Slider>, double> doubleClickValues[] = {
        { &P::clipSlider,       0.0 },
        { &P::bitsSlider,       24.0 },
        { &P::noiseMixSlider,   0.0 },
        { &P::saturationSlider, 0.0 },
        { &P::lowCutSlider,     0.0 },      // below the range: lands on 50
        { &P::highCutSlider,    20000.0 },
    };

    //============================================================================== labels
    using page_children::Caption;
    using page_children::centred;
    using page_children::centredLeft;
    using page_children::centredRight;

    const Caption<ControlPanel> captions[] = {
        { &P::filterTitleLabel,  "FILTER",        17.0f, centred },
        { &P::tapeTitleLabel,    "TAPE",          17.0f, centred },
        { &P::noiseTitleLabel,   "NOISE",         17.0f, centred },
        { &P::crushTitleLabel,   "CRUSH",         17.0f, centred },
        { &P::lowCutLabel,       "LOW CUT",       17.0f, centred },
        { &P::highCutLabel,      "HIGH CUT",      17.0f, centred },
        { &P::srReducLabel,      "SR REDUC",      17.0f, centred },
        { &P::tapeDepthLabel,    "TAPE DEPTH",    17.0f, centred },
        { &P::tapeRotationLabel, "TAPE ROTATION", 17.0f, centred },
        { &P::noiseMixLabel,     "NOISE MIX",     17.0f, centred },
        { &P::noiseFiltLabel,    "NOISE FILT",    17.0f, centred },
        { &P::clipLabel,         "CLIP",          17.0f, centred },
        { &P::bitsLabel,         "BITS",          17.0f, centred },
        { &P::saturationLabel,   "SATURATION",    17.0f, centred },
        { &P::mod1Label,         "MODULATION 1",  17.0f, centred },
        { &P::mod2Label,         "MODULATION 2",  17.0f, centred },
        { &P::sequencerLabel,    "SEQUENCER",     17.0f, centred },
        { &P::dryWetLabel,       "DRY-WET",       17.0f, centred },
        { &P::lfo1RateLabel,     "LFO1",          16.0f, centredRight },
        { &P::lfo2RateLabel,     "LFO2",          16.0f, centredRight },
        { &P::mod1DestLabel,     "DESTINATION",   16.0f, centredLeft },
        { &P::mod2DestLabel,     "DESTINATION",   16.0f, centredLeft },
        { &P::lfo1X10Label,      "X10",           12.0f, centredRight },
        { &P::lfo2X10Label,      "X10",           12.0f, centredRight },
        { &P::bpmLabel,          "BPM",           12.0f, centredLeft },
    };

    //============================================================================== buttons
    template <typename T>
    struct ButtonRow
    {
        Member<T> button;
        const char* name;
        const char* text;       // null: no text set
    };

    const ButtonRow<juce::TextButton> textButtons[] = {
        { &P::advancedButton, "adv btn", "ADVANCED" },
        { &P::weightButton,   "btn",     "W" },
        { &P::helpButton,     "btn",     "?" },
        { &P::startButton,    "btn",     "START" },
        { &P::saveButton,     "btn",     "SAVE" },
        { &P::dawButton,      "btn",     "DAW" },
    };

    // Image buttons without pictures show what lies below them (the step LEDs);
    // the source buttons get their waveform picture from the refresh.
    const ButtonRow<juce::ImageButton> imageButtons[] = {
        { &P::logoButton,       "ZorvaluneBtn", "new button" },
        { &P::mod1SourceButton, "new button",   nullptr },
        { &P::mod2SourceButton, "new button",   nullptr },
        { &P::stepButton1,      "new button",   nullptr },
        { &P::stepButton2,      "new button",   nullptr },
        { &P::stepButton3,      "new button",   nullptr },
        { &P::stepButton4,      "new button",   nullptr },
        { &P::stepButton5,      "new button",   nullptr },
        { &P::stepButton6,      "new button",   nullptr },
        { &P::stepButton7,      "new button",   nullptr },
        { &P::stepButton8,      "new button",   nullptr },
    };

    void setNormalImage (juce::ImageButton& button, const juce::Image& normal)
    {
        const auto none = juce::Colour (0x00000000);
        button.setImages (false, true, true,
                          normal, 1.0f, none,
                          {}, 1.0f, none,
                          {}, 1.0f, none);
    }

    //============================================================================== combo boxes
    struct Item { const char* text; int id; };

    const Item destinationItems[] = {
        { "Off", 1 }, { "Tape Rotation", 6 }, { "Tape Depth", 7 }, { "Noise Ampl", 2 },
        { "Saturation", 8 }, { "Clip Mix", 3 }, { "Input Ampl", 5 }, { "Input Ring", 4 },
    };

    // id - 1 is the beat-fraction key of the length.
    const Item syncItems[] = {
        { "Free", 1 }, { "4 bars", 2 }, { "3 bars", 3 }, { "2 bars", 4 }, { "1 bar", 5 },
        { "1/2 d", 6 }, { "1/2", 7 }, { "1/4 d", 8 }, { "1/4", 9 }, { "1/8 d", 11 },
        { "1/8", 12 }, { "1/16 d", 14 }, { "1/16", 15 },
    };

    const Item barsItems[] = {
        { "4 bars", 2 }, { "3 bars", 3 }, { "2 bars", 4 }, { "1 bar", 5 }, { "1/2 d", 6 },
        { "1/2", 7 }, { "1/4 d", 8 }, { "1/4", 9 }, { "1/8 d", 11 }, { "1/8", 12 },
        { "1/16 d", 14 }, { "1/16", 15 }, { "1/32", 18 },
    };

    struct Combo
    {
        Member<ComboBox_IgnoreKeys> combo;
        const char* name;
        const char* textWhenNothingSelected;
    };

    const Combo combos[] = {
        { &P::presetsCombo,  "presets_combo", "Presets" },
        { &P::mod1DestCombo, "mixmode combo", "" },
        { &P::mod2DestCombo, "mixmode combo", "" },
        { &P::lfo1SyncCombo, "mixmode combo", "" },
        { &P::lfo2SyncCombo, "mixmode combo", "" },
        { &P::barsCombo,     "mixmode combo", "" },
    };

    struct ItemList
    {
        Member<ComboBox_IgnoreKeys> combo;
        const Item* items;
        size_t count;
    };

    template <size_t N>
    constexpr ItemList itemList (Member<ComboBox_IgnoreKeys> combo, const Item (&items)[N]) { return { combo, items, N }; }

    // The preset menu is built by the preset code.
    const ItemList itemLists[] = {
        itemList (&P::mod1DestCombo, destinationItems),
        itemList (&P::mod2DestCombo, destinationItems),
        itemList (&P::lfo1SyncCombo, syncItems),
        itemList (&P::lfo2SyncCombo, syncItems),
        itemList (&P::barsCombo,     barsItems),
    };

    //============================================================================== LEDs
    struct LedLook
    {
        Member<BlinkingLed> led;
        BlinkingLed::LedColors colour;
        int blinkPeriodMs;      // 0: the lamp's own default
        bool switchOn;
    };

    // LEDs not listed stay cyan, lit, 500 ms.
    const LedLook ledLooks[] = {
        { &P::lfo1Led,      BlinkingLed::ledAmber, 0,   false },
        { &P::clipLed,      BlinkingLed::ledRed,   0,   false },
        { &P::tapeLed,      BlinkingLed::ledGreen, 0,   false },
        { &P::recordLed,    BlinkingLed::ledRed,   200, false },
        { &P::sequencerLed, BlinkingLed::ledGreen, 250, false },
        { &P::outputLed,    BlinkingLed::ledRed,   0,   false },
        { &P::side1Led,     BlinkingLed::ledAmber, 0,   true },
        { &P::side2Led,     BlinkingLed::ledCyan,  0,   true },
    };
}

//============================================================================== settings by kind
void configure (ControlPanel& panel, juce::Slider& slider)
{
    const auto* knob = page_children::rowFor (panel, knobs, &Knob::slider, &slider);
    jassert (knob != nullptr);

    slider.setName (knob->name);
    slider.setRange (knob->minimum, knob->maximum, knob->interval);
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 50, knob->textBoxHeight);
    slider.addListener (&panel);

    if (knob->skew != 1.0)
        slider.setSkewFactor (knob->skew);
}

void configure (ControlPanel& panel, juce::Label& label)
{
    page_children::setUpCaption (panel, captions, label);
}

void configure (ControlPanel& panel, juce::TextButton& button)
{
    const auto* row = page_children::rowFor (panel, textButtons, &ButtonRow<juce::TextButton>::button, &button);
    jassert (row != nullptr);

    button.setName (row->name);
    button.setButtonText (TRANS (row->text));
    button.addListener (&panel);
    button.setColour (juce::TextButton::buttonColourId, juce::Colour (0x00000000));
    button.setColour (juce::TextButton::buttonOnColourId, juce::Colour (0x19000000));
}

void configure (ControlPanel& panel, juce::ImageButton& button)
{
    const auto* row = page_children::rowFor (panel, imageButtons, &ButtonRow<juce::ImageButton>::button, &button);
    jassert (row != nullptr);

    button.setName (row->name);

    if (row->text != nullptr)
        button.setButtonText (TRANS (row->text));

    button.addListener (&panel);
    setNormalImage (button, {});
}

void configure (ControlPanel& panel, juce::ToggleButton& toggle)
{
    // Toggles draw only their on/off picture.
    toggle.setName ("sat button");
    toggle.setButtonText ({});
    toggle.addListener (&panel);
}

void configure (ControlPanel& panel, ComboBox_IgnoreKeys& comboBox)
{
    const auto* combo = page_children::rowFor (panel, combos, &Combo::combo, &comboBox);
    jassert (combo != nullptr);

    comboBox.setName (combo->name);
    comboBox.setEditableText (false);
    comboBox.setJustificationType (juce::Justification::centredLeft);
    comboBox.setTextWhenNothingSelected (TRANS (combo->textWhenNothingSelected));
    comboBox.setTextWhenNoChoicesAvailable (TRANS ("(no choices)"));
    comboBox.addListener (&panel);
}

void configure (ControlPanel&, BlinkingLed& led)
{
    led.setName ("new component");
}

void configure (ControlPanel&, TextEditPanel& entry)
{
    entry.setName ("new component");
}
}

//============================================================================== construction
ControlPanel::ControlPanel (ZorvaluneAudioProcessor& p)
    : processor (p),
      stepLeds { &stepLed1, &stepLed2, &stepLed3, &stepLed4, &stepLed5, &stepLed6, &stepLed7, &stepLed8 }
{
    using namespace control_panel_design;

    for (auto& c : children)
        c.create (*this);

    for (auto& list : itemLists)
    {
        auto& combo = *(this->*list.combo);
        combo.clear (juce::dontSendNotification);

        for (size_t i = 0; i < list.count; ++i)
            combo.addItem (list.items[i].text, list.items[i].id);
    }

    setLookAndFeel (&popupLookAndFeel);

    weightButton->setClickingTogglesState (true);
    advancedButton->setClickingTogglesState (true);

    for (auto& [slider, value] : doubleClickValues)
        (this->*slider)->setDoubleClickReturnValue (true, value);

    advancedBackdrop = std::make_unique<juce::Label> (juce::String(), juce::String());
    addChildComponent (*advancedBackdrop);
    advancedBackdrop->setColour (juce::Label::backgroundColourId, juce::Colour (0x807d6432));

    advancedPanel = std::make_unique<AdvancedPanel1> (processor);
    addChildComponent (*advancedPanel);
    advancedPanel->setBounds (45, 80, advancedPanel->getWidth(), advancedPanel->getHeight() + 5);

    weightPanel = std::make_unique<WeightPanel> (processor);
    addChildComponent (*weightPanel);
    weightPanel->setBounds (45, 140, weightPanel->getWidth(), weightPanel->getHeight() + 5);

    setNormalImage (*logoButton, EmbeddedResources::loadImage (EmbeddedResources::wordmark));

    for (size_t i = 0; i < modSourceImages.size(); ++i)
        modSourceImages[i] = EmbeddedResources::loadImage (EmbeddedResources::modSourceWaveforms[i]);

    textEditPanel->setVisible (false);
    textEditPanel->addComponentListener (&textEditPanelRaiser);
    textEditPanel->resultCallback = [this] (TextEditPanel* entry, int result, juce::String text)
    {
        presetNameEntered (entry, result, std::move (text));
    };
    textEditPanel->textEditor->setText ("my best preset ever", true);

    setSize (800, 600);

    advancedBackdrop->setBounds (0, 80, getWidth(), getHeight() - 80);

    // The design font heights; the first layout above ran before this was
    // filled, so these are the constructed sizes.
    LabelFonts::recordDesignHeights (*this, labelSizes);

    for (auto& look : ledLooks)
    {
        auto& led = *(this->*look.led);
        led.setLedColor (look.colour);

        if (look.blinkPeriodMs != 0)
            led.blinkPeriodMs = look.blinkPeriodMs;

        if (look.switchOn)
            led.setLedState (BlinkingLed::ledOn);
    }

    update_UI();

    startTimer (refreshPeriodMs);
}

void ControlPanel::FrontWhenShown::componentVisibilityChanged (juce::Component& component)
{
    if (component.isVisible())
        component.toFront (false);
}
