#include "control_panel_bindings.h"

#include "advanced_panel_design.h"
#include "edit_protocol.h"
#include "help_document.h"
#include "../../platform/document_opener.h"
#include "../../platform/system_text.h"
#include "../../presets/factory_presets.h"

using namespace control_panel_bindings;
using namespace parameter_table;
using control_panel_design::getChild;

//============================================================================== shared data
const std::vector<Section>& control_panel_bindings::sections()
{
    static const std::vector<Section> all {
        { &P::tapeOnToggle, tapeOn,
          { getChild<&P::tapeRotationSlider>, getChild<&P::tapeDepthSlider>, getChild<&P::tapeLed>,
            getChild<&P::tapeRotationLabel>, getChild<&P::tapeDepthLabel> } },
        { &P::filterOnToggle, inFiltersOn,
          { getChild<&P::highCutSlider>, getChild<&P::lowCutSlider>, getChild<&P::srReducSlider>,
            getChild<&P::lowCutLabel>, getChild<&P::highCutLabel>, getChild<&P::srReducLabel> } },
        { &P::crushOnToggle, crushOn,
          { getChild<&P::bitsSlider>, getChild<&P::clipSlider>, getChild<&P::saturationSlider>,
            getChild<&P::clipLabel>, getChild<&P::bitsLabel>, getChild<&P::saturationLabel> } },
        { &P::noiseOnToggle, noiseOn,
          { getChild<&P::noiseMixSlider>, getChild<&P::noiseFiltSlider>, getChild<&P::noiseMixLabel>,
            getChild<&P::noiseFiltLabel> } },
    };

    return all;
}

ModulationSlot control_panel_bindings::modulationSlot (ControlPanel& p, int slot)
{
    auto& a = p.processor;

    if (slot == 1)
        return { *p.lfo1RateSlider, *p.lfo1RateLabel, *p.lfo1Led, *p.side1Led, *p.lfo1X10Toggle, *p.lfo1X10Label,
                 *p.lfo1SyncCombo, *p.mod1DestCombo, *p.mod1SourceButton, p.lfo1X10, p.lfo1LedCountdown,
                 a.mod1Source, a.mod1Destination, a.lfo1Hz, a.lfo1SyncIndex, a.mod1DisplayValue,
                 lfo1Freq, sideGain1, lfo1x10, mod1Dest, &ZorvaluneAudioProcessor::setMod1Source, "LFO1" };

    return { *p.lfo2RateSlider, *p.lfo2RateLabel, *p.lfo2Led, *p.side2Led, *p.lfo2X10Toggle, *p.lfo2X10Label,
             *p.lfo2SyncCombo, *p.mod2DestCombo, *p.mod2SourceButton, p.lfo2X10, p.lfo2LedCountdown,
             a.mod2Source, a.mod2Destination, a.lfo2Hz, a.lfo2SyncIndex, a.mod2DisplayValue,
             lfo2Freq, sideGain2, lfo2x10, mod2Dest, &ZorvaluneAudioProcessor::setMod2Source, "LFO2" };
}

void control_panel_bindings::armDryWetDoubleClick (juce::Slider& dryWet)
{
    const double v = dryWet.getValue();

    if (v == 0.0 || v == 100.0)
        dryWet.setDoubleClickReturnValue (true, 100.0 - v, juce::ModifierKeys::altModifier);
}

namespace
{
    const Knob* knobFor (const ControlPanel& panel, const juce::Component* slider)
    {
        return page_children::rowFor (panel, knobs, &Knob::slider, slider);
    }

    //========================================================================== knobs
    void rateKnobMoved (ControlPanel& panel, int slot, float v)
    {
        auto s = modulationSlot (panel, slot);

        if (rateKnobSetsSideGain (s.source.load()))
        {
            edit_protocol::writeInUnits (panel.processor, s.sideGainParameter, v);
            return;
        }

        s.hz = v;
        edit_protocol::writeInUnits (panel.processor, s.rateParameter, v);

        // Turning the knob leaves the tempo lock.
        s.syncIndex = 0;
        s.syncCombo.setSelectedId (1, juce::dontSendNotification);
    }

    void knobMoved (ControlPanel& panel, const Knob& knob, juce::Slider& slider)
    {
        auto& processor = panel.processor;
        const float v = (float) slider.getValue();

        switch (knob.role)
        {
            case KnobRole::lfo1Rate: rateKnobMoved (panel, 1, v); return;
            case KnobRole::lfo2Rate: rateKnobMoved (panel, 2, v); return;

            case KnobRole::sequencerTempo:
                processor.tempoBpm = v;
                processor.calc_delay_times();
                break;

            case KnobRole::plain:
            case KnobRole::modulationDepth:
            case KnobRole::dryWet:
                break;
        }

        edit_protocol::writeInUnits (processor, knob.parameter, v);

        if (knob.role == KnobRole::dryWet)
            armDryWetDoubleClick (slider);
    }

    //========================================================================== buttons
    void advancedClicked (ControlPanel& p, bool on)
    {
        if (on)
        {
            p.advancedBackdrop->setVisible (true);
            p.advancedPanel->setVisible (true);
            p.weightPanel->setVisible (false);
            return;
        }

        // While modulation 1 sends its side chain the page stays, with its link LEDs.
        if (p.processor.mod1Source.load() == 6)
            return;

        p.advancedBackdrop->setVisible (false);
        p.advancedPanel->setVisible (false);
    }

    void startOpening (ControlPanel& p, juce::Component& button, const juce::String& target, const juce::String& failure)
    {
        p.openingButton = &button;
        p.openingFailure = failure;
        p.opening = target.isNotEmpty() ? platform::document_opener::open (target)
                                        : std::make_unique<platform::document_opener::Opening> (
                                              platform::document_opener::Opening::Outcome::failed);
        checkOpening (p);
    }

    void helpClicked (ControlPanel& p, bool)
    {
        const auto binary = platform::system_text::loadedFile().value_or (juce::File());
        const auto document = helpDocumentFor (p.processor.wrapperType, binary);

        startOpening (p, *p.helpButton, document.existsAsFile() ? document.getFullPathName() : juce::String(),
                      document.existsAsFile() ? "Nothing could open the help document\n" + document.getFullPathName()
                                              : juce::String ("The help document is not installed."));
    }

    void logoClicked (ControlPanel& p, bool)
    {
        startOpening (p, *p.logoButton, JucePlugin_ManufacturerWebsite,
                      "Nothing could open " + juce::String (JucePlugin_ManufacturerWebsite));
    }

    template <int slot>
    void x10Switched (ControlPanel& p, bool on)
    {
        auto s = modulationSlot (p, slot);
        s.x10 = on ? 1 : 0;
        edit_protocol::write (p.processor, s.x10Parameter, on ? 1.0f : 0.0f);

        if (slot == 1)
            p.update_LFO1_slider();
        else
            p.update_LFO2_slider();
    }

    // Steps through the four LFO waveforms; any other source goes to the sine.
    template <int slot>
    void sourceStepped (ControlPanel& p, bool)
    {
        auto s = modulationSlot (p, slot);
        const int source = s.source.load();
        (p.processor.*s.setSource) ((unsigned) source < 3u ? source + 1 : 0);
    }

    template <int parameter>
    void sectionSwitched (ControlPanel& p, bool on)
    {
        edit_protocol::write (p.processor, parameter, on ? 1.0f : 0.0f);
        p.update_dependant_UI();
    }

    template <int step>
    void stepPushed (ControlPanel& p, bool) { p.processor.sequencerStepBtnPushed (step); }

    void startClicked (ControlPanel& p, bool)
    {
        const bool on = p.processor.getParameter (seqOn) > 0.5f;
        const bool start = ! on || sequencerMode (p.processor) == 0;

        edit_protocol::write (p.processor, seqOn, start ? 1.0f : 0.0f);
        p.startButton->setButtonText (start ? "STOP" : "START");
    }

    void saveClicked (ControlPanel& p, bool) { p.processor.sequencerSaveBtnPushed(); }

    // The host's tempo becomes the sequencer's and the locked LFO rates'.
    void dawClicked (ControlPanel& p, bool)
    {
        const float bpm = p.processor.hostBpm.load();
        p.processor.tempoBpm = bpm;
        p.processor.calc_delay_times();
        edit_protocol::writeInUnits (p.processor, seqBpm, bpm);
        p.update_UI();
    }

    struct ButtonBinding
    {
        juce::Component* (*button) (const ControlPanel&);
        void (*clicked) (ControlPanel&, bool toggleState);
    };

    // The weight button does nothing.
    const ButtonBinding buttonBindings[] = {
        { getChild<&P::advancedButton>,   advancedClicked },
        { getChild<&P::logoButton>,       logoClicked },
        { getChild<&P::helpButton>,       helpClicked },
        { getChild<&P::lfo1X10Toggle>,    x10Switched<1> },
        { getChild<&P::lfo2X10Toggle>,    x10Switched<2> },
        { getChild<&P::mod1SourceButton>, sourceStepped<1> },
        { getChild<&P::mod2SourceButton>, sourceStepped<2> },
        { getChild<&P::crushOnToggle>,    sectionSwitched<crushOn> },
        { getChild<&P::tapeOnToggle>,     sectionSwitched<tapeOn> },
        { getChild<&P::noiseOnToggle>,    sectionSwitched<noiseOn> },
        { getChild<&P::filterOnToggle>,   sectionSwitched<inFiltersOn> },
        { getChild<&P::stepButton1>,      stepPushed<0> },
        { getChild<&P::stepButton2>,      stepPushed<1> },
        { getChild<&P::stepButton3>,      stepPushed<2> },
        { getChild<&P::stepButton4>,      stepPushed<3> },
        { getChild<&P::stepButton5>,      stepPushed<4> },
        { getChild<&P::stepButton6>,      stepPushed<5> },
        { getChild<&P::stepButton7>,      stepPushed<6> },
        { getChild<&P::stepButton8>,      stepPushed<7> },
        { getChild<&P::startButton>,      startClicked },
        { getChild<&P::saveButton>,       saveClicked },
        { getChild<&P::dawButton>,        dawClicked },
    };

    //========================================================================== combo boxes
    // Stored straight into the processor: the host is not told. Every
    // channel's oscillators restart with the new routing at the next block.
    template <int slot>
    void destinationChosen (ControlPanel& p, int id)
    {
        if (id < 1)
            return;     // nothing picked: the menu shows a code it does not offer

        auto s = modulationSlot (p, slot);
        const int destination = id - 1;

        s.destination = destination;
        p.processor.parameterValues[(size_t) s.destinationParameter].exchange ((float) destination / 100.0f);
        p.processor.requestOscillatorRestart();
        ++p.processor.channelResetCount;
        p.update_dependant_UI();
    }

    float beatsOf (int key)
    {
        const auto it = sBeatFractions.find (key);
        return it != sBeatFractions.end() ? it->second : 0.0f;
    }

    // A beat fraction locks the LFO to the sequencer tempo once there is one.
    template <int slot>
    void syncChosen (ControlPanel& p, int id)
    {
        auto s = modulationSlot (p, slot);
        s.syncIndex = id - 1;

        if (id != 1)
        {
            const float beats = beatsOf (id - 1);
            const float tempo = p.processor.tempoBpm.load();

            if (beats > 0.0f && tempo > 0.0f)
            {
                s.hz = tempo / 60.0f / beats;
                edit_protocol::writeInUnits (p.processor, s.rateParameter, s.hz.load());
            }
        }

        s.rateSlider.setValue (s.hz.load(), juce::dontSendNotification);
    }

    // The step length key is the item id - 1.
    void barsChosen (ControlPanel& p, int id)
    {
        edit_protocol::write (p.processor, seqNrBars, (float) (id - 1) / 100.0f);
    }

    struct ComboBinding
    {
        Member<ComboBox_IgnoreKeys> combo;
        void (*chosen) (ControlPanel&, int id);
    };

    const ComboBinding comboBindings[] = {
        { &P::mod1DestCombo, destinationChosen<1> },
        { &P::mod2DestCombo, destinationChosen<2> },
        { &P::lfo1SyncCombo, syncChosen<1> },
        { &P::lfo2SyncCombo, syncChosen<2> },
        { &P::barsCombo,     barsChosen },
        { &P::presetsCombo,  presetChosen },
    };
}

void control_panel_bindings::checkOpening (ControlPanel& p)
{
    using Outcome = platform::document_opener::Opening::Outcome;

    if (p.opening == nullptr)
        return;

    const auto outcome = p.opening->poll();

    if (outcome == Outcome::pending)
        return;

    p.opening.reset();

    if (outcome != Outcome::opened)
        tellFailure (p, *p.openingButton, p.openingFailure);
}

void control_panel_bindings::tellFailure (ControlPanel& p, juce::Component& by, const juce::String& failure)
{
    auto& bubble = p.failureBubble;

    if (bubble == nullptr)
    {
        bubble = std::make_unique<juce::BubbleMessageComponent>();
        bubble->setColour (juce::BubbleComponent::backgroundColourId, juce::Colour (0xfff0f0f0));
        bubble->setColour (juce::BubbleComponent::outlineColourId, juce::Colour (0xff783232));
        p.addChildComponent (*bubble);
    }

    juce::AttributedString text (failure);
    text.setColour (juce::Colours::black);
    text.setFont (juce::Font (15.0f));
    bubble->toFront (false);
    bubble->showAt (&by, text, 6000);
}

//============================================================================== listener callbacks
void ControlPanel::sliderValueChanged (juce::Slider* slider)
{
    if (const auto* knob = knobFor (*this, slider))
        knobMoved (*this, *knob, *slider);
}

// The rate knobs bracket their writes with gestures for the rate, also while
// they set a side-chain gain.
void ControlPanel::sliderDragStarted (juce::Slider* slider)
{
    if (const auto* knob = knobFor (*this, slider))
        edit_protocol::beginGesture (processor, knob->parameter);
}

void ControlPanel::sliderDragEnded (juce::Slider* slider)
{
    const auto* knob = knobFor (*this, slider);

    if (knob == nullptr)
        return;

    edit_protocol::endGesture (processor, knob->parameter);

    if (knob->role == KnobRole::modulationDepth)
        edit_protocol::writeInUnits (processor, knob->parameter, (float) slider->getValue());
}

void ControlPanel::buttonClicked (juce::Button* button)
{
    if (const auto* binding = page_children::rowFor (*this, buttonBindings, &ButtonBinding::button, button))
        binding->clicked (*this, button->getToggleState());
}

void ControlPanel::comboBoxChanged (juce::ComboBox* combo)
{
    if (const auto* binding = page_children::rowFor (*this, comboBindings, &ComboBinding::combo, combo))
        binding->chosen (*this, combo->getSelectedId());
}

//============================================================================== host lookup
int ControlPanel::getControlParameterIndex (juce::Component& control)
{
    if (const auto* knob = knobFor (*this, &control))
        return knob->parameter;

    if (advancedPanel == nullptr)
        return -1;

    const auto* knob = advanced_panel_design::knobFor (*advancedPanel, &control);
    return knob != nullptr ? knob->parameter : -1;
}
