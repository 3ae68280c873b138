#include "panel_test_support.h"

#include "platform/user_defaults.h"
#include "presets/factory_presets.h"
#include "tests/platform/fake_midi_services.h"
#include "tests/wrapper_type.h"

#include <thread>

using namespace parameter_table;
using namespace panel_tests;
using Bounds = juce::Rectangle<int>;

namespace
{
    class AdvancedPage : public testing::Test
    {
    protected:
        // The LED tests tick the page themselves.
        AdvancedPage()
        {
            processor.prepareToPlay (48000.0, 64);
            page.stopTimer();
        }

        float value (int index) { return processor.parameterValues[(size_t) index].load(); }

        // The user's pick of the item that shows `text`.
        static void pick (juce::ComboBox& combo, const juce::String& text)
        {
            for (int i = 0; i < combo.getNumItems(); ++i)
                if (combo.getItemText (i) == text)
                    return choose (combo, combo.getItemId (i));

            ADD_FAILURE() << "no item " << text;
        }

        test_support::ScopedFakeMidi midi;      // the page may open the MIDI input
        ZorvaluneAudioProcessor processor;
        ControlPanel panel { processor };
        AdvancedPanel1& page = *panel.advancedPanel;
        HostRecorder host { processor };
    };

    std::vector<int> itemIds (juce::ComboBox& combo)
    {
        std::vector<int> ids;
        for (int i = 0; i < combo.getNumItems(); ++i)
            ids.push_back (combo.getItemId (i));
        return ids;
    }

    using Changes = std::vector<std::pair<int, float>>;
}

//============================================================================== frame
TEST_F (AdvancedPage, ChildrenFollowThePageSizeButLabelsNeverGrowPastTheirDesignHeights)
{
    ASSERT_EQ (page.getNumChildComponents(), 47);
    EXPECT_EQ (page.getChildComponent (0), page.versionLabel.get());
    EXPECT_EQ (page.getChildComponent (46), page.clipLed.get());

    // As the control panel places it at its own design size.
    EXPECT_EQ (page.getBounds(), Bounds (45, 100, 700, 485));
    EXPECT_EQ (page.noiseThresholdSlider->getBounds(), Bounds (12, 190, 78, 88));
    EXPECT_EQ (page.versionLabel->getBounds(), Bounds (488, 458, 192, 21));
    EXPECT_EQ (page.clipLed->getBounds(), Bounds (436, 424, 16, 30));

    page.setSize (700, 480);
    EXPECT_EQ (page.mod1SourceCombo->getBounds(), Bounds (410, 46, 118, 33));
    EXPECT_EQ (page.midiChannelCombo->getBounds(), Bounds (588, 365, 56, 27));
    EXPECT_EQ (page.lowCutToggle->getBounds(), Bounds (88, 92, 40, 36));

    // Halves go to the even neighbour: 30.5 -> 30, 31.5 -> 32.
    page.setSize (700, 488);
    EXPECT_EQ (page.clipLed->getHeight(), 30);
    page.setSize (700, 504);
    EXPECT_EQ (page.clipLed->getHeight(), 32);

    struct Case { int w, h; float h14, h12, h11; };

    for (auto c : { Case { 1400, 970, 14.0f, 12.0f, 11.0f }, Case { 699, 480, 14.48f, 12.483f, 11.484f },
                    Case { 350, 240, 7.5f, 6.5f, 6.0f }, Case { 600, 600, 12.5f, 10.786f, 9.929f } })
    {
        page.setSize (c.w, c.h);
        SCOPED_TRACE (juce::String (c.w) + " x " + juce::String (c.h));
        EXPECT_NEAR (page.noiseFilterLabel->getFont().getHeight(), c.h14, 1e-3f);
        EXPECT_NEAR (page.mod2ChannelLabel->getFont().getHeight(), c.h12, 1e-3f);
        EXPECT_NEAR (page.madeWithJuceLabel->getFont().getHeight(), c.h11, 1e-3f);
    }

    page.setSize (1400, 970);
    EXPECT_EQ (page.noiseThresholdSlider->getBounds(), Bounds (24, 380, 156, 176));
    EXPECT_EQ (page.clipLed->getBounds(), Bounds (872, 849, 32, 61));
    page.setSize (350, 240);
    EXPECT_EQ (page.noiseThresholdSlider->getBounds(), Bounds (6, 94, 39, 44));
}

TEST_F (AdvancedPage, VersionTextNamesTheProjectVersionAndTheDateOfTheSources)
{
    // The epoch the build took the date from, formatted independently here.
    const auto built = juce::Time ((juce::int64) ZORVALUNE_BUILD_EPOCH * 1000);
    const auto utc = built - juce::RelativeTime::seconds (built.getUTCOffsetSeconds());
    const auto expected = juce::String ("version ") + JucePlugin_VersionString + " - "
                          + juce::Time::getMonthName (utc.getMonth(), true) + " " + juce::String (utc.getDayOfMonth())
                          + " " + juce::String (utc.getYear()) + " - " + utc.formatted ("%H:%M:%S");

    EXPECT_EQ (page.versionLabel->getText(), expected);
    EXPECT_EQ (juce::String (JucePlugin_VersionString), "1.4.1");
}

// The page in a state with its LEDs lit, drawn as it shows over the panel.
TEST_F (AdvancedPage, SnapshotShowsEveryCaptionAndKnobTheLinesAndTheLitLeds)
{
    click (*panel.advancedButton);
    processor.setMod1Source (7);
    processor.mod1LinkStatus = 8;           // a block too short: red
    processor.outputOverloadCount = 2;
    panel.update_UI();
    page.timerCallback();

    const auto image = page.createComponentSnapshot (page.getLocalBounds());
    ASSERT_TRUE (writeSnapshot (image, "advanced_page"));

    int checked = 0;

    for (auto* child : page.getChildren())
    {
        auto* label = dynamic_cast<juce::Label*> (child);
        const bool caption = label != nullptr && label->getText().isNotEmpty();

        if (! child->isVisible() || (! caption && dynamic_cast<juce::Slider*> (child) == nullptr))
            continue;

        const float threshold = child->isEnabled() ? 0.6f : 0.4f;
        EXPECT_GT (lightPixels (image, child->getBounds(), threshold), 10) << (caption ? label->getText() : child->getName());
        ++checked;
    }

    EXPECT_EQ (checked, 32);    // every caption but the second source's slot, the version text, 10 knobs

    const auto red = [&] (juce::Component& led)
    {
        int n = 0;
        const auto r = led.getBounds();
        for (int y = r.getY(); y < r.getBottom(); ++y)
            for (int x = r.getX(); x < r.getRight(); ++x)
                if (auto c = image.getPixelAt (x, y); c.getRed() > c.getGreen() + 80)
                    ++n;
        return n;
    };

    EXPECT_GT (red (*page.mod1LinkLed), 20);
    EXPECT_GT (red (*page.clipLed), 20);
    EXPECT_FALSE (page.mod2LinkLed->isVisible());

    // Background, and the three separators lighter than it (at 700 x 485).
    const auto background = image.getPixelAt (300, 300);
    EXPECT_EQ (background.getARGB(), 0xff2c2c30u);
    EXPECT_GT (image.getPixelAt (220, 323).getRed(), background.getRed());
    EXPECT_GT (image.getPixelAt (450, 141).getRed(), background.getRed());
    EXPECT_GT (image.getPixelAt (480, 400).getRed(), background.getRed());
    EXPECT_EQ (image.getPixelAt (440, 323).getARGB(), 0xff2c2c30u);      // the lower-left line ends at 420
}

//============================================================================== knobs
TEST_F (AdvancedPage, KnobEditsAreHostGesturesThatLeaveProgramZeroAndPostOneRefreshAfterALoad)
{
    // A number typed into the value box is clamped and written within a gesture.
    auto& threshold = *page.noiseThresholdSlider;
    threshold.setValue (-40.0, juce::dontSendNotification);
    auto& box = dynamic_cast<juce::Label&> (*threshold.getChildComponent (0));
    processor.presetModified = 0;
    const int refreshes = processor.editorRefreshRequests.load();

    box.setText ("-100", juce::sendNotificationSync);
    EXPECT_EQ (host.changes, (Changes { { noiseThreshold, 0.0f } }));
    EXPECT_EQ (host.begun, std::vector<int> { noiseThreshold });
    EXPECT_EQ (host.ended, host.begun);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.editorRefreshRequests.load(), refreshes + 1);      // it marked the preset modified

    page.outputGainSlider->setValue (6.0, juce::sendNotificationSync);
    EXPECT_EQ (processor.editorRefreshRequests.load(), refreshes + 1);
    EXPECT_GE (processor.editorNotifyCounter.load(), 1);

    host.clear();
    box.setText ("-80", juce::sendNotificationSync);        // what it already holds
    EXPECT_TRUE (host.changes.empty() && host.begun.empty());

    // A double-click returns some knobs to a value, as one gesture.
    const auto mouse = juce::Desktop::getInstance().getMainMouseSource();
    const auto doubleClick = [&] (juce::Slider& knob)
    {
        host.clear();
        const auto now = juce::Time::getCurrentTime();
        knob.mouseDoubleClick ({ mouse, {}, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &knob, &knob, now, {}, now, 2, false });
    };

    page.lfoSlewRateSlider->setValue (50.0, juce::dontSendNotification);
    doubleClick (*page.lfoSlewRateSlider);
    EXPECT_EQ (host.changes, (Changes { { slewRate, 0.04f } }));
    EXPECT_TRUE (host.begun == std::vector<int> { slewRate } && host.ended == host.begun);

    doubleClick (*page.noiseRatioSlider);
    EXPECT_EQ (host.changes, (Changes { { noiseRatio, 0.5f } }));

    for (auto* keeps : { page.clipLpFilterSlider.get(), page.noiseRmsSlider.get(), page.noiseReleaseSlider.get() })
    {
        doubleClick (*keeps);
        EXPECT_TRUE (host.changes.empty() && host.begun.empty()) << keeps->getName();
    }

    // A refresh and a stranger write nothing.
    host.clear();
    juce::Slider stranger;
    page.update_UI();
    page.sliderValueChanged (&stranger);
    page.sliderDragStarted (&stranger);
    EXPECT_TRUE (host.changes.empty() && host.begun.empty());
}

//============================================================================== selectors
TEST_F (AdvancedPage, SelectorParametersRoundTripThroughTheHostAndQFollowsTheFilterType)
{
    struct Row { juce::ComboBox& combo; int parameter; };

    for (auto row : { Row { *page.noiseFilterCombo, noiseFilterType }, Row { *page.seqStartCombo, seqMode },
                      Row { *page.seqSkipModeCombo, seqSkipMode } })
    {
        for (int id : itemIds (row.combo))
        {
            host.clear();
            row.combo.setSelectedId (0, juce::dontSendNotification);
            choose (row.combo, id);
            EXPECT_EQ (host.changes, (Changes { { row.parameter, (float) (id - 1) / 10.0f } }));
            EXPECT_TRUE (host.begun.empty());

            row.combo.setSelectedId (0, juce::dontSendNotification);
            page.update_UI();
            EXPECT_EQ (row.combo.getSelectedId(), id);
        }
    }

    const std::pair<const char*, bool> qByType[] = { { "Bandpass", true }, { "Lowpass", false }, { "Highpass", false }, { "Notch", true } };

    for (auto [type, q] : qByType)
    {
        pick (*page.noiseFilterCombo, type);
        EXPECT_EQ (page.filterQSlider->isEnabled(), q) << type;
    }

    processor.setParameter (noiseFilterType, 0.39f);        // truncated: still a notch
    page.update_UI();
    EXPECT_EQ (page.noiseFilterCombo->getText(), "Notch");

    // The sequencer mode decides the main page's START and SAVE.
    pick (*page.seqStartCombo, "OFF");
    EXPECT_FALSE (panel.startButton->isEnabled() || panel.saveButton->isEnabled());
    pick (*page.seqStartCombo, "PLAY");
    EXPECT_TRUE (panel.startButton->isEnabled() && panel.saveButton->isEnabled());

    host.clear();
    click (*page.lowCutToggle);
    click (*page.lowCutToggle);
    EXPECT_EQ (host.changes, (Changes { { noiseLowcutOn, page.lowCutToggle->getToggleState() ? 0.0f : 1.0f },
                                        { noiseLowcutOn, page.lowCutToggle->getToggleState() ? 1.0f : 0.0f } }));

    processor.setParameter (noiseLowcutOn, 0.5f);
    page.update_UI();
    EXPECT_FALSE (page.lowCutToggle->getToggleState());
}

TEST_F (AdvancedPage, SourcesOfferTheSideChainOnlyInAPlugInAndSendingLocksTheKnobs)
{
    EXPECT_EQ (itemIds (*page.mod1SourceCombo), (std::vector<int> { 1, 2, 3, 4, 6, 10, 11, 7, 8 }));
    EXPECT_EQ (itemIds (*page.mod2SourceCombo), (std::vector<int> { 1, 2, 3, 4, 6, 10, 11, 8 }));

    {
        const test_support::ScopedWrapperType standalone (juce::AudioProcessor::wrapperType_Standalone);
        ZorvaluneAudioProcessor p;
        AdvancedPanel1 standalonePage (p);
        EXPECT_EQ (itemIds (*standalonePage.mod1SourceCombo), (std::vector<int> { 1, 2, 3, 4 }));
        EXPECT_EQ (itemIds (*standalonePage.mod2SourceCombo), (std::vector<int> { 1, 2, 3, 4 }));
    }

    // The main page shows the waveform that this page picks.
    const std::pair<const char*, int> waveforms[] = { { "LFO SQUARE", 1 }, { "LFO SAW up", 3 }, { "LFO SAW down", 2 } };

    for (auto [item, source] : waveforms)
    {
        pick (*page.mod1SourceCombo, item);
        EXPECT_EQ (processor.mod1Source.load(), source);
        EXPECT_EQ (panel.mod1SourceButton->getNormalImage(), panel.modSourceImages[(size_t) source]) << item;
    }

    pick (*page.noiseFilterCombo, "Bandpass");
    host.clear();
    pick (*page.mod1SourceCombo, "Side send");
    EXPECT_EQ (processor.mod1Source.load(), 6);
    EXPECT_TRUE (processor.isTimerRunning());                    // the send watchdog
    EXPECT_TRUE (page.mod1ChannelCombo->isVisible() && page.mod1ChannelLabel->isVisible() && page.mod1LinkLed->isVisible());
    EXPECT_FALSE (page.mod2ChannelCombo->isVisible());

    for (auto* knob : knobsOf (page))
        EXPECT_EQ (knob->isEnabled(), knob == page.filterQSlider.get());

    pick (*page.mod1ChannelCombo, "3");
    EXPECT_EQ (processor.side_chan_mod1.load(), 2);
    EXPECT_TRUE (host.changes.empty());                           // sources and slots are not parameters

    panel.update_UI();                                            // while sending, the page stays up
    EXPECT_TRUE (page.isVisible());

    pick (*page.noiseFilterCombo, "Lowpass");
    pick (*page.mod1SourceCombo, "LFO SINE");
    EXPECT_FALSE (page.mod1ChannelCombo->isVisible() || page.mod1ChannelLabel->isVisible());

    for (auto* knob : knobsOf (page))
        EXPECT_EQ (knob->isEnabled(), knob != page.filterQSlider.get());

    pick (*page.mod2SourceCombo, "Side receive");
    EXPECT_EQ (processor.mod2Source.load(), 7);
    EXPECT_EQ (page.mod2ChannelCombo->getSelectedId(), processor.side_chan_mod2.load() + 1);

    // A source without an item, from host automation, shows none.
    processor.setParameter (mod1Src, 0.04f);
    page.update_UI();
    EXPECT_EQ (page.mod1SourceCombo->getSelectedId(), 0);
}

//============================================================================== MIDI
TEST_F (AdvancedPage, MidiSettingsReachTheMidiInputAndThePreferences)
{
    midi.services->addSource ("kbd", juce::String ("Keys"), 7);
    const auto controlChange = [&] (int channel, int amount)
    {
        const std::vector<std::uint8_t> message { (std::uint8_t) (0xB0 | channel), 102, (std::uint8_t) amount };
        std::thread ([&] { midi.services->send ("kbd", { message }); }).join();
        test_support::pumpMessages();
        return processor.getParameter (noiseMix);
    };
    const auto preference = [] (const char* key) { return platform::user_defaults::getInteger (key); };

    pick (*page.midiProgChangeModeCombo, "Index");
    EXPECT_EQ (processor.midi_progr_change_mode.load(), 1);
    EXPECT_EQ (preference ("kAppPrefMidiProgChangeMode"), 1);
    ASSERT_NE (processor.midiWrapper, nullptr);
    auto* input = processor.midiWrapper.get();

    pick (*page.midiProgChangeModeCombo, "Name");
    pick (*page.midiProgChangeModeCombo, "Off");
    EXPECT_EQ (preference ("kAppPrefMidiProgChangeMode"), 0);
    EXPECT_EQ (processor.midiWrapper.get(), input);              // an open input stays open

    pick (*page.midiChannelCombo, "16");
    EXPECT_EQ (processor.midi_progr_change_channel.load(), 15);
    EXPECT_EQ (preference ("kAppPrefMidiChannel"), 15);
    pick (*page.midiChannelCombo, "All");
    EXPECT_EQ (processor.midi_progr_change_channel.load(), -1);
    EXPECT_EQ (preference ("kAppPrefMidiChannel"), -1);
    pick (*page.midiChannelCombo, "1");
    EXPECT_EQ (preference ("kAppPrefMidiChannel"), 0);

    EXPECT_EQ (controlChange (0, 127), 0.1f);                    // both modes off: nothing passes

    click (*page.ccEnableToggle);
    EXPECT_EQ (processor.midi_CC_receive_mode.load(), 1);
    EXPECT_EQ (preference ("kAppPrefMidiCCReceiveMode"), 1);
    EXPECT_EQ (controlChange (0, 127), 1.0f);
    EXPECT_EQ (controlChange (1, 0), 1.0f);                      // another channel

    pick (*page.midiChannelCombo, "2");
    EXPECT_EQ (controlChange (1, 0), 0.0f);

    click (*page.ccEnableToggle);
    EXPECT_EQ (preference ("kAppPrefMidiCCReceiveMode"), 0);
    EXPECT_EQ (controlChange (1, 127), 0.0f);
    EXPECT_EQ (midi.services->clientsCreated.load(), 1);

    // The refresh shows what the processor holds.
    processor.midi_progr_change_channel = -1;
    processor.midi_progr_change_mode = 2;
    processor.midi_CC_receive_mode = 1;
    page.update_UI();
    EXPECT_EQ (page.midiChannelCombo->getText(), "All");
    EXPECT_EQ (page.midiProgChangeModeCombo->getText(), "Name");
    EXPECT_TRUE (page.ccEnableToggle->getToggleState());
    processor.midi_progr_change_channel = 15;
    page.update_UI();
    EXPECT_EQ (page.midiChannelCombo->getSelectedId(), 17);
}

//============================================================================== refresh and LEDs
TEST (AdvancedPageInEditor, AProgramChangeReachesThePageThroughTheEditorsRefresh)
{
    ZorvaluneAudioProcessor p;
    OpenEditor open (p);
    auto& panel = open.panel();
    auto& page = *panel.advancedPanel;
    ASSERT_EQ (page.noiseFilterCombo->getText(), "Lowpass");
    ASSERT_FALSE (page.filterQSlider->isEnabled());

    const auto& program = sPresets.list[2];     // "snare noise": the noise detector and a band-pass
    p.setCurrentProgram (2);
    ASSERT_TRUE (pumpUntil ([&] { return page.noiseFilterCombo->getText() == "Bandpass"; }));

    int shown = 0;

    for (auto* knob : knobsOf (page))
    {
        const int index = panel.getControlParameterIndex (*knob);
        const auto it = program.values.find (index);
        const double expected = it != program.values.end() ? it->second : p.getParameterValue (index);
        EXPECT_NEAR (knob->getValue(), expected, 0.05) << entries[(size_t) index].name;
        shown += it != program.values.end() ? 1 : 0;
    }

    EXPECT_EQ (shown, 6);
    EXPECT_TRUE (page.filterQSlider->isEnabled());
}

TEST_F (AdvancedPage, LinkLedsShowEachStatusAndTheClipLedLatchesForOneTick)
{
    struct Look { int source, status; BlinkingLed::LedColors colour; BlinkingLed::LedStates state; };

    const Look looks[] = {
        { 7, 3, BlinkingLed::ledAmber, BlinkingLed::ledBlinking }, { 7, 1, BlinkingLed::ledCyan, BlinkingLed::ledOn },
        { 7, 4, BlinkingLed::ledAmber, BlinkingLed::ledBlinking }, { 7, 2, BlinkingLed::ledAmber, BlinkingLed::ledOn },
        { 7, 8, BlinkingLed::ledRed, BlinkingLed::ledOn },         { 7, 0, BlinkingLed::ledCyan, BlinkingLed::ledOff },
        { 7, 5, BlinkingLed::ledCyan, BlinkingLed::ledOff },       // a send status left from before: state kept
        { 6, 5, BlinkingLed::ledCyan, BlinkingLed::ledOn },        { 6, 7, BlinkingLed::ledAmber, BlinkingLed::ledOn },
        { 6, 0, BlinkingLed::ledCyan, BlinkingLed::ledOff },
    };

    for (auto slot : { 1, 2 })
    {
        auto& led = slot == 1 ? *page.mod1LinkLed : *page.mod2LinkLed;

        for (const auto& look : looks)
        {
            if (slot == 2 && look.source == 6)
                continue;

            (processor.*(slot == 1 ? &ZorvaluneAudioProcessor::setMod1Source : &ZorvaluneAudioProcessor::setMod2Source)) (look.source);
            (slot == 1 ? processor.mod1LinkStatus : processor.mod2LinkStatus) = look.status;
            page.timerCallback();
            SCOPED_TRACE (juce::String (slot) + ": source " + juce::String (look.source) + " status " + juce::String (look.status));
            EXPECT_EQ (led.getLedColor(), look.colour);
            EXPECT_EQ (led.getLedState(), look.state);
            EXPECT_TRUE (led.isVisible());
        }
    }

    // Back on an LFO, the first source's LED goes off and away.
    processor.setMod1Source (0);
    page.timerCallback();
    EXPECT_EQ (page.mod1LinkLed->getLedState(), BlinkingLed::ledOff);
    EXPECT_FALSE (page.mod1LinkLed->isVisible());

    // The second source's LED is the refresh's alone on any other source.
    processor.setMod2Source (6);
    page.update_UI();

    for (int status : { 8, 7 })
    {
        processor.mod2LinkStatus = status;
        page.timerCallback();
        EXPECT_TRUE (page.mod2LinkLed->isVisible());
        EXPECT_EQ (page.mod2LinkLed->getLedColor(), BlinkingLed::ledCyan);
        EXPECT_EQ (page.mod2LinkLed->getLedState(), BlinkingLed::ledOff);
    }

    processor.outputOverloadCount = 3;
    page.timerCallback();
    EXPECT_EQ (page.clipLed->getLedState(), BlinkingLed::ledOn);
    EXPECT_EQ (page.clipLed->getLedColor(), BlinkingLed::ledRed);
    EXPECT_EQ (processor.outputOverloadCount.load(), 0);
    page.timerCallback();
    EXPECT_EQ (page.clipLed->getLedState(), BlinkingLed::ledOff);
}
