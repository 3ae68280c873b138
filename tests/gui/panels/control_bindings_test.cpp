#include "panel_test_support.h"

#include "gui/panels/help_document.h"
#include "platform/document_opener.h"

using namespace parameter_table;
using namespace panel_tests;

namespace
{
    class Bindings : public PanelTest
    {
    protected:
        float value (int index) { return processor.parameterValues[(size_t) index].load(); }
    };
}

//============================================================================== knobs
TEST_F (Bindings, RateKnobSetsTheRateAndLeavesTheTempoLockInLfoAndRandomMode)
{
    for (int source : { 0, 4 })
    {
        processor.setMod1Source (source);
        processor.lfo1Hz = 1.0f;
        panel.update_UI();
        processor.lfo1SyncIndex = 8;
        panel.lfo1SyncCombo->setSelectedId (9, juce::dontSendNotification);

        panel.lfo1RateSlider->setValue (12.5, juce::sendNotificationSync);

        EXPECT_EQ (processor.lfo1Hz.load(), 12.5f);
        EXPECT_FLOAT_EQ (value (lfo1Freq), 0.03125f);
        EXPECT_EQ (processor.lfo1SyncIndex.load(), 0);
        EXPECT_EQ (panel.lfo1SyncCombo->getSelectedId(), 1);
    }
}

// LOW CUT switches its filter off at the bottom, DRY-WET's double-click jumps
// to the other end, a depth drag is one gesture that writes its end once more.
TEST_F (Bindings, KnobsWithWaysOfTheirOwn)
{
    panel.lowCutSlider->setValue (50.1, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (value (inHighPassFreq), 0.002505f);
    panel.lowCutSlider->setValue (50.0, juce::sendNotificationSync);
    EXPECT_EQ (value (inHighPassFreq), 0.0f);

    for (auto [moved, armed] : { std::pair { 0.0, 100.0 }, std::pair { 50.0, 100.0 }, std::pair { 100.0, 0.0 } })
    {
        panel.dryWetSlider->setValue (moved, juce::sendNotificationSync);
        EXPECT_EQ (panel.dryWetSlider->getDoubleClickReturnValue(), armed) << moved;
    }

    host.clear();
    auto& depth = *panel.mod1DepthSlider;
    panel.sliderDragStarted (&depth);
    depth.setValue (55.0, juce::sendNotificationSync);
    panel.sliderDragEnded (&depth);
    EXPECT_TRUE (host.begun == std::vector<int> { mod1Depth } && host.ended == host.begun);
    EXPECT_EQ (host.changes, (std::vector<std::pair<int, float>> { { mod1Depth, 0.55f }, { mod1Depth, 0.55f } }));
    EXPECT_EQ (processor.getCurrentProgram(), 0);
}

//============================================================================== buttons
TEST_F (Bindings, SourcePictureStepsThroughTheFourWaveforms)
{
    for (auto [from, to] : { std::pair { 0, 1 }, std::pair { 3, 0 }, std::pair { 5, 0 } })
    {
        processor.setMod2Source (from);
        click (*panel.mod2SourceButton);
        EXPECT_EQ (processor.mod2Source.load(), to) << from;
    }
}

TEST_F (Bindings, StartStopAndDawDriveTheSequencer)
{
    processor.setParameter (seqMode, 0.1f);

    click (*panel.startButton);
    EXPECT_EQ (value (seqOn), 1.0f);
    EXPECT_EQ (panel.startButton->getButtonText(), "STOP");
    click (*panel.startButton);
    EXPECT_EQ (value (seqOn), 0.0f);
    EXPECT_EQ (panel.startButton->getButtonText(), "START");

    processor.hostBpm = 98.0f;
    click (*panel.dawButton);
    EXPECT_EQ (processor.tempoBpm.load(), 98.0f);
    EXPECT_FLOAT_EQ (value (seqBpm), 0.098f);
    EXPECT_NEAR (panel.bpmSlider->getValue(), 98.0, 1e-4);
}

TEST_F (Bindings, AdvancedShowsAndHidesItsPageButStaysWhileModulationOneSends)
{
    click (*panel.advancedButton);
    EXPECT_TRUE (panel.advancedPanel->isVisible() && panel.advancedBackdrop->isVisible());
    EXPECT_FALSE (panel.weightPanel->isVisible());
    click (*panel.advancedButton);
    EXPECT_FALSE (panel.advancedPanel->isVisible() || panel.advancedBackdrop->isVisible());

    processor.setMod1Source (6);
    panel.update_UI();
    click (*panel.advancedButton);
    EXPECT_TRUE (panel.advancedPanel->isVisible());
}

TEST_F (Bindings, HelpAndLogoOpenThroughTheDesktopOnlyWhatExistsAndSayWhenNothingCould)
{
    juce::StringArray opened;
    bool desktopOpens = true;
    platform::document_opener::setHandlerForTesting ([&] (const juce::String& s) { opened.add (s); return desktopOpens; });
    const auto told = [this]
    {
        auto* bubble = panel.failureBubble.get();
        return bubble != nullptr && bubble->isVisible() ? bubble->getBounds() : juce::Rectangle<int>();
    };

    click (*panel.logoButton);
    EXPECT_TRUE (told().isEmpty());

    click (*panel.helpButton);      // no format, no help document: nothing opens, and the user hears why
    ASSERT_TRUE (told().intersects (panel.helpButton->getBounds().expanded (40)));

    desktopOpens = false;
    panel.failureBubble->setVisible (false);
    click (*panel.logoButton);
    platform::document_opener::setHandlerForTesting ({});
    EXPECT_EQ (opened, juce::StringArray ({ "https://quarvel.example", "https://quarvel.example" }));
    EXPECT_TRUE (told().intersects (panel.logoButton->getBounds().expanded (40)));
    EXPECT_TRUE (writeSnapshot (panel.createComponentSnapshot (panel.getLocalBounds()), "nothing_could_open_the_site"));

    // Each format's layout: the binary that holds our code, then the document's folder.
    const juce::File root ("/opt/z");
    const std::tuple<juce::AudioProcessor::WrapperType, const char*, const char*> layouts[] = {
        { juce::AudioProcessor::wrapperType_VST3, "Z.vst3/Contents/x86_64-linux/Z.so", "Z.vst3/Contents/Resources" },
        { juce::AudioProcessor::wrapperType_LV2, "Z.lv2/libZ.so", "Z.lv2/Resources" },
        { juce::AudioProcessor::wrapperType_Standalone, "usr/bin/Zorvalune", "usr/share/Zorvalune" },
        { juce::AudioProcessor::wrapperType_Undefined, "Z", nullptr },
    };

    for (auto [wrapper, binary, folder] : layouts)
        EXPECT_EQ (helpDocumentFor (wrapper, root.getChildFile (binary)),
                   folder != nullptr ? root.getChildFile (folder).getChildFile ("ZorvaluneHelp.pdf") : juce::File()) << binary;
}

//============================================================================== combo boxes
TEST_F (Bindings, DestinationIsStoredUntoldAndRestartsEveryOscillatorAtTheNextBlock)
{
    for (auto& state : processor.channelStates)
        state.lfo1.phase = state.lfo2.phase = state.tapeLfo.phase = 2.0f;

    choose (*panel.mod1DestCombo, 8);      // "Saturation"

    EXPECT_EQ (processor.mod1Destination.load(), 7);
    EXPECT_FLOAT_EQ (value (mod1Dest), 0.07f);
    EXPECT_TRUE (host.changes.empty());
    EXPECT_EQ (processor.channelResetCount.exchange (0), 1);
    EXPECT_EQ (processor.channelStates[3].lfo2.phase, 2.0f);     // not from this thread

    runBlock (processor, 1);

    for (auto& state : processor.channelStates)
        EXPECT_LT (state.lfo1.phase + state.lfo2.phase + state.tapeLfo.phase, 0.01f);

    choose (*panel.mod1DestCombo, 8);      // the same again: no change, nothing restarts
    EXPECT_EQ (processor.channelResetCount.load(), 0);
}

TEST_F (Bindings, SyncLocksTheRateToTheTempoAndBarsSetTheStepLength)
{
    choose (*panel.lfo1SyncCombo, 4);      // no tempo yet: only the choice is kept
    EXPECT_EQ (processor.lfo1SyncIndex.load(), 3);
    EXPECT_EQ (processor.lfo1Hz.load(), 0.5f);

    processor.tempoBpm = 120.0f;

    for (auto [id, hz] : { std::pair { 2, 0.125f }, std::pair { 8, 1.3333334f }, std::pair { 15, 8.0f } })
    {
        choose (*panel.lfo1SyncCombo, id);
        EXPECT_FLOAT_EQ (processor.lfo1Hz.load(), hz) << id;
        EXPECT_FLOAT_EQ (value (lfo1Freq), hz / 400.0f);
        EXPECT_NEAR (panel.lfo1RateSlider->getValue(), hz, 0.0051);    // to the knob's 0.01 steps
    }

    choose (*panel.barsCombo, 9);          // "1/4"
    EXPECT_FLOAT_EQ (value (seqNrBars), 0.08f);
}
