#include "control_panel_bindings.h"

using namespace control_panel_bindings;
using namespace parameter_table;

namespace
{
    bool isOn (ZorvaluneAudioProcessor& p, int index) { return p.getParameter (index) > 0.5f; }

    void setRateRange (juce::Slider& rate, int x10)
    {
        if (x10 != 0)
            rate.setRange (0.0, 400.0, 0.1);
        else
            rate.setRange (0.0, 40.0, 0.01);
    }

    void updateRateKnob (ControlPanel& panel, int slot)
    {
        auto s = modulationSlot (panel, slot);
        setRateRange (s.rateSlider, s.x10);
        s.rateSlider.setSkewFactor (s.x10 != 0 ? 1.0 : 0.3);
        s.rateSlider.setValue (s.hz.load(), juce::dontSendNotification);
        s.rateSlider.repaint();
    }

    void showRateKnob (ControlPanel& panel, int slot)
    {
        auto s = modulationSlot (panel, slot);

        if (rateKnobSetsSideGain (s.source.load()))
        {
            // The gain's range first, so a gain above the rate range is not cut.
            s.rateSlider.setRange (0.0, 60.0, 0.01);
            s.rateSlider.setValue (panel.processor.getParameterValue (s.sideGainParameter), juce::dontSendNotification);
            return;
        }

        s.x10 = isOn (panel.processor, s.x10Parameter) ? 1 : 0;
        s.x10Toggle.setToggleState (s.x10 != 0, juce::dontSendNotification);
        updateRateKnob (panel, slot);
    }

    // An LFO source shows its rate, sync, X10 and waveform; any other source
    // shows the side-chain gain and level.
    void presentSlot (ControlPanel& panel, int slot)
    {
        auto s = modulationSlot (panel, slot);
        const int source = s.source.load();
        const bool lfo = isPanelLfo (source);

        if (lfo)
            setRateRange (s.rateSlider, s.x10);
        else
            s.rateSlider.setRange (0.0, 60.0, 0.01);

        s.rateLabel.setText (lfo ? s.lfoName : "SIDE", juce::dontSendNotification);
        s.sideLed.setVisible (! lfo);

        for (juce::Component* c : { (juce::Component*) &s.x10Toggle, (juce::Component*) &s.x10Label,
                                    (juce::Component*) &s.syncCombo, (juce::Component*) &s.sourceButton })
            c->setVisible (lfo);

        if (lfo)
        {
            const auto none = juce::Colour (0x00000000);
            s.sourceButton.setImages (false, true, true,
                                      panel.modSourceImages[(size_t) source], 1.0f, none,
                                      {}, 1.0f, none, {}, 1.0f, none, 0.0f);
        }
        else
        {
            s.lfoLed.setLedState (BlinkingLed::ledOff);
        }
    }

    // Ticks between two toggles of a LED blinking at `hz`; saturates for a
    // rate near 0 instead of overflowing.
    int halfPeriodTicks (float hz, int tickMs)
    {
        return truncToInt ((double) truncToInt (1000.0 / (double) hz) * 0.5 / tickMs);
    }

    void blink (BlinkingLed& led, int& countdown, float hz, int tickMs)
    {
        if (hz >= 20.0f)
        {
            led.setLedState (BlinkingLed::ledOn);
            return;
        }

        // A rate that rose meanwhile shortens the wait at once.
        const int ticks = halfPeriodTicks (hz, tickMs);
        countdown = juce::jmin (countdown, ticks);

        if (countdown == 0)
        {
            led.setLedState (led.getLedState() == BlinkingLed::ledOff ? BlinkingLed::ledOn : BlinkingLed::ledOff);
            countdown = ticks;
        }
        else if (countdown > 0)
        {
            --countdown;
        }
    }

    void latch (BlinkingLed& led, std::atomic<int>& count)
    {
        led.setLedState (count.exchange (0) > 0 ? BlinkingLed::ledOn : BlinkingLed::ledOff);
    }

    struct LedLook
    {
        bool recolour;
        BlinkingLed::LedColors colour;
        BlinkingLed::LedStates state;
    };

    // Running: only the current step is lit. Stopped: the record targets red,
    // marked steps dim amber, the selected step lit.
    LedLook stepLook (ZorvaluneAudioProcessor& p, int k, bool modeOn, bool running, int current)
    {
        const int state = p.stepStates[k][0].load();
        const bool holdsSnapshot = p.stepSnapshots[k][seqStepSaved] > 0.5f;
        const auto lit = [&] (BlinkingLed::LedStates how)
        {
            return LedLook { true, state == 2 ? BlinkingLed::ledAmber
                                              : holdsSnapshot ? BlinkingLed::ledGreen : BlinkingLed::ledCyan, how };
        };
        const LedLook off { false, BlinkingLed::ledCyan, BlinkingLed::ledOff };

        if (! modeOn)
            return off;

        if (running)
            return current == k ? lit (BlinkingLed::ledOn) : off;

        if (p.stepStates[k][1].load() == p.stepSelectMark)
            return { true, BlinkingLed::ledRed, BlinkingLed::ledOn };

        if (state == 2)
            return lit (BlinkingLed::ledAlternate);

        return state == 1 ? lit (BlinkingLed::ledOn) : off;
    }

    // A code the menu does not offer shows as none. The parameter keeps what
    // the host set; a shown change restarts the oscillators with the new
    // routing, but the first showing, when the editor opens, is no change.
    void showDestination (ControlPanel& panel, int slot)
    {
        auto s = modulationSlot (panel, slot);
        auto& combo = s.destinationCombo;
        const int shown = combo.getSelectedId();
        const int id = s.destination.load() + 1;

        combo.setSelectedId (combo.indexOfItemId (id) >= 0 ? id : 0, juce::dontSendNotification);

        if (shown != 0 && combo.getSelectedId() != shown)
        {
            panel.processor.requestOscillatorRestart();
            ++panel.processor.channelResetCount;
        }
    }

    void setOpacity (juce::Component& c, float alpha) { c.setAlpha (juce::jlimit (0.0f, 1.0f, alpha)); }
}

//============================================================================== refresh
void ControlPanel::update_UI()
{
    // The advanced page stays up while modulation 1 sends its side chain.
    if (processor.mod1Source.load() == 6)
    {
        advancedBackdrop->setVisible (true);
        advancedPanel->setVisible (true);
        advancedButton->setToggleState (true, juce::dontSendNotification);
    }

    for (auto& knob : knobs)
        if (knob.role != KnobRole::lfo1Rate && knob.role != KnobRole::lfo2Rate)
            (this->*knob.slider)->setValue (processor.getParameterValue (knob.parameter), juce::dontSendNotification);

    armDryWetDoubleClick (*dryWetSlider);

    showRateKnob (*this, 1);
    showRateKnob (*this, 2);

    lfo1SyncCombo->setSelectedId (processor.lfo1SyncIndex.load() + 1, juce::dontSendNotification);
    lfo2SyncCombo->setSelectedId (processor.lfo2SyncIndex.load() + 1, juce::dontSendNotification);
    barsCombo->setSelectedId (truncToInt (processor.parameterValues[seqNrBars].load() * 100.0f + 0.5f) + 1,
                              juce::dontSendNotification);

    for (int slot : { 1, 2 })
        showDestination (*this, slot);

    for (auto& section : sections())
        (this->*section.toggle)->setToggleState (isOn (processor, section.parameter), juce::dontSendNotification);

    // The switch tells what a push will do, also after automation or a program.
    startButton->setButtonText (isOn (processor, seqOn) ? "STOP" : "START");

    advancedPanel->update_UI();
    weightPanel->update_UI();
    weightButton->setVisible (false);
    updateUserPresets();
}

void ControlPanel::update_dependant_UI()
{
    presentSlot (*this, 1);
    presentSlot (*this, 2);

    for (auto& section : sections())
    {
        const bool on = isOn (processor, section.parameter);

        for (auto* control : section.controls)
            control (*this)->setEnabled (on);
    }

    const bool modeOn = sequencerMode (processor) != 0;
    saveButton->setEnabled (modeOn);
    startButton->setEnabled (modeOn);

    advancedPanel->update_dependant_UI (1);
}

void ControlPanel::update_LFO1_slider() { updateRateKnob (*this, 1); }
void ControlPanel::update_LFO2_slider() { updateRateKnob (*this, 2); }

//============================================================================== LEDs
void ControlPanel::timerCallback()
{
    // The oscillators restarted: the rate LEDs start their blinking again with them.
    if (processor.channelResetCount.exchange (0) != 0)
    {
        lfo1LedCountdown = lfo2LedCountdown = 0;
        lfo1Led->setLedState (BlinkingLed::ledOff);
        lfo2Led->setLedState (BlinkingLed::ledOff);
    }

    for (int slot : { 1, 2 })
    {
        auto s = modulationSlot (*this, slot);
        const float hz = s.hz.load();

        if (hz > 0.0f && isPanelLfo (s.source.load()))
            blink (s.lfoLed, s.ledCountdown, hz, refreshPeriodMs);
        else
            s.lfoLed.setLedState (BlinkingLed::ledOff);
    }

    const float tapeRate = processor.tapeWobbleRate.load();

    if (isOn (processor, tapeOn) && tapeRate > 0.0f)
        blink (*tapeLed, tapeLedCountdown, tapeRate, refreshPeriodMs);
    else
        tapeLed->setLedState (BlinkingLed::ledOff);

    latch (*clipLed, processor.clipCount);
    latch (*outputLed, processor.outputOverloadCount);

    // The mode as the parameter holds it: the audio thread's block copy is not ours to read.
    const bool modeOn = sequencerMode (processor) != 0;
    const bool switchedOn = processor.parameterValues[seqOn].load() > 0.5f;
    const int current = processor.currentStep.load();

    for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
    {
        auto& led = **stepLeds[(size_t) k];
        const auto look = stepLook (processor, k, modeOn, switchedOn, current);

        if (look.recolour)
            led.setLedColor (look.colour);

        led.setLedState (look.state);
    }

    recordLed->setLedState (processor.stepRecordState.load() != 0 ? BlinkingLed::ledBlinking : BlinkingLed::ledOff);

    if (! modeOn)
        sequencerLed->setLedState (BlinkingLed::ledOff);
    else if (processor.sequencerRunning.load() != 0)
        sequencerLed->setLedState (BlinkingLed::ledOn);
    else
        sequencerLed->setLedState (isOn (processor, seqOn) ? BlinkingLed::ledBlinking : BlinkingLed::ledOff);

    checkOpening (*this);

    if (presetMenuStale)
        updateUserPresets();

    // In side-chain presentation the slot's two LEDs cross-fade with the level.
    for (int slot : { 1, 2 })
    {
        auto s = modulationSlot (*this, slot);

        if (s.source.load() >= 4)
        {
            const float level = std::abs (s.displayValue.load());
            setOpacity (s.sideLed, level);
            setOpacity (s.lfoLed, 1.0f - level);
        }
    }
}
