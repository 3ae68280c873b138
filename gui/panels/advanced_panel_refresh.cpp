#include "advanced_panel_design.h"
#include "ControlPanel.h"
#include "../../engine/safe_convert.h"

using namespace advanced_panel_design;

namespace
{
    // trunc (value x 10): the item a selector parameter stands for.
    int tenths (float normalised) { return truncToInt (normalised * 10.0f); }

    // The source's side-chain slot, its caption and link LED show only while
    // it exchanges audio through a slot; a source without an item shows none.
    void showSource (AdvancedPanel1& page, int slot)
    {
        const auto s = sourceSlot (page, slot);
        const int source = s.source.load();
        const bool linked = usesSideChainSlot (source);

        s.channelCombo.setVisible (linked);
        s.channelLabel.setVisible (linked);
        s.linkLed.setVisible (linked);

        if (linked)
            s.channelCombo.setSelectedId (s.sideChainSlot.load() + 1, juce::dontSendNotification);

        if (source != s.sourceCombo.getSelectedId() - 1)
            s.sourceCombo.setSelectedId (source + 1, juce::dontSendNotification);
    }

    // What a receiving link reports: cyan for an exact or no match, amber for
    // a near one (blinking when found by stepping back or taken from a full
    // queue), red for a block too short. A send status standing from before a
    // source change leaves the state.
    void showLinkStatus (int status, BlinkingLed& led)
    {
        led.setLedColor (BlinkingLed::ledCyan);

        switch (status)
        {
            case 0: led.setLedState (BlinkingLed::ledOff); break;
            case 1: led.setLedState (BlinkingLed::ledOn); break;

            case 2:
                led.setLedColor (BlinkingLed::ledAmber);
                led.setLedState (BlinkingLed::ledOn);
                break;

            case 3:
            case 4:
                led.setLedState (BlinkingLed::ledBlinking);
                led.setLedColor (BlinkingLed::ledAmber);
                break;

            case 8:
                led.setLedState (BlinkingLed::ledOn);
                led.setLedColor (BlinkingLed::ledRed);
                break;

            default:
                break;
        }

        led.setVisible (true);
    }

    // A sending link: cyan while the slot's queue has room, amber once it is
    // full (nobody takes what is sent), off when nothing was sent.
    void showSendStatus (int status, BlinkingLed& led)
    {
        led.setLedColor (BlinkingLed::ledCyan);

        if (status == 5)
        {
            led.setLedState (BlinkingLed::ledOn);
        }
        else if (status == 7)
        {
            led.setLedColor (BlinkingLed::ledAmber);
            led.setLedState (BlinkingLed::ledOn);
        }
        else
        {
            led.setLedState (BlinkingLed::ledOff);
        }

        led.setVisible (true);
    }
}

//============================================================================== refresh
void AdvancedPanel1::update_UI()
{
    midiChannelCombo->setSelectedId (processor.midi_progr_change_channel.load() + 2, juce::dontSendNotification);
    midiProgChangeModeCombo->setSelectedId (processor.midi_progr_change_mode.load() + 1, juce::dontSendNotification);

    for (auto& knob : knobs)
        (this->*knob.slider)->setValue (processor.getParameterValue (knob.parameter), juce::dontSendNotification);

    showSource (*this, 1);
    showSource (*this, 2);

    for (auto& s : parameterSelectors)
        (this->*s.combo)->setSelectedId (tenths (processor.parameterValues[(size_t) s.parameter].load()) + 1,
                                         juce::dontSendNotification);

    ccEnableToggle->setToggleState (processor.midi_CC_receive_mode.load() != 0, juce::dontSendNotification);
    lowCutToggle->setToggleState (truncToInt (processor.getParameter (parameter_table::noiseLowcutOn)) != 0,
                                  juce::dontSendNotification);

    update_dependant_UI (0);
}

void AdvancedPanel1::update_dependant_UI (int fromParent)
{
    const int filterType = tenths (processor.parameterValues[parameter_table::noiseFilterType].load());
    const bool sending = processor.mod1Source.load() == sideChainSend;

    // While modulation 1 sends its side chain, the settings that shape it stay as they are.
    for (auto* child : getChildren())
        if (auto* knob = dynamic_cast<juce::Slider*> (child))
            knob->setEnabled (! sending);

    filterQSlider->setEnabled (filterType == bandPass || filterType == notch);

    if (fromParent == 0)
        if (auto* controlPanel = dynamic_cast<ControlPanel*> (getParentComponent()))
            controlPanel->update_dependant_UI();
}

//============================================================================== LEDs
void AdvancedPanel1::timerCallback()
{
    auto slot1 = sourceSlot (*this, 1);
    const int source1 = slot1.source.load();

    if (source1 == sideChainSend)
        showSendStatus (slot1.linkStatus.load(), slot1.linkLed);
    else if (source1 == sideChainReceive)
        showLinkStatus (slot1.linkStatus.load(), slot1.linkLed);
    else
    {
        slot1.linkLed.setLedState (BlinkingLed::ledOff);
        slot1.linkLed.setVisible (false);
    }

    // The second source cannot send; its LED otherwise follows the refresh alone.
    auto slot2 = sourceSlot (*this, 2);

    if (slot2.source.load() == sideChainReceive)
        showLinkStatus (slot2.linkStatus.load(), slot2.linkLed);

    // Whichever of the pages' LEDs looks first takes the overloads counted since.
    clipLed->setLedState (processor.outputOverloadCount.exchange (0) > 0 ? BlinkingLed::ledOn : BlinkingLed::ledOff);
}
