#include "panel_test_support.h"

#include "presets/factory_presets.h"

using namespace parameter_table;
using namespace panel_tests;

namespace
{
    class Refresh : public PanelTest
    {
    protected:
        // Ticks after which `led` changed state, over `ticks` ticks.
        std::vector<int> toggles (BlinkingLed& led, int ticks)
        {
            std::vector<int> at;

            for (int t = 0; t < ticks; ++t)
            {
                const auto before = led.getLedState();
                panel.timerCallback();

                if (led.getLedState() != before)
                    at.push_back (t);
            }

            return at;
        }

        // Every interval between toggles is `every` ticks.
        void expectBlinking (BlinkingLed& led, int every, const char* what)
        {
            const auto at = toggles (led, 4 * every + 1);
            ASSERT_GE (at.size(), 4u) << what;

            for (size_t i = 1; i < at.size(); ++i)
                EXPECT_EQ (at[i] - at[i - 1], every) << what;
        }
    };
}

TEST_F (Refresh, AfterAProgramChangeThePanelShowsTheProgram)
{
    const auto& program = sPresets.list[5];     // "old casette": every section on
    processor.setCurrentProgram (5);
    panel.update_UI();
    test_support::pumpMessages();

    int shown = 0;

    for (auto* knob : knobsOf (panel))
        if (auto it = program.values.find (panel.getControlParameterIndex (*knob)); it != program.values.end())
        {
            EXPECT_NEAR (knob->getValue(), it->second, 1e-3) << entries[(size_t) it->first].name;
            ++shown;
        }

    EXPECT_EQ (shown, 11);

    EXPECT_TRUE (panel.filterOnToggle->getToggleState() && panel.tapeOnToggle->getToggleState()
                 && panel.noiseOnToggle->getToggleState() && panel.crushOnToggle->getToggleState());
    EXPECT_EQ (panel.mod1DestCombo->getText(), "Input Ampl");
    EXPECT_EQ (panel.mod2DestCombo->getText(), "Off");
    EXPECT_EQ (panel.barsCombo->getText(), "1/4");
    EXPECT_EQ (panel.lfo1SyncCombo->getText(), "Free");
    processor.lfo2SyncIndex = 8;
    panel.update_UI();
    EXPECT_EQ (panel.lfo2SyncCombo->getText(), "1/4");
    EXPECT_TRUE (panel.lowCutSlider->isEnabled() && panel.tapeDepthSlider->isEnabled());
    EXPECT_EQ (panel.mod2SourceButton->getNormalImage(), panel.modSourceImages[1]);     // square
    EXPECT_EQ (processor.channelResetCount.load(), 1);       // the new destination restarts the LFOs

    panel.timerCallback();      // the LEDs as they then show

    EXPECT_TRUE (writeSnapshot (panel.createComponentSnapshot (panel.getLocalBounds()), "control_panel_old_casette"));
}

TEST_F (Refresh, ASideChainSourceTurnsTheRateKnobIntoAGainWithALevelLed)
{
    processor.setMod1Source (4);
    panel.update_UI();

    EXPECT_EQ (panel.lfo1RateLabel->getText(), "SIDE");
    EXPECT_EQ (panel.lfo1RateSlider->getMaximum(), 60.0);
    EXPECT_TRUE (panel.side1Led->isVisible());
    EXPECT_FALSE (panel.lfo1X10Toggle->isVisible() || panel.lfo1SyncCombo->isVisible() || panel.mod1SourceButton->isVisible());

    processor.mod1DisplayValue = -0.25f;
    panel.timerCallback();
    EXPECT_EQ (panel.lfo1Led->getLedState(), BlinkingLed::ledOff);
    EXPECT_NEAR (panel.side1Led->getAlpha(), 0.25f, 1.0f / 255.0f);
    EXPECT_NEAR (panel.lfo1Led->getAlpha(), 0.75f, 1.0f / 255.0f);

    processor.setMod1Source (2);
    panel.update_UI();
    EXPECT_EQ (panel.lfo1RateLabel->getText(), "LFO1");
    EXPECT_EQ (panel.lfo1RateSlider->getMaximum(), 40.0);
    EXPECT_FALSE (panel.side1Led->isVisible());
    EXPECT_EQ (panel.mod1SourceButton->getNormalImage(), panel.modSourceImages[2]);
    EXPECT_NEAR (panel.lfo1Led->getAlpha(), 0.75f, 1.0f / 255.0f);      // only the side-chain view sets it
}

TEST_F (Refresh, RateLedsBlinkAtTheirRateForAnyRate)
{
    for (auto [hz, every] : { std::pair { 1.0f, 26 }, std::pair { 3.0f, 9 }, std::pair { 19.9f, 2 } })
    {
        processor.lfo1Hz = hz;
        ++processor.channelResetCount;      // the LEDs start over with the restarted LFOs
        expectBlinking (*panel.lfo1Led, every, "LFO1");
    }

    processor.lfo1Hz = 20.0f;
    EXPECT_TRUE (toggles (*panel.lfo1Led, 10).size() <= 1);
    EXPECT_EQ (panel.lfo1Led->getLedState(), BlinkingLed::ledOn);

    // A rate near 0 neither overflows the countdown nor holds the LED once the rate is back.
    processor.lfo1Hz = 1.0e-30f;
    toggles (*panel.lfo1Led, 3);
    EXPECT_GE (panel.lfo1LedCountdown, 0);
    processor.lfo1Hz = 1.0f;
    EXPECT_FALSE (toggles (*panel.lfo1Led, 27).empty());

    // The tape LED blinks at the rate TAPE ROTATION sets: 5 Hz.
    click (*panel.tapeOnToggle);
    panel.tapeRotationSlider->setValue (5.0, juce::sendNotificationSync);
    expectBlinking (*panel.tapeLed, 6, "tape");
}

TEST_F (Refresh, ClipAndOverloadLedsLatchForOneTick)
{
    processor.clipCount = 3;
    processor.outputOverloadCount = 1;
    panel.timerCallback();
    EXPECT_EQ (panel.clipLed->getLedState(), BlinkingLed::ledOn);
    EXPECT_EQ (panel.outputLed->getLedState(), BlinkingLed::ledOn);
    EXPECT_EQ (processor.clipCount.load(), 0);

    panel.timerCallback();
    EXPECT_EQ (panel.clipLed->getLedState(), BlinkingLed::ledOff);
    EXPECT_EQ (panel.outputLed->getLedState(), BlinkingLed::ledOff);
}

TEST_F (Refresh, StepLedsFollowSelectionMarksAndRecording)
{
    // The last block ran with the sequencer off: the buttons follow the mode
    // as the parameter holds it now, as the LEDs do.
    processor.setParameter (seqMode, 0.0f);
    runBlock (processor);
    processor.setParameter (seqMode, 0.1f);
    panel.update_UI();

    const auto led = [this] (int k) -> BlinkingLed& { return **panel.stepLeds[(size_t) k]; };

    click (*panel.stepButton5);         // select step 5, then mark it
    click (*panel.stepButton5);
    click (*panel.stepButton3);         // select step 3 and store the setting in it
    click (*panel.saveButton);
    click (*panel.saveButton);
    panel.timerCallback();

    for (int k = 0; k < 8; ++k)
    {
        const auto expected = k == 2 ? BlinkingLed::ledOn : k == 4 ? BlinkingLed::ledAlternate : BlinkingLed::ledOff;
        EXPECT_EQ (led (k).getLedState(), expected) << k;
    }

    EXPECT_EQ (led (2).getLedColor(), BlinkingLed::ledGreen);
    EXPECT_EQ (led (4).getLedColor(), BlinkingLed::ledAmber);

    click (*panel.saveButton);          // armed: the selected step is the target
    panel.timerCallback();
    EXPECT_EQ (led (2).getLedColor(), BlinkingLed::ledRed);
    EXPECT_EQ (panel.recordLed->getLedState(), BlinkingLed::ledBlinking);

    panel.noiseMixSlider->setValue (55.0, juce::sendNotificationSync);     // every step becomes a target
    click (*panel.saveButton);
    panel.timerCallback();
    EXPECT_EQ (panel.recordLed->getLedState(), BlinkingLed::ledOff);

    for (int k = 0; k < 8; ++k)
        EXPECT_FLOAT_EQ (processor.stepSnapshots[k][noiseMix], 0.55f) << k;

    processor.setParameter (seqMode, 0.0f);
    panel.timerCallback();

    for (int k = 0; k < 8; ++k)
        EXPECT_EQ (led (k).getLedState(), BlinkingLed::ledOff);
}

TEST_F (Refresh, SequencerLedShowsRunningWaitingOrOff)
{
    processor.setParameter (seqMode, 0.1f);
    processor.parameterValues[seqOn] = 1.0f;
    const auto shown = [this] (int running, int recording)
    {
        processor.sequencerRunning = running;
        processor.stepRecordState = recording;
        panel.timerCallback();
        return panel.sequencerLed->getLedState();
    };

    EXPECT_EQ (shown (2, 0), BlinkingLed::ledOn);
    EXPECT_EQ (shown (0, 1), BlinkingLed::ledBlinking);     // switched on, waiting for the transport

    processor.parameterValues[seqOn] = 0.0f;
    EXPECT_EQ (shown (0, 1), BlinkingLed::ledOff);
    processor.setParameter (seqMode, 0.0f);
    EXPECT_EQ (shown (2, 0), BlinkingLed::ledOff);
}

// A host value whose destination the menu does not offer shows as none, and
// no refresh writes the parameter back.
TEST_F (Refresh, DestinationsShowWhatTheHostSetAndNeverWriteIt)
{
    test_support::pumpMessages();
    processor.channelResetCount = 0;

    for (auto [value, shownText] : { std::pair { 0.09f, "" }, std::pair { 0.034f, "Input Ring" }, std::pair { 0.5f, "" } })
    {
        processor.setParameter (mod1Dest, value);
        processor.setParameter (mod2Dest, value);
        panel.update_UI();
        test_support::pumpMessages();

        EXPECT_EQ (processor.getParameter (mod1Dest), value);
        EXPECT_EQ (processor.getParameter (mod2Dest), value);
        EXPECT_EQ (panel.mod1DestCombo->getText(), shownText) << value;
        EXPECT_EQ (panel.mod2DestCombo->getText(), shownText) << value;
    }

    EXPECT_TRUE (host.changes.empty());
    EXPECT_GT (processor.channelResetCount.load(), 0);      // a shown change restarts the LFOs
}
